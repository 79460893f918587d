// ECDSA verification beside OpenSSL on P-256 (argument 256) and P-384 (384): the same key,
// digest (SHA-256 or SHA-384 sized) and DER signature on both sides, OpenSSL's through
// EVP_PKEY_verify, which parses the DER and runs ECDSA_do_verify.
#include <benchmark/benchmark.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>

#include <map>
#include <vector>

#include "vorlan/ec/ecpublickey.h"

namespace {

struct Keys {
    EVP_PKEY* peer;
    std::vector<unsigned char> point, digest, signature;

    explicit Keys(int bits) : peer(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", bits == 256 ? "P-256" : "P-384")) {
        point.resize(1 + 2 * 48);
        size_t length = 0;
        EVP_PKEY_get_octet_string_param(peer, OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size(), &length);
        point.resize(length);
        for (int i = 0; i < bits / 8; ++i) digest.push_back(static_cast<unsigned char>(i * 37 + 11));
        EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_pkey(nullptr, peer, nullptr);
        EVP_PKEY_sign_init(ctx);
        EVP_PKEY_sign(ctx, nullptr, &length, digest.data(), digest.size());
        signature.resize(length);
        EVP_PKEY_sign(ctx, signature.data(), &length, digest.data(), digest.size());
        signature.resize(length);
        EVP_PKEY_CTX_free(ctx);
    }
    ~Keys() { EVP_PKEY_free(peer); }
};

// The key of the benchmark's curve (its argument), made once.
Keys& SharedKeys(const benchmark::State& state) {
    static std::map<int64_t, Keys> keys;
    return keys.try_emplace(state.range(0), static_cast<int>(state.range(0))).first->second;
}

EEllipticCurve CurveOf(const benchmark::State& state) {
    return state.range(0) == 256 ? EEllipticCurve::p256 : EEllipticCurve::p384;
}

void BM_Verify_Vorlan(benchmark::State& state) {
    Keys& keys = SharedKeys(state);
    const CECPublicKey key(CurveOf(state), keys.point);
    if (!key.VerifyDer(keys.digest, keys.signature)) state.SkipWithError("signature refused");
    for (auto _ : state) benchmark::DoNotOptimize(key.VerifyDer(keys.digest, keys.signature));
}
BENCHMARK(BM_Verify_Vorlan)->Arg(256)->Arg(384);

void BM_Verify_OpenSSL(benchmark::State& state) {
    Keys& keys = SharedKeys(state);
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_pkey(nullptr, keys.peer, nullptr);
    EVP_PKEY_verify_init(ctx);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            EVP_PKEY_verify(ctx, keys.signature.data(), keys.signature.size(), keys.digest.data(), keys.digest.size()));
    EVP_PKEY_CTX_free(ctx);
}
BENCHMARK(BM_Verify_OpenSSL)->Arg(256)->Arg(384);

// Reading a key: the compressed form needs a square root.
void BM_DecodeCompressed_Vorlan(benchmark::State& state) {
    Keys& keys = SharedKeys(state);
    std::vector<unsigned char> compressed(keys.point.begin(), keys.point.begin() + 1 + (keys.point.size() - 1) / 2);
    compressed[0] = static_cast<unsigned char>(2 | (keys.point.back() & 1));
    for (auto _ : state) benchmark::DoNotOptimize(CECPublicKey(CurveOf(state), compressed));
}
BENCHMARK(BM_DecodeCompressed_Vorlan)->Arg(256)->Arg(384);

}  // namespace
