// MD5, SHA-1, SHA-256, SHA-384 and SHA-512 throughput beside OpenSSL's EVP digests on 8 KiB and 1 MiB buffers,
// the portable SHA compressions and each SHA-512 compression on their own, and MD2 (which OpenSSL here lacks).
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "vorlan/digest/md2.h"
#include "vorlan/digest/md5.h"
#include "vorlan/digest/sha1.h"
#include "vorlan/digest/sha1compress.h"
#include "vorlan/digest/sha256.h"
#include "vorlan/digest/sha256compress.h"
#include "vorlan/digest/sha512.h"

namespace {

std::vector<unsigned char> Buffer(std::size_t size) {
    std::vector<unsigned char> data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<unsigned char>(i * 131 + 7);
    return data;
}

template <typename Maker>
void Ours(benchmark::State& state) {
    const auto data = Buffer(static_cast<std::size_t>(state.range(0)));
    unsigned char digest[Maker::digestSize];
    for (auto _ : state) {
        Maker maker;
        maker.UpdateBlock(data.data(), static_cast<int>(data.size()), nullptr, 1, 1);
        maker.GetCurrentDigest(digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void OpenSsl(benchmark::State& state, const EVP_MD* md) {
    const auto data = Buffer(static_cast<std::size_t>(state.range(0)));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    for (auto _ : state) {
        EVP_DigestInit_ex(ctx, md, nullptr);
        EVP_DigestUpdate(ctx, data.data(), data.size());
        EVP_DigestFinal_ex(ctx, digest, &size);
        benchmark::DoNotOptimize(digest);
    }
    EVP_MD_CTX_free(ctx);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

template <typename Traits, auto Compress>
void Portable(benchmark::State& state) {
    const auto data = Buffer(static_cast<std::size_t>(state.range(0)));
    std::uint32_t words[Traits::words];
    std::copy(std::begin(Traits::initialState), std::end(Traits::initialState), words);
    for (auto _ : state) {
        Compress(words, data.data(), static_cast<int>(data.size() / 64));
        benchmark::DoNotOptimize(words);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

// Each SHA-512 compression this processor runs (range(1) indexes them, fastest first; the last is the
// portable one).
void Sha512Compression(benchmark::State& state) {
    const auto compressors = vorlan::detail::Sha512Compressors();
    const auto version = static_cast<std::size_t>(state.range(1));
    if (version >= compressors.size()) {
        state.SkipWithError("not run by this processor");
        return;
    }
    const auto data = Buffer(static_cast<std::size_t>(state.range(0)));
    std::uint64_t words[8];
    std::copy(std::begin(vorlan::detail::kSha512InitialState), std::end(vorlan::detail::kSha512InitialState), words);
    for (auto _ : state) {
        compressors[version](words, data.data(), static_cast<int>(data.size() / 128));
        benchmark::DoNotOptimize(words);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void Md5OpenSsl(benchmark::State& state) { OpenSsl(state, EVP_md5()); }
void Sha1OpenSsl(benchmark::State& state) { OpenSsl(state, EVP_sha1()); }
void Sha256OpenSsl(benchmark::State& state) { OpenSsl(state, EVP_sha256()); }
void Sha384OpenSsl(benchmark::State& state) { OpenSsl(state, EVP_sha384()); }
void Sha512OpenSsl(benchmark::State& state) { OpenSsl(state, EVP_sha512()); }

constexpr std::int64_t small = 8 << 10;
constexpr std::int64_t large = 1 << 20;

BENCHMARK(Ours<CMD5DigestMaker>)->Name("MD5/vorlan")->Arg(small)->Arg(large);
BENCHMARK(Md5OpenSsl)->Name("MD5/openssl")->Arg(small)->Arg(large);
BENCHMARK(Ours<CSHA1DigestMaker>)->Name("SHA1/vorlan")->Arg(small)->Arg(large);
BENCHMARK(Sha1OpenSsl)->Name("SHA1/openssl")->Arg(small)->Arg(large);
BENCHMARK(Portable<vorlan::detail::Sha1Traits, vorlan::detail::Sha1CompressPortable>)
    ->Name("SHA1/vorlan-portable-compression")
    ->Arg(small)
    ->Arg(large);
BENCHMARK(Ours<CSHA256DigestMaker>)->Name("SHA256/vorlan")->Arg(small)->Arg(large);
BENCHMARK(Sha256OpenSsl)->Name("SHA256/openssl")->Arg(small)->Arg(large);
BENCHMARK(Portable<vorlan::detail::Sha256Traits, vorlan::detail::Sha256CompressPortable>)
    ->Name("SHA256/vorlan-portable-compression")
    ->Arg(small)
    ->Arg(large);
BENCHMARK(Ours<CSHA384DigestMaker>)->Name("SHA384/vorlan")->Arg(small)->Arg(large);
BENCHMARK(Sha384OpenSsl)->Name("SHA384/openssl")->Arg(small)->Arg(large);
BENCHMARK(Ours<CSHA512DigestMaker>)->Name("SHA512/vorlan")->Arg(small)->Arg(large);
BENCHMARK(Sha512OpenSsl)->Name("SHA512/openssl")->Arg(small)->Arg(large);
BENCHMARK(Sha512Compression)->Name("SHA512/vorlan-compression")->ArgsProduct({{large}, {0, 1, 2}});
BENCHMARK(Ours<CMD2DigestMaker>)->Name("MD2/vorlan")->Arg(small)->Arg(large);

}  // namespace
