// IDEA-CBC and RC2-CBC with padding against Python's cryptography package (its legacy
// "decrepit" ciphers), both ways.
#include <sstream>

#include "tests/cipher/cipher_test_util.h"
#include "vorlan/cipher/cbc.h"
#include "vorlan/cipher/idea.h"
#include "vorlan/cipher/rc2.h"

using namespace cipher_test;

namespace {

// Our CBC encryption with padding equals Python's (one python3 run: lines of "iv:data" in
// hex in, a line of ciphertext each out), and our decryption of Python's gives it back.
template <class Cipher, class Key>
void ExpectPythonBothWays(const char* algorithm, const Key& ours, const Bytes& theirKey) {
    if (std::system("python3 -c 'import cryptography.hazmat.decrepit.ciphers' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3 without cryptography's legacy ciphers";
    const std::string script =
        "import sys\n"
        "from cryptography.hazmat.decrepit.ciphers import algorithms as legacy\n"
        "from cryptography.hazmat.primitives.ciphers import Cipher, modes\n"
        "from cryptography.hazmat.primitives import padding\n"
        "for line in sys.stdin:\n"
        "    iv, data = map(bytes.fromhex, line.strip().split(':'))\n"
        "    p = padding.PKCS7(64).padder(); data = p.update(data) + p.finalize()\n"
        "    e = Cipher(getattr(legacy, sys.argv[1])(bytes.fromhex(sys.argv[2])), modes.CBC(iv)).encryptor()\n"
        "    print(e.update(data).hex() + e.finalize().hex())\n";
    const TempFile scriptFile(Bytes(script.begin(), script.end()));
    const std::size_t sizes[] = {0, 1, 7, 8, 9, 63, 64, 1000};
    std::string lines;
    for (std::size_t size : sizes) lines += ToHex(Pattern(8, size + 3)) + ":" + ToHex(Pattern(size, 5)) + "\n";
    const Bytes output =
        RunFilter(std::string("python3 ") + scriptFile.Path() + " " + algorithm + " " + ToHex(theirKey),
                  Bytes(lines.begin(), lines.end()));
    std::istringstream theirs(std::string(output.begin(), output.end()));
    for (std::size_t size : sizes) {
        const Bytes iv = Pattern(8, size + 3), plain = Pattern(size, 5);
        std::string line;
        std::getline(theirs, line);
        EXPECT_EQ(ToHex(EncryptAll(CCBC<Cipher>(ours, iv.data()), plain)), line) << algorithm << " " << size;
        EXPECT_EQ(ToHex(DecryptAll(CCBC<Cipher>(ours, iv.data()), FromHex(line))), ToHex(plain))
            << algorithm << " " << size;
    }
}

// IDEA's key as stored here has the octets of every pair exchanged; zero key words need the
// multiplicative inverse of 0 (= 65536) in the decryption subkeys.
TEST(InteropTest, IdeaAndRc2CbcMatchPython) {
    const Bytes ideaKey = FromHex("0000000100000000ffff000000000001"), rc2Key = Pattern(16, 22);
    Bytes stored = ideaKey;
    for (std::size_t i = 0; i < 16; i += 2) std::swap(stored[i], stored[i + 1]);
    ExpectPythonBothWays<CIDEAAlgorithm>("IDEA", MakeKey<CIDEAkey>(stored), ideaKey);
    ExpectPythonBothWays<CRC2Algorithm>("RC2", MakeKey<CRC2key>(rc2Key, 128), rc2Key);
}

}  // namespace
