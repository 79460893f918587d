// CBC throughput of the library's ciphers beside OpenSSL's EVP in the same run (DES,
// triple DES, RC2 and AES encryption; AES decryption too), on 8 KiB and 1 MiB buffers.
// AES runs on the processor's instructions and on the portable kernel.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <vector>

#include "vorlan/cipher/aes.h"
#include "vorlan/cipher/cbc.h"
#include "vorlan/cipher/des.h"
#include "vorlan/cipher/idea.h"
#include "vorlan/cipher/rc2.h"
#include "vorlan/cipher/rc5.h"
#include "vorlan/cipher/tripledes.h"

namespace {

const unsigned char kIv[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

template <class Proc>
void RunOurs(benchmark::State& state, Proc& proc, bool encrypt = true) {
    std::vector<unsigned char> buffer(static_cast<std::size_t>(state.range(0)), 0x5A);
    for (auto _ : state) {
        if (encrypt)
            proc.EncryptBlock(buffer.data(), buffer.size(), buffer.data(), nullptr);
        else
            proc.DecryptBlock(buffer.data(), buffer.size(), buffer.data(), nullptr);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_Vorlan_DES_CBC(benchmark::State& state) {
    CDESkey key;
    CCBC<CDESAlgorithm> proc(key, kIv);
    RunOurs(state, proc);
}

void BM_Vorlan_3DES_CBC(benchmark::State& state) {
    CTripleDESkey key;
    CCBC<CTripleDESAlgorithm> proc(key, kIv);
    RunOurs(state, proc);
}

void BM_Vorlan_IDEA_CBC(benchmark::State& state) {
    CIDEAkey key;
    CCBC<CIDEAAlgorithm> proc(key, kIv);
    RunOurs(state, proc);
}

void BM_Vorlan_RC2_128_CBC(benchmark::State& state) {
    CRC2key key(128);
    CCBC<CRC2Algorithm> proc(key, kIv);
    RunOurs(state, proc);
}

void BM_Vorlan_RC5_32_12_CBC(benchmark::State& state) {
    CRC5key key;
    CCBC<CRC5PadAlgorithm> proc(key, 12, 8, kIv);
    RunOurs(state, proc);
}

// AES-CBC of a key length on the fastest or the portable kernel, either way.
template <class Key, class Cipher, bool Encrypt>
void BM_Vorlan_AES_CBC(benchmark::State& state) {
    Key key;
    CCBC<Cipher> proc(key, kIv);
    RunOurs(state, proc, Encrypt);
}

void RunOpenSSL(benchmark::State& state, const char* name, int keyLength, bool encrypt = true) {
    static OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
    static OSSL_PROVIDER* builtin = OSSL_PROVIDER_load(nullptr, "default");
    (void)legacy;
    (void)builtin;
    std::vector<unsigned char> key(static_cast<std::size_t>(keyLength), 0x3B);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(state.range(0)), 0x5A);
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, name, nullptr);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (!cipher || !EVP_CipherInit_ex(ctx, cipher, nullptr, nullptr, nullptr, encrypt) ||
        !EVP_CIPHER_CTX_set_key_length(ctx, keyLength) ||
        !EVP_CipherInit_ex(ctx, nullptr, nullptr, key.data(), kIv, encrypt)) {
        state.SkipWithError("cipher not available");
    } else {
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        int outLength = 0;
        for (auto _ : state) {
            EVP_CipherUpdate(ctx, buffer.data(), &outLength, buffer.data(), static_cast<int>(buffer.size()));
            benchmark::DoNotOptimize(buffer.data());
        }
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
    }
    EVP_CIPHER_CTX_free(ctx);
    EVP_CIPHER_free(cipher);
}

void BM_OpenSSL_DES_CBC(benchmark::State& state) { RunOpenSSL(state, "DES-CBC", 8); }
void BM_OpenSSL_3DES_CBC(benchmark::State& state) { RunOpenSSL(state, "DES-EDE3-CBC", 24); }
void BM_OpenSSL_RC2_128_CBC(benchmark::State& state) { RunOpenSSL(state, "RC2-CBC", 16); }
template <bool Encrypt>
void BM_OpenSSL_AES_128_CBC(benchmark::State& state) {
    RunOpenSSL(state, "AES-128-CBC", 16, Encrypt);
}
template <bool Encrypt>
void BM_OpenSSL_AES_256_CBC(benchmark::State& state) {
    RunOpenSSL(state, "AES-256-CBC", 32, Encrypt);
}

using vorlan::detail::CPortableAESAlgorithm;
using CAesNiAlgorithm = vorlan::detail::CAESAlgorithmOn<vorlan::detail::AesNiKernels>;

}  // namespace

BENCHMARK(BM_Vorlan_DES_CBC)->Arg(8 << 10)->Arg(1 << 20);
BENCHMARK(BM_OpenSSL_DES_CBC)->Arg(8 << 10)->Arg(1 << 20);
BENCHMARK(BM_Vorlan_3DES_CBC)->Arg(8 << 10)->Arg(1 << 20);
BENCHMARK(BM_OpenSSL_3DES_CBC)->Arg(8 << 10)->Arg(1 << 20);
BENCHMARK(BM_Vorlan_IDEA_CBC)->Arg(8 << 10)->Arg(1 << 20);
BENCHMARK(BM_Vorlan_RC2_128_CBC)->Arg(8 << 10)->Arg(1 << 20);
BENCHMARK(BM_OpenSSL_RC2_128_CBC)->Arg(8 << 10)->Arg(1 << 20);
BENCHMARK(BM_Vorlan_RC5_32_12_CBC)->Arg(8 << 10)->Arg(1 << 20);
// AES-128 and AES-256, encryption then decryption: ours, OpenSSL's, the portable kernel.
BENCHMARK(BM_Vorlan_AES_CBC<CAES128key, CAESAlgorithm, true>)->Name("BM_Vorlan_AES_128_CBC_Encrypt")->Arg(1 << 20);
BENCHMARK(BM_OpenSSL_AES_128_CBC<true>)->Name("BM_OpenSSL_AES_128_CBC_Encrypt")->Arg(1 << 20);
BENCHMARK(BM_Vorlan_AES_CBC<CAES128key, CAESAlgorithm, false>)->Name("BM_Vorlan_AES_128_CBC_Decrypt")->Arg(1 << 20);
BENCHMARK(BM_OpenSSL_AES_128_CBC<false>)->Name("BM_OpenSSL_AES_128_CBC_Decrypt")->Arg(1 << 20);
BENCHMARK(BM_Vorlan_AES_CBC<CAES256key, CAESAlgorithm, true>)->Name("BM_Vorlan_AES_256_CBC_Encrypt")->Arg(1 << 20);
BENCHMARK(BM_OpenSSL_AES_256_CBC<true>)->Name("BM_OpenSSL_AES_256_CBC_Encrypt")->Arg(1 << 20);
BENCHMARK(BM_Vorlan_AES_CBC<CAES256key, CAESAlgorithm, false>)->Name("BM_Vorlan_AES_256_CBC_Decrypt")->Arg(1 << 20);
BENCHMARK(BM_OpenSSL_AES_256_CBC<false>)->Name("BM_OpenSSL_AES_256_CBC_Decrypt")->Arg(1 << 20);
// CBC decryption on AES-NI alone, as processors without VAES run it.
BENCHMARK(BM_Vorlan_AES_CBC<CAES128key, CAesNiAlgorithm, false>)
    ->Name("BM_VorlanAesNi_AES_128_CBC_Decrypt")
    ->Arg(1 << 20);
BENCHMARK(BM_Vorlan_AES_CBC<CAES256key, CAesNiAlgorithm, false>)
    ->Name("BM_VorlanAesNi_AES_256_CBC_Decrypt")
    ->Arg(1 << 20);
BENCHMARK(BM_Vorlan_AES_CBC<CAES128key, CPortableAESAlgorithm, true>)
    ->Name("BM_VorlanPortable_AES_128_CBC_Encrypt")
    ->Arg(1 << 20);
BENCHMARK(BM_Vorlan_AES_CBC<CAES128key, CPortableAESAlgorithm, false>)
    ->Name("BM_VorlanPortable_AES_128_CBC_Decrypt")
    ->Arg(1 << 20);
BENCHMARK(BM_Vorlan_AES_CBC<CAES256key, CPortableAESAlgorithm, true>)
    ->Name("BM_VorlanPortable_AES_256_CBC_Encrypt")
    ->Arg(1 << 20);
