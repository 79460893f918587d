// Checking a received 2,048-bit certificate: decode it, read it into a CCertificate and check
// its signature against the issuer's, beside OpenSSL's d2i_X509 + X509_verify on the same
// octets. The certificate is self-signed, so it is its own issuer.
#include <benchmark/benchmark.h>
#include <openssl/bn.h>
#include <openssl/x509.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

#include "vorlan/x509/asn1certificate.h"
#include "vorlan/x509/asn1crl.h"
#include "vorlan/x509/certificate.h"
#include "vorlan/x509/certificaterevocationlist.h"

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

// A revocation list of 10,000 entries (about 300 KB): decoded and read into a
// CCertificateRevocationList beside OpenSSL's d2i_X509_CRL, and 1,000 serial lookups (half of
// them revoked) with IsPresentInCRL and FindSerial beside X509_CRL_get0_by_serial. Lookups
// run on a list already asked once: the serials indexed here, the entries sorted there.
namespace {

constexpr int kEntries = 10000, kQueries = 1000;

// Serial number i: 12 octets, the top one below 0x80.
CSerialNumber Serial(int i) {
    BYTE octets[12];
    for (int k = 0; k < 12; ++k)
        octets[k] = static_cast<BYTE>((i * 2654435761u) >> (k % 4 * 8)) ^ static_cast<BYTE>(k * 37 + i / 251);
    octets[0] &= 0x7F;
    return CSerialNumber(octets, 12);
}

const std::vector<unsigned char>& listOctets() {
    static const std::vector<unsigned char> der = [] {
        CCertificateRevocationList crl;
        crl.m_issuer = CDistinguishedName("crl@example.org");
        crl.m_lastUpdate = CUTCTime(CString("260101000000Z"));
        crl.m_nextUpdate = CUTCTime(CString("270101000000Z"));
        for (int i = 0; i < kEntries; ++i)
            crl.m_entries.Add(new CCRLEntry(Serial(2 * i), CUTCTime(CString("250601120000Z"))));
        crl.m_wSignatureBits = 2048;
        std::fill(crl.m_signature, crl.m_signature + 256, 0x5A);
        CByteArray out;
        CASN1_CertificateRevocationList(crl).encodeTo(out);
        return std::vector<unsigned char>(out.GetData(), out.GetData() + out.GetSize());
    }();
    return der;
}

void readList(CCertificateRevocationList& crl) {
    CDEREncoding der(0, const_cast<unsigned char*>(listOctets().data()), listOctets().size(), 0, 0);
    der.AddRef();
    CASN1_CertificateRevocationList(der).SetDataTo(crl);
}

X509_CRL* peerList() {
    const unsigned char* at = listOctets().data();
    return d2i_X509_CRL(nullptr, &at, static_cast<long>(listOctets().size()));
}

void BM_CRLDecode_Vorlan(benchmark::State& state) {
    for (auto _ : state) {
        CCertificateRevocationList crl;
        readList(crl);
        benchmark::DoNotOptimize(crl.m_entries.GetData());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * listOctets().size()));
}

void BM_CRLDecode_OpenSSL(benchmark::State& state) {
    for (auto _ : state) {
        X509_CRL* crl = peerList();
        benchmark::DoNotOptimize(crl);
        X509_CRL_free(crl);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * listOctets().size()));
}

// Query q: an entry's serial for even q, a serial between the entries' for odd q.
void BM_CRLQueries_Vorlan(benchmark::State& state) {
    CCertificateRevocationList crl;
    readList(crl);
    std::vector<CCertificate> certificates(kQueries);
    std::vector<CSerialNumber> serials;
    for (int q = 0; q < kQueries; ++q) {
        certificates[q].m_issuer = crl.m_issuer;
        certificates[q].m_serialNumber = Serial(q % 2 ? 2 * q * 9 + 1 : 2 * q * 9);
        serials.push_back(certificates[q].m_serialNumber);
    }
    crl.FindSerial(serials[0]);
    for (auto _ : state) {
        int found = 0;
        for (int q = 0; q < kQueries; ++q)
            found += certificates[q].IsPresentInCRL(crl) + (crl.FindSerial(serials[q]) >= 0);
        if (found != kQueries) state.SkipWithError("wrong answers");
    }
}

void BM_CRLQueries_OpenSSL(benchmark::State& state) {
    X509_CRL* crl = peerList();
    std::vector<ASN1_INTEGER*> serials;
    for (int q = 0; q < kQueries; ++q) {
        const CSerialNumber serial = Serial(q % 2 ? 2 * q * 9 + 1 : 2 * q * 9);
        BIGNUM* number = BN_bin2bn(serial.GetData(), serial.GetSize(), nullptr);
        serials.push_back(BN_to_ASN1_INTEGER(number, nullptr));
        BN_free(number);
    }
    X509_REVOKED* revoked = nullptr;
    X509_CRL_get0_by_serial(crl, &revoked, serials[0]);
    for (auto _ : state) {
        int found = 0;
        // Twice, as the list above answers each query twice (IsPresentInCRL and FindSerial).
        for (int q = 0; q < kQueries; ++q)
            for (int twice = 0; twice < 2; ++twice) found += X509_CRL_get0_by_serial(crl, &revoked, serials[q]) == 1;
        if (found != kQueries) state.SkipWithError("wrong answers");
    }
    for (ASN1_INTEGER* serial : serials) ASN1_INTEGER_free(serial);
    X509_CRL_free(crl);
}

}  // namespace

BENCHMARK(BM_CRLDecode_Vorlan);
BENCHMARK(BM_CRLDecode_OpenSSL);
BENCHMARK(BM_CRLQueries_Vorlan);
BENCHMARK(BM_CRLQueries_OpenSSL);
