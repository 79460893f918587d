// The system's trust store (Debian's ca-certificates): every root, RSA (up to 4,096 bits) or EC
// (P-256, P-384), converts to a CCertificate, verifies its own signature whatever its digest,
// reads the key's size as libcrypto does and writes back as read. Skipped where the store is absent.
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <iostream>

#include "peer.h"

namespace x509test {
namespace {

TEST(TrustStore, EveryRootConvertsAndVerifiesItself) {
    const char* const path = "/etc/ssl/certs/ca-certificates.crt";
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_file(path, "r"), BIO_free);
    if (!bio) GTEST_SKIP() << "no " << path;
    int roots = 0, rsa = 0, ec = 0, verified = 0;
    while (X509* read = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)) {
        std::unique_ptr<X509, decltype(&X509_free)> peer(read, X509_free);
        ++roots;
        const EVP_PKEY* key = X509_get0_pubkey(peer.get());
        const bool isEC = EVP_PKEY_get_base_id(key) == EVP_PKEY_EC;
        ++(isEC ? ec : rsa);
        const Octets der = Der<X509>(peer.get(), i2d_X509);
        CCertificate root;
        const std::string reason = DecodingReason([&] { DecodeCertificate(der).SetDataTo(root); });
        std::unique_ptr<char, void (*)(void*)> name(X509_NAME_oneline(X509_get_subject_name(peer.get()), nullptr, 0),
                                                    [](void* p) { OPENSSL_free(p); });
        EXPECT_EQ(reason, "") << name.get();
        EXPECT_EQ(root.HasECKey(), isEC) << name.get();
        EXPECT_EQ(root.m_wKeyBits, EVP_PKEY_get_bits(key)) << name.get();
        const int ok = root.IsSignatureOKFor(root);
        verified += ok;
        EXPECT_EQ(ok, 1) << name.get() << ", " << root.m_wKeyBits << " bits";
        EXPECT_EQ(EncodingOf(root), der) << name.get();
    }
    std::cout << verified << " roots of " << roots << " (" << rsa << " RSA, " << ec << " EC) read and verified\n";
    EXPECT_GT(rsa, 0);
    EXPECT_EQ(verified, roots);
}

}  // namespace
}  // namespace x509test
