// RSA beside OpenSSL: the private-key operation (signing) and the public-key
// operation (verification, e = 65537) with a 2,048-bit key, and 1,024-bit key-pair
// generation. Both sides use the same key.
#include <benchmark/benchmark.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include <cstring>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "vorlan/rsa/rsakeypair.h"

namespace {

struct Keys {
    CRSAKeyPair ours{2048, 1, nullptr, 0, nullptr};
    EVP_PKEY* peer = nullptr;
    unsigned char digest[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};

    Keys() {
        const std::pair<const char*, std::span<const BYTE>> params[] = {
            {OSSL_PKEY_PARAM_RSA_N, ours.modulus},           {OSSL_PKEY_PARAM_RSA_E, ours.publicExponent},
            {OSSL_PKEY_PARAM_RSA_D, ours.privateExponent},   {OSSL_PKEY_PARAM_RSA_FACTOR1, ours.prime1},
            {OSSL_PKEY_PARAM_RSA_FACTOR2, ours.prime2},      {OSSL_PKEY_PARAM_RSA_EXPONENT1, ours.exponent1},
            {OSSL_PKEY_PARAM_RSA_EXPONENT2, ours.exponent2}, {OSSL_PKEY_PARAM_RSA_COEFFICIENT1, ours.coefficient}};
        OSSL_PARAM_BLD* build = OSSL_PARAM_BLD_new();
        std::vector<BIGNUM*> numbers;
        for (const auto& [name, field] : params) {
            numbers.push_back(BN_bin2bn(field.data(), static_cast<int>(field.size()), nullptr));
            OSSL_PARAM_BLD_push_BN(build, name, numbers.back());
        }
        OSSL_PARAM* built = OSSL_PARAM_BLD_to_param(build);
        EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
        EVP_PKEY_fromdata_init(ctx);
        EVP_PKEY_fromdata(ctx, &peer, EVP_PKEY_KEYPAIR, built);
        EVP_PKEY_CTX_free(ctx);
        OSSL_PARAM_free(built);
        OSSL_PARAM_BLD_free(build);
        for (BIGNUM* bn : numbers) BN_free(bn);
    }
    ~Keys() { EVP_PKEY_free(peer); }
};

Keys& SharedKeys() {
    static Keys keys;
    return keys;
}

EVP_PKEY_CTX* PeerContext(int (*init)(EVP_PKEY_CTX*)) {
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_pkey(nullptr, SharedKeys().peer, nullptr);
    init(ctx);
    EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING);
    EVP_PKEY_CTX_set_signature_md(ctx, EVP_sha1());
    return ctx;
}

void BM_Private2048_Vorlan(benchmark::State& state) {
    Keys& keys = SharedKeys();
    CByteArray signature;
    for (auto _ : state) {
        keys.ours.LockDigest(sha1, keys.digest, signature);
        benchmark::DoNotOptimize(signature.GetData());
    }
}
BENCHMARK(BM_Private2048_Vorlan);

// The same key without its CRT values: the plain power with the private exponent.
void BM_Private2048NoCrt_Vorlan(benchmark::State& state) {
    CRSAPrivateKey key = SharedKeys().ours;
    for (BYTE* field : {key.prime1, key.prime2, key.exponent1, key.exponent2, key.coefficient})
        std::memset(field, 0, CRSAPrivateKey::kHalfFieldSize);
    CByteArray signature;
    for (auto _ : state) {
        key.LockDigest(sha1, SharedKeys().digest, signature);
        benchmark::DoNotOptimize(signature.GetData());
    }
}
BENCHMARK(BM_Private2048NoCrt_Vorlan);

void BM_Private2048_OpenSSL(benchmark::State& state) {
    EVP_PKEY_CTX* ctx = PeerContext(EVP_PKEY_sign_init);
    unsigned char signature[CRSAPublicKey::kFieldSize];
    for (auto _ : state) {
        size_t len = sizeof signature;
        EVP_PKEY_sign(ctx, signature, &len, SharedKeys().digest, 20);
        benchmark::DoNotOptimize(signature);
    }
    EVP_PKEY_CTX_free(ctx);
}
BENCHMARK(BM_Private2048_OpenSSL);

void BM_Public2048_Vorlan(benchmark::State& state) {
    Keys& keys = SharedKeys();
    CByteArray signature;
    keys.ours.LockDigest(sha1, keys.digest, signature);
    const CRSAPublicKey& pub = keys.ours;
    unsigned char digest[20];
    for (auto _ : state) {
        pub.UnlockDigest(sha1, signature, digest, 2048);
        benchmark::DoNotOptimize(digest);
    }
}
BENCHMARK(BM_Public2048_Vorlan);

void BM_Public2048_OpenSSL(benchmark::State& state) {
    EVP_PKEY_CTX* signer = PeerContext(EVP_PKEY_sign_init);
    unsigned char signature[CRSAPublicKey::kFieldSize];
    size_t len = sizeof signature;
    EVP_PKEY_sign(signer, signature, &len, SharedKeys().digest, 20);
    EVP_PKEY_CTX_free(signer);
    EVP_PKEY_CTX* ctx = PeerContext(EVP_PKEY_verify_init);
    for (auto _ : state) benchmark::DoNotOptimize(EVP_PKEY_verify(ctx, signature, len, SharedKeys().digest, 20));
    EVP_PKEY_CTX_free(ctx);
}
BENCHMARK(BM_Public2048_OpenSSL);

void BM_KeyGen1024_Vorlan(benchmark::State& state) {
    for (auto _ : state) {
        CRSAKeyPair pair(1024, 1, nullptr, 0, nullptr);
        benchmark::DoNotOptimize(pair.modulus);
    }
}
BENCHMARK(BM_KeyGen1024_Vorlan)->Unit(benchmark::kMillisecond)->Iterations(40);

void BM_KeyGen1024_OpenSSL(benchmark::State& state) {
    for (auto _ : state) {
        EVP_PKEY* key = EVP_RSA_gen(1024);
        benchmark::DoNotOptimize(key);
        EVP_PKEY_free(key);
    }
}
BENCHMARK(BM_KeyGen1024_OpenSSL)->Unit(benchmark::kMillisecond)->Iterations(40);

}  // namespace
