// A client program outside the build: it includes only the umbrella header and links
// only libvorlan.a and the thread library. Exits 0 when a digest, a cipher and an RSA
// signature all work.
#include <cstring>

#include "vorlan/vorlan.h"

int main() {
    CMD5DigestMaker maker;
    maker.UpdateBlock(reinterpret_cast<const unsigned char*>("abc"), 3, nullptr, 1, 1);
    unsigned char digest[16];
    maker.GetCurrentDigest(digest);
    static const unsigned char expected[4] = {0x90, 0x01, 0x50, 0x98};  // RFC 1321 MD5("abc")
    if (std::memcmp(digest, expected, 4) != 0) return 1;

    CRSAKeyPair pair(512, 1, nullptr, 0, nullptr);
    CByteArray signature;
    pair.LockDigest(md5, digest, signature);
    unsigned char recovered[16];
    static_cast<const CRSAPublicKey&>(pair).UnlockDigest(md5, signature, recovered, pair.bits);
    return std::memcmp(recovered, digest, 16) == 0 ? 0 : 1;
}
