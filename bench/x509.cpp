// Checking a received 2,048-bit certificate: decode it, read it into a CCertificate and check
// its signature against the issuer's, beside OpenSSL's d2i_X509 + X509_verify on the same
// octets. The certificate is self-signed, so it is its own issuer.
#include <benchmark/benchmark.h>
#include <openssl/bn.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <string>
#include <type_traits>
#include <fstream>
#include <iterator>
#include <vector>

#include "vorlan/x509/asn1certificate.h"
#include "vorlan/x509/asn1crl.h"
#include "vorlan/x509/certificate.h"
#include "vorlan/x509/certificaterevocationlist.h"
#include "vorlan/x509/pathvalidation.h"

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

// Validating a path of three certificates with one revocation list per CA: PKITS's
// ValidCertificatePathTest1 (end certificate, Good CA, trust anchor) with the lists of the Good CA
// and the anchor, at 1 January 2020, every certificate's list required. The library validates
// over stores and lists read once (a certificate and a list are read and their signatures checked
// once for each key); OpenSSL's X509_verify_cert with X509_V_FLAG_CRL_CHECK | X509_V_FLAG_CRL_CHECK_ALL
// over X509 objects read once. Then loading the system's trust bundle into a store, beside
// X509_STORE_load_file.
namespace {

const std::string kPkits = "/usr/lib/python3/dist-packages/cryptography_vectors/x509/PKITS_data/";
constexpr std::time_t kPathTime = 1577836800;  // 1 January 2020

std::vector<unsigned char> fileOctets(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

struct PathFiles {
    std::vector<unsigned char> end = fileOctets(kPkits + "certs/ValidCertificatePathTest1EE.crt");
    std::vector<unsigned char> ca = fileOctets(kPkits + "certs/GoodCACert.crt");
    std::vector<unsigned char> anchor = fileOctets(kPkits + "certs/TrustAnchorRootCertificate.crt");
    std::vector<unsigned char> caList = fileOctets(kPkits + "crls/GoodCACRL.crl");
    std::vector<unsigned char> anchorList = fileOctets(kPkits + "crls/TrustAnchorRootCRL.crl");
};

// The path validated again and again (`readEnd` 0), or with the end certificate read anew each
// time (1), as a client reads each message's signer: its signature is then checked each time.
void BM_ValidatePath_Vorlan(benchmark::State& state) {
    const PathFiles files;
    if (files.end.empty()) return state.SkipWithError("no PKITS data (python3-cryptography-vectors)");
    CCertificateStore anchors, pool;
    CRevocationLists lists;
    anchors.AddDer(files.anchor.data(), static_cast<int>(files.anchor.size()));
    pool.AddDer(files.ca.data(), static_cast<int>(files.ca.size()));
    lists.AddDer(files.caList.data(), static_cast<int>(files.caList.size()));
    lists.AddDer(files.anchorList.data(), static_cast<int>(files.anchorList.size()));
    const CPathCertificate end(files.end.data(), static_cast<int>(files.end.size()));
    CPathValidator validator(anchors, &pool, &lists);
    validator.m_options.time = CUTCTime(kPathTime);
    validator.m_options.requireRevocationLists = true;
    const bool readEnd = state.range(0) != 0;
    for (auto _ : state) {
        if (readEnd) {
            const CPathCertificate received(files.end.data(), static_cast<int>(files.end.size()));
            if (!validator.Validate(received).IsValid()) state.SkipWithError("path not valid");
        } else if (!validator.Validate(end).IsValid()) {
            state.SkipWithError("path not valid");
        }
    }
}

template <class T, void (*Free)(T*)>
using Owned = std::unique_ptr<T, std::integral_constant<decltype(Free), Free>>;

void BM_ValidatePath_OpenSSL(benchmark::State& state) {
    const PathFiles files;
    if (files.end.empty()) return state.SkipWithError("no PKITS data (python3-cryptography-vectors)");
    const auto certificate = [](const std::vector<unsigned char>& der) {
        const unsigned char* at = der.data();
        return Owned<X509, X509_free>(d2i_X509(nullptr, &at, static_cast<long>(der.size())));
    };
    const auto list = [](const std::vector<unsigned char>& der) {
        const unsigned char* at = der.data();
        return Owned<X509_CRL, X509_CRL_free>(d2i_X509_CRL(nullptr, &at, static_cast<long>(der.size())));
    };
    const auto end = certificate(files.end), ca = certificate(files.ca), anchor = certificate(files.anchor);
    const auto caList = list(files.caList), anchorList = list(files.anchorList);
    Owned<X509_STORE, X509_STORE_free> store(X509_STORE_new());
    X509_STORE_add_cert(store.get(), anchor.get());
    X509_STORE_add_crl(store.get(), caList.get());
    X509_STORE_add_crl(store.get(), anchorList.get());
    X509_STORE_set_flags(store.get(), X509_V_FLAG_CRL_CHECK | X509_V_FLAG_CRL_CHECK_ALL);
    const auto freeStack = [](STACK_OF(X509)* stack) { sk_X509_free(stack); };
    std::unique_ptr<STACK_OF(X509), decltype(freeStack)> untrusted(sk_X509_new_null(), freeStack);
    sk_X509_push(untrusted.get(), ca.get());
    for (auto _ : state) {
        Owned<X509_STORE_CTX, X509_STORE_CTX_free> context(X509_STORE_CTX_new());
        X509_STORE_CTX_init(context.get(), store.get(), end.get(), untrusted.get());
        X509_VERIFY_PARAM_set_time(X509_STORE_CTX_get0_param(context.get()), kPathTime);
        if (X509_verify_cert(context.get()) != 1) state.SkipWithError("path not valid");
    }
}

void BM_LoadTrustBundle_Vorlan(benchmark::State& state) {
    for (auto _ : state) {
        CCertificateStore store;
        store.LoadFile(CCertificateStore::kSystemBundle);
        benchmark::DoNotOptimize(store.GetCount());
    }
}

void BM_LoadTrustBundle_OpenSSL(benchmark::State& state) {
    for (auto _ : state) {
        Owned<X509_STORE, X509_STORE_free> store(X509_STORE_new());
        if (X509_STORE_load_file(store.get(), CCertificateStore::kSystemBundle) != 1)
            state.SkipWithError("bundle not loaded");
    }
}

}  // namespace

BENCHMARK(BM_ValidatePath_Vorlan)->ArgName("readEnd")->Arg(0)->Arg(1);
BENCHMARK(BM_ValidatePath_OpenSSL);
BENCHMARK(BM_LoadTrustBundle_Vorlan);
BENCHMARK(BM_LoadTrustBundle_OpenSSL);
