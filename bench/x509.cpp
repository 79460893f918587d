// Checking a received 2,048-bit certificate: decode it, read it into a CCertificate and check
// its signature against the issuer's, beside OpenSSL's d2i_X509 + X509_verify on the same
// octets. The certificate is self-signed, so it is its own issuer.
#include <benchmark/benchmark.h>
#include <openssl/x509.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "vorlan/x509/asn1certificate.h"
#include "vorlan/x509/certificate.h"

namespace {

const std::vector<unsigned char>& octets() {
    static const std::vector<unsigned char> der = [] {
        std::ifstream in(VORLAN_TEST_DATA "/x509_sha1_2048.der", std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
    }();
    return der;
}

// The certificate as a client reads it from the octets it received.
void read(CCertificate& certificate) {
    CDEREncoding der(0, const_cast<unsigned char*>(octets().data()), octets().size(), 0, 0);
    der.AddRef();
    CASN1_Certificate(der).SetDataTo(certificate);
}

void BM_ReadAndVerify_Vorlan(benchmark::State& state) {
    CCertificate issuer;
    read(issuer);
    for (auto _ : state) {
        CCertificate certificate;
        read(certificate);
        if (!certificate.IsSignatureOKFor(issuer)) state.SkipWithError("signature not verified");
    }
}

void BM_ReadAndVerify_OpenSSL(benchmark::State& state) {
    const unsigned char* at = octets().data();
    X509* issuer = d2i_X509(nullptr, &at, static_cast<long>(octets().size()));
    EVP_PKEY* key = X509_get0_pubkey(issuer);
    for (auto _ : state) {
        at = octets().data();
        X509* certificate = d2i_X509(nullptr, &at, static_cast<long>(octets().size()));
        if (X509_verify(certificate, key) != 1) state.SkipWithError("signature not verified");
        X509_free(certificate);
    }
    X509_free(issuer);
}

}  // namespace

BENCHMARK(BM_ReadAndVerify_Vorlan);
BENCHMARK(BM_ReadAndVerify_OpenSSL);
