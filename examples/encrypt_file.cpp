// Encrypts a file with triple DES in CBC mode under a fresh random key, decrypts it again
// and checks that the round trip gives the original octets.
//   encrypt_file IN OUT.enc OUT.dec
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "vorlan/vorlan.h"

static std::string ReadAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s IN OUT.enc OUT.dec\n", argv[0]);
        return 2;
    }
    try {
        // A random key and initial vector from the library's random source.
        CRandomsGenerator randoms;
        unsigned char keyOctets[24], iv[8];
        randoms.GetRandomBlock(keyOctets, sizeof keyOctets);
        randoms.GetRandomBlock(iv, sizeof iv);
        CTripleDESkey key;
        key.Set(keyOctets, sizeof keyOctets);

        CCBC<CTripleDESAlgorithm> cipher(key, iv);
        {
            CFile in(argv[1], CFile::modeRead | CFile::typeBinary);
            CFile out(argv[2], CFile::modeCreate | CFile::modeWrite | CFile::typeBinary);
            EncryptFile(cipher, in, 0, out, 64 * 1024, nullptr, 0);
        }
        cipher.ResetDecryptionContext();
        {
            CFile in(argv[2], CFile::modeRead | CFile::typeBinary);
            CFile out(argv[3], CFile::modeCreate | CFile::modeWrite | CFile::typeBinary);
            DecryptFile(cipher, in, 0, out, 64 * 1024, nullptr, 0);
        }
    } catch (CException* e) {
        char reason[256] = "";
        e->GetErrorMessage(reason, sizeof reason);
        e->Delete();
        std::fprintf(stderr, "encrypt_file: %s\n", reason);
        return 1;
    }
    const bool same = ReadAll(argv[1]) == ReadAll(argv[3]);
    std::printf("%s\n", same ? "round trip OK" : "round trip FAILED");
    return same ? 0 : 1;
}
