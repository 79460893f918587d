// Decoding and encoding an X.509 certificate of about 1.5 KB: the value tree beside
// OpenSSL's d2i_X509 / i2d_X509 on the same octets.
#include <benchmark/benchmark.h>
#include <openssl/crypto.h>
#include <openssl/x509.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "vorlan/asn1/decoder.h"

namespace {

const std::vector<unsigned char>& certificate() {
    static const std::vector<unsigned char> octets = [] {
        std::ifstream in(VORLAN_TEST_DATA "/asn1_cert.der", std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
    }();
    return octets;
}

// The caller's octets read in place, as a client wraps a received certificate.
std::unique_ptr<CASN1Type> decodeTree(CDEREncoding& der) { return std::unique_ptr<CASN1Type>(___buildFromEncoding(der)); }

void BM_Decode_Vorlan(benchmark::State& state) {
    auto octets = certificate();
    for (auto _ : state) {
        CDEREncoding der(0, octets.data(), octets.size(), 0, 0);
        der.AddRef();
        auto tree = decodeTree(der);
        benchmark::DoNotOptimize(tree.get());
        tree.reset();
        der.Release();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * octets.size()));
}

void BM_Decode_OpenSSL(benchmark::State& state) {
    const auto& octets = certificate();
    for (auto _ : state) {
        const unsigned char* p = octets.data();
        X509* x = d2i_X509(nullptr, &p, static_cast<long>(octets.size()));
        benchmark::DoNotOptimize(x);
        X509_free(x);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * certificate().size()));
}

void BM_Encode_Vorlan(benchmark::State& state) {
    auto* der = new CDEREncoding(1, const_cast<unsigned char*>(certificate().data()), certificate().size(), 0, 1);
    der->AddRef();
    auto tree = decodeTree(*der);
    for (auto _ : state) {
        CByteArray out;
        tree->encodeTo(out);
        benchmark::DoNotOptimize(out.GetData());
    }
    tree.reset();
    der->Release();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * certificate().size()));
}

void BM_Encode_OpenSSL(benchmark::State& state) {
    const unsigned char* p = certificate().data();
    X509* x = d2i_X509(nullptr, &p, static_cast<long>(certificate().size()));
    for (auto _ : state) {
        unsigned char* out = nullptr;
        const int n = i2d_X509(x, &out);
        benchmark::DoNotOptimize(n);
        OPENSSL_free(out);
    }
    X509_free(x);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * certificate().size()));
}

// OpenSSL keeps the certificate body's encoding as received; this one encodes it again.
void BM_Encode_OpenSSL_Reencode(benchmark::State& state) {
    const unsigned char* p = certificate().data();
    X509* x = d2i_X509(nullptr, &p, static_cast<long>(certificate().size()));
    for (auto _ : state) {
        unsigned char* out = nullptr;
        const int n = i2d_re_X509_tbs(x, &out);
        benchmark::DoNotOptimize(n);
        OPENSSL_free(out);
    }
    X509_free(x);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * certificate().size()));
}

}  // namespace

BENCHMARK(BM_Decode_Vorlan);
BENCHMARK(BM_Decode_OpenSSL);
BENCHMARK(BM_Encode_Vorlan);
BENCHMARK(BM_Encode_OpenSSL);
BENCHMARK(BM_Encode_OpenSSL_Reencode);
