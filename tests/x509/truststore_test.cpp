// The system's trust store (Debian's ca-certificates): every root with an RSA key converts to a
// CCertificate and verifies its own signature, whatever its key size (up to 4,096 bits) and
// digest. Skipped where the store is absent.
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <iostream>

#include "peer.h"

namespace x509test {
namespace {

TEST(TrustStore, EveryRsaRootConvertsAndVerifiesItself) {
    const char* const path = "/etc/ssl/certs/ca-certificates.crt";
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_file(path, "r"), BIO_free);
    if (!bio) GTEST_SKIP() << "no " << path;
    int roots = 0, rsa = 0;
    while (X509* read = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)) {
        std::unique_ptr<X509, decltype(&X509_free)> peer(read, X509_free);
        ++roots;
        if (EVP_PKEY_get_base_id(X509_get0_pubkey(peer.get())) != EVP_PKEY_RSA) continue;
        ++rsa;
        const Octets der = Der<X509>(peer.get(), i2d_X509);
        CCertificate root;
        const std::string reason = DecodingReason([&] { DecodeCertificate(der).SetDataTo(root); });
        std::unique_ptr<char, void (*)(void*)> name(X509_NAME_oneline(X509_get_subject_name(peer.get()), nullptr, 0),
                                                    [](void* p) { OPENSSL_free(p); });
        EXPECT_EQ(reason, "") << name.get();
        EXPECT_EQ(root.IsSignatureOKFor(root), 1) << name.get() << ", " << root.m_wKeyBits << " bits";
        EXPECT_EQ(EncodingOf(root), der) << name.get();
    }
    std::cout << rsa << " RSA roots of " << roots << " read and verified\n";
    EXPECT_GT(rsa, 0);
}

}  // namespace
}  // namespace x509test
