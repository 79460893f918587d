// IDEA-CBC and RC2-CBC with padding against Python's cryptography package (its legacy
// "decrepit" ciphers), both ways.
#include <sstream>

#include "tests/cipher/cipher_test_util.h"
#include "vorlan/cipher/cbc.h"
#include "vorlan/cipher/idea.h"
#include "vorlan/cipher/rc2.h"

using namespace cipher_test;

namespace {

// Encrypts each message with PKCS#7 padding in CBC mode under its own vector, in one run
// of python3: lines of "iv data" in hex, one result line each.
std::vector<Bytes> PythonCbc(const char* algorithm, const Bytes& key,
                             const std::vector<std::pair<Bytes, Bytes>>& messages) {
    const std::string script =
        "import sys\n"
        "from cryptography.hazmat.decrepit.ciphers import algorithms as legacy\n"
        "from cryptography.hazmat.primitives.ciphers import Cipher, modes\n"
        "from cryptography.hazmat.primitives import padding\n"
        "for line in sys.stdin:\n"
        "    iv, data = (bytes.fromhex(f) for f in (line.split() + [''])[:2])\n"
        "    p = padding.PKCS7(64).padder(); e = Cipher(getattr(legacy, sys.argv[1])(bytes.fromhex(sys.argv[2])), "
        "modes.CBC(iv)).encryptor()\n"
        "    print(e.update(p.update(data) + p.finalize()).hex() + e.finalize().hex())\n";
    const TempFile scriptFile(Bytes(script.begin(), script.end()));
    std::string lines;
    for (const auto& [iv, data] : messages) lines += ToHex(iv) + " " + ToHex(data) + "\n";
    Bytes output;
    EXPECT_TRUE(RunFilter(std::string("python3 ") + scriptFile.Path() + " " + algorithm + " " + ToHex(key),
                          Bytes(lines.begin(), lines.end()), output));
    std::istringstream text(std::string(output.begin(), output.end()));
    std::vector<Bytes> results;
    for (std::string line; std::getline(text, line);) results.push_back(FromHex(line));
    return results;
}

// Our encryption equals Python's, and our decryption of Python's gives the message back.
template <class Cipher, class Key>
void ExpectPythonBothWays(const char* algorithm, const Key& ours, const Bytes& theirKey) {
    if (std::system("python3 -c 'import cryptography.hazmat.decrepit.ciphers' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3 without cryptography's legacy ciphers";
    std::vector<std::pair<Bytes, Bytes>> messages;
    for (std::size_t size : {0u, 1u, 7u, 8u, 9u, 63u, 64u, 1000u})
        messages.emplace_back(Pattern(8, static_cast<unsigned>(size) + 3), Pattern(size, 5));
    const std::vector<Bytes> theirs = PythonCbc(algorithm, theirKey, messages);
    ASSERT_EQ(theirs.size(), messages.size());
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const auto& [iv, plain] = messages[i];
        EXPECT_EQ(ToHex(EncryptAll(CCBC<Cipher>(ours, iv.data()), plain)), ToHex(theirs[i]))
            << algorithm << " " << plain.size();
        EXPECT_EQ(ToHex(DecryptAll(CCBC<Cipher>(ours, iv.data()), theirs[i])), ToHex(plain))
            << algorithm << " " << plain.size();
    }
}

TEST(InteropTest, IdeaCbcMatchesPythonWithKeyOctetsSwappedInPairs) {
    const Bytes standardKey = Pattern(16, 21);
    Bytes stored = standardKey;
    for (std::size_t i = 0; i < 16; i += 2) std::swap(stored[i], stored[i + 1]);
    ExpectPythonBothWays<CIDEAAlgorithm>("IDEA", MakeKey<CIDEAkey>(stored), standardKey);
}

TEST(InteropTest, Rc2CbcMatchesPython) {
    const Bytes key = Pattern(16, 22);
    ExpectPythonBothWays<CRC2Algorithm>("RC2", MakeKey<CRC2key>(key, 128), key);
}

}  // namespace
