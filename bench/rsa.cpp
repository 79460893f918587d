// RSA beside OpenSSL: the private-key operation (signing) and the public-key
// operation (verification, e = 65537) with keys of 2,048, 3,072 and 4,096 bits, and
// key-pair generation of 1,024 and 3,072 bits. Both sides use the same key.
#include <benchmark/benchmark.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include <cstring>
#include <map>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "vorlan/rsa/rsakeypair.h"

namespace {

struct Keys {
    CRSAKeyPair ours;
    EVP_PKEY* peer = nullptr;
    unsigned char digest[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};

    explicit Keys(unsigned short bits) : ours(bits, 1, nullptr, 0, nullptr) {
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

// The key of the benchmark's size (its argument), made once.
Keys& SharedKeys(const benchmark::State& state) {
    static std::map<int64_t, Keys> keys;
    const auto bits = state.range(0);
    return keys.try_emplace(bits, static_cast<unsigned short>(bits)).first->second;
}

EVP_PKEY_CTX* PeerContext(Keys& keys, int (*init)(EVP_PKEY_CTX*)) {
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_pkey(nullptr, keys.peer, nullptr);
    init(ctx);
    EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_PADDING);
    EVP_PKEY_CTX_set_signature_md(ctx, EVP_sha1());
    return ctx;
}

void BM_Private_Vorlan(benchmark::State& state) {
    Keys& keys = SharedKeys(state);
    CByteArray signature;
    for (auto _ : state) {
        keys.ours.LockDigest(sha1, keys.digest, signature);
        benchmark::DoNotOptimize(signature.GetData());
    }
}
BENCHMARK(BM_Private_Vorlan)->Arg(2048)->Arg(3072)->Arg(4096);

// The same key without its CRT values: the plain power with the private exponent.
void BM_PrivateNoCrt_Vorlan(benchmark::State& state) {
    Keys& keys = SharedKeys(state);
    CRSAPrivateKey key = keys.ours;
    for (BYTE* field : {key.prime1, key.prime2, key.exponent1, key.exponent2, key.coefficient})
        std::memset(field, 0, CRSAPrivateKey::kHalfFieldSize);
    CByteArray signature;
    for (auto _ : state) {
        key.LockDigest(sha1, keys.digest, signature);
        benchmark::DoNotOptimize(signature.GetData());
    }
}
BENCHMARK(BM_PrivateNoCrt_Vorlan)->Arg(2048);

void BM_Private_OpenSSL(benchmark::State& state) {
    Keys& keys = SharedKeys(state);
    EVP_PKEY_CTX* ctx = PeerContext(keys, EVP_PKEY_sign_init);
    unsigned char signature[CRSAPublicKey::kFieldSize];
    for (auto _ : state) {
        size_t len = sizeof signature;
        EVP_PKEY_sign(ctx, signature, &len, keys.digest, 20);
        benchmark::DoNotOptimize(signature);
    }
    EVP_PKEY_CTX_free(ctx);
}
BENCHMARK(BM_Private_OpenSSL)->Arg(2048)->Arg(3072)->Arg(4096);

void BM_Public_Vorlan(benchmark::State& state) {
    Keys& keys = SharedKeys(state);
    CByteArray signature;
    keys.ours.LockDigest(sha1, keys.digest, signature);
    const CRSAPublicKey& pub = keys.ours;
    unsigned char digest[20];
    for (auto _ : state) {
        pub.UnlockDigest(sha1, signature, digest, pub.bits);
        benchmark::DoNotOptimize(digest);
    }
}
BENCHMARK(BM_Public_Vorlan)->Arg(2048)->Arg(3072)->Arg(4096);

void BM_Public_OpenSSL(benchmark::State& state) {
    Keys& keys = SharedKeys(state);
    EVP_PKEY_CTX* signer = PeerContext(keys, EVP_PKEY_sign_init);
    unsigned char signature[CRSAPublicKey::kFieldSize];
    size_t len = sizeof signature;
    EVP_PKEY_sign(signer, signature, &len, keys.digest, 20);
    EVP_PKEY_CTX_free(signer);
    EVP_PKEY_CTX* ctx = PeerContext(keys, EVP_PKEY_verify_init);
    for (auto _ : state) benchmark::DoNotOptimize(EVP_PKEY_verify(ctx, signature, len, keys.digest, 20));
    EVP_PKEY_CTX_free(ctx);
}
BENCHMARK(BM_Public_OpenSSL)->Arg(2048)->Arg(3072)->Arg(4096);

void BM_KeyGen_Vorlan(benchmark::State& state) {
    for (auto _ : state) {
        CRSAKeyPair pair(static_cast<unsigned short>(state.range(0)), 1, nullptr, 0, nullptr);
        benchmark::DoNotOptimize(pair.modulus);
    }
}
BENCHMARK(BM_KeyGen_Vorlan)->Arg(1024)->Arg(3072)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_KeyGen_OpenSSL(benchmark::State& state) {
    for (auto _ : state) {
        EVP_PKEY* key = EVP_RSA_gen(static_cast<unsigned>(state.range(0)));
        benchmark::DoNotOptimize(key);
        EVP_PKEY_free(key);
    }
}
BENCHMARK(BM_KeyGen_OpenSSL)->Arg(1024)->Arg(3072)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
