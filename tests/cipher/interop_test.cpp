// CBC with padding against independent implementations on the machine: the openssl
// command (DES, triple DES) and Python's cryptography package (IDEA, RC2).
#include <gtest/gtest.h>

#include "tests/cipher/cipher_test_util.h"
#include "vorlan/cipher/cbc.h"
#include "vorlan/cipher/des.h"
#include "vorlan/cipher/idea.h"
#include "vorlan/cipher/rc2.h"
#include "vorlan/cipher/tripledes.h"

using namespace cipher_test;

namespace {

constexpr std::size_t kSizes[] = {0, 1, 7, 8, 9, 63, 64, 1000};

std::string OpenSSLEnc(const char* cipher, const Bytes& key, const Bytes& iv, bool decrypt) {
    return std::string("openssl enc -") + cipher + (decrypt ? " -d" : "") +
           " -provider legacy -provider default -nosalt -K " + ToHex(key) + " -iv " + ToHex(iv);
}

template <class Cipher>
void ExpectOpenSSLEncBothWays(const char* opensslName, const Bytes& keyOctets) {
    const auto key = MakeKey<typename Cipher::KeyType>(keyOctets);
    for (std::size_t size : kSizes) {
        const Bytes iv = Pattern(8, static_cast<unsigned>(size) + 50), plain = Pattern(size, 7);
        Bytes theirs, back;
        ASSERT_TRUE(RunFilter(OpenSSLEnc(opensslName, keyOctets, iv, false), plain, theirs)) << "openssl enc";
        const Bytes ours = EncryptAll(CCBC<Cipher>(key, iv.data()), plain);
        EXPECT_EQ(ToHex(ours), ToHex(theirs)) << opensslName << " " << size;
        EXPECT_EQ(ToHex(DecryptAll(CCBC<Cipher>(key, iv.data()), theirs)), ToHex(plain)) << size;
        ASSERT_TRUE(RunFilter(OpenSSLEnc(opensslName, keyOctets, iv, true), ours, back)) << "openssl enc -d";
        EXPECT_EQ(ToHex(back), ToHex(plain)) << opensslName << " " << size;
    }
}

TEST(InteropTest, DesCbcMatchesOpenSSLEncBothWays) {
    Bytes key = Pattern(8, 11);
    AdjustDESKeyParity(key.data(), 8);
    ExpectOpenSSLEncBothWays<CDESAlgorithm>("des-cbc", key);
}

TEST(InteropTest, TripleDesCbcMatchesOpenSSLEncBothWays) {
    ExpectOpenSSLEncBothWays<CTripleDESAlgorithm>("des-ede3-cbc", Pattern(24, 12));
}

// Python's cryptography with its legacy ("decrepit") ciphers, when python3 has them.
bool PythonHasDecrepit() {
    static const bool has = std::system("python3 -c 'import cryptography.hazmat.decrepit.ciphers' 2>/dev/null") == 0;
    return has;
}

// Encrypts (or decrypts) each message with PKCS#7 padding in CBC mode under its own
// vector, in one run of python3: lines of "iv data" in hex, one result line each.
std::vector<Bytes> PythonCbc(const char* algorithm, const Bytes& key, const std::vector<std::pair<Bytes, Bytes>>& messages,
                             bool decrypt) {
    const std::string script =
        "import sys\n"
        "from cryptography.hazmat.decrepit.ciphers import algorithms as legacy\n"
        "from cryptography.hazmat.primitives.ciphers import Cipher, modes\n"
        "from cryptography.hazmat.primitives import padding\n"
        "name, key, decrypt = sys.argv[1], bytes.fromhex(sys.argv[2]), sys.argv[3] == '1'\n"
        "for line in sys.stdin:\n"
        "    iv, data = (bytes.fromhex(f) for f in (line.split() + [''])[:2])\n"
        "    cipher = Cipher(getattr(legacy, name)(key), modes.CBC(iv))\n"
        "    if decrypt:\n"
        "        d = cipher.decryptor(); u = padding.PKCS7(64).unpadder()\n"
        "        out = u.update(d.update(data) + d.finalize()) + u.finalize()\n"
        "    else:\n"
        "        p = padding.PKCS7(64).padder(); e = cipher.encryptor()\n"
        "        out = e.update(p.update(data) + p.finalize()) + e.finalize()\n"
        "    print(out.hex() or '-')\n";
    const std::string scriptPath = TempPath("cbc.py");
    WriteFileBytes(scriptPath, Bytes(script.begin(), script.end()));
    std::string lines;
    for (const auto& [iv, data] : messages) lines += ToHex(iv) + " " + ToHex(data) + "\n";
    Bytes output;
    const bool ok = RunFilter("python3 " + scriptPath + " " + algorithm + " " + ToHex(key) + (decrypt ? " 1" : " 0"),
                              Bytes(lines.begin(), lines.end()), output);
    std::remove(scriptPath.c_str());
    EXPECT_TRUE(ok) << "python3 " << algorithm;
    std::vector<Bytes> results;
    std::string line;
    for (unsigned char ch : output) {
        if (ch != '\n') {
            line += static_cast<char>(ch);
            continue;
        }
        results.push_back(Hex(line));
        line.clear();
    }
    return results;
}

template <class Cipher, class Key>
void ExpectPythonBothWays(const char* algorithm, const Key& ours, const Bytes& theirKey) {
    std::vector<std::pair<Bytes, Bytes>> plains, mine;
    for (std::size_t size : kSizes) {
        const Bytes iv = Pattern(8, static_cast<unsigned>(size) + 3), plain = Pattern(size, 5);
        plains.emplace_back(iv, plain);
        mine.emplace_back(iv, EncryptAll(CCBC<Cipher>(ours, iv.data()), plain));
    }
    const std::vector<Bytes> theirs = PythonCbc(algorithm, theirKey, plains, false);
    const std::vector<Bytes> back = PythonCbc(algorithm, theirKey, mine, true);
    ASSERT_EQ(theirs.size(), plains.size());
    ASSERT_EQ(back.size(), plains.size());
    for (std::size_t i = 0; i < plains.size(); ++i) {
        EXPECT_EQ(ToHex(mine[i].second), ToHex(theirs[i])) << algorithm << " " << plains[i].second.size();
        EXPECT_EQ(ToHex(back[i]), ToHex(plains[i].second)) << algorithm << " " << plains[i].second.size();
    }
}

TEST(InteropTest, IdeaCbcMatchesPythonWithKeyOctetsSwappedInPairs) {
    if (!PythonHasDecrepit()) GTEST_SKIP() << "python3 without cryptography's legacy ciphers";
    const Bytes standardKey = Pattern(16, 21);
    Bytes stored = standardKey;
    for (std::size_t i = 0; i < 16; i += 2) std::swap(stored[i], stored[i + 1]);
    ExpectPythonBothWays<CIDEAAlgorithm>("IDEA", MakeKey<CIDEAkey>(stored), standardKey);
}

TEST(InteropTest, Rc2CbcMatchesPython) {
    if (!PythonHasDecrepit()) GTEST_SKIP() << "python3 without cryptography's legacy ciphers";
    const Bytes keyOctets = Pattern(16, 22);
    CRC2key key(128);
    key.Set(keyOctets.data(), 16);
    ExpectPythonBothWays<CRC2Algorithm>("RC2", key, keyOctets);
}

// RC2 with 40 and 64 effective bits in CBC mode, against OpenSSL's library.
TEST(InteropTest, Rc2CbcWithShortEffectiveBitsMatchesOpenSSL) {
    for (unsigned short bits : {40, 64}) {
        CRC2key key(bits);
        const Bytes keyOctets(key.Data(), key.Data() + key.Size());
        const Bytes iv = Pattern(8, bits), plain = Pattern(77, bits);
        EXPECT_EQ(ToHex(EncryptAll(CCBC<CRC2Algorithm>(key, iv.data()), plain)),
                  ToHex(OpenSSLCrypt("RC2-CBC", keyOctets, iv, plain, true, true, bits)))
            << bits;
    }
}

}  // namespace
