// The encrypted file stream with triple DES and 4 KiB records: sequential write and read
// of 64 MiB in 64 KiB calls, and 100,000 random 100-octet reads and writes (half each)
// in that file, beside the raw CCBC<CTripleDESAlgorithm> on the same octets and
// `openssl enc -des-ede3-cbc` on the same file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "vorlan/cipher/cbc.h"
#include "vorlan/cipher/tripledes.h"
#include "vorlan/store/cryptofile.h"

namespace {

constexpr std::size_t kSize = 64u << 20;
constexpr UINT kCall = 64u << 10;
constexpr unsigned long kRecord = 4096;
constexpr int kRandomOps = 100000;
constexpr UINT kOpSize = 100;
const unsigned char kIv[8] = {1, 2, 3, 4, 5, 6, 7, 8};

const std::vector<unsigned char>& Plain() {
    static const std::vector<unsigned char> data = [] {
        std::vector<unsigned char> octets(kSize);
        for (std::size_t i = 0; i < kSize; ++i) octets[i] = static_cast<unsigned char>(i * 131 + 7);
        return octets;
    }();
    return data;
}

// The key openssl is given below.
const CTripleDESkey& Key() {
    static const CTripleDESkey key = [] {
        CTripleDESkey k;
        const std::vector<unsigned char> octets(24, 0x3b);
        k.Set(octets.data(), 24);
        return k;
    }();
    return key;
}

std::string TempPath(const char* name) {
    return "/tmp/vorlan-bench-" + std::to_string(::getpid()) + "-" + name;
}

// The stream's file and a plain copy of the data, made once.
const std::string& StreamFile() {
    static const std::string path = [] {
        const std::string file = TempPath("stream");
        CCBC<CTripleDESAlgorithm> proc(Key(), kIv);
        CCryptoFile stream(new CFile(file.c_str(), CFile::modeCreate | CFile::modeReadWrite), proc, kRecord, TRUE);
        for (std::size_t done = 0; done < kSize; done += kCall) stream.Write(Plain().data() + done, kCall);
        return file;
    }();
    return path;
}

const std::string& PlainFile() {
    static const std::string path = [] {
        const std::string file = TempPath("plain");
        CFile out(file.c_str(), CFile::modeCreate | CFile::modeWrite);
        out.Write(Plain().data(), static_cast<UINT>(kSize));
        return file;
    }();
    return path;
}

void SequentialWrite(benchmark::State& state) {
    const std::string path = TempPath("write");
    for (auto _ : state) {
        CCBC<CTripleDESAlgorithm> proc(Key(), kIv);
        CCryptoFile stream(new CFile(path.c_str(), CFile::modeCreate | CFile::modeReadWrite), proc, kRecord, TRUE);
        for (std::size_t done = 0; done < kSize; done += kCall) stream.Write(Plain().data() + done, kCall);
        stream.Close();
    }
    std::remove(path.c_str());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

void SequentialRead(benchmark::State& state) {
    std::vector<unsigned char> buffer(kCall);
    const std::string& path = StreamFile();
    for (auto _ : state) {
        CCBC<CTripleDESAlgorithm> proc(Key(), kIv);
        CCryptoFile stream(new CFile(path.c_str(), CFile::modeRead), proc, kRecord, TRUE);
        while (stream.Read(buffer.data(), kCall) == kCall) benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

void RandomOps(benchmark::State& state) {
    CCBC<CTripleDESAlgorithm> proc(Key(), kIv);
    CCryptoFile stream(new CFile(StreamFile().c_str(), CFile::modeReadWrite), proc, kRecord, TRUE);
    std::mt19937 random(1);
    unsigned char buffer[kOpSize];
    for (auto _ : state) {
        for (int op = 0; op < kRandomOps; ++op) {
            stream.Seek(static_cast<LONG>(random() % (kSize - kOpSize)), CFile::begin);
            if (op % 2 == 0) {
                stream.Read(buffer, kOpSize);
            } else {
                stream.Write(buffer, kOpSize);
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kRandomOps);
}

// The cipher alone over the same octets, one call per 64 KiB as the stream gets them.
void RawCipher(benchmark::State& state) {
    std::vector<unsigned char> buffer(Plain());
    CCBC<CTripleDESAlgorithm> proc(Key(), kIv);
    for (auto _ : state) {
        for (std::size_t done = 0; done < kSize; done += kCall)
            state.range(0) ? proc.EncryptBlock(buffer.data() + done, kCall, buffer.data() + done, nullptr)
                           : proc.DecryptBlock(buffer.data() + done, kCall, buffer.data() + done, nullptr);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

// `openssl enc` over the plain file (encrypting) or its own output (decrypting), process
// start included.
void OpenSslEnc(benchmark::State& state) {
    const std::string key = "-K 3b3b3b3b3b3b3b3b3b3b3b3b3b3b3b3b3b3b3b3b3b3b3b3b -iv 0102030405060708 -nosalt";
    const std::string encrypted = TempPath("openssl");
    if (std::system(("openssl enc -des-ede3-cbc " + key + " -in " + PlainFile() + " -out " + encrypted).c_str()) != 0)
        state.SkipWithError("openssl enc failed");
    const std::string command = state.range(0)
                                    ? "openssl enc -des-ede3-cbc " + key + " -in " + PlainFile() + " -out /dev/null"
                                    : "openssl enc -d -des-ede3-cbc " + key + " -in " + encrypted + " -out /dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("openssl enc failed");
    std::remove(encrypted.c_str());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

// Removes the shared files when the benchmarks end.
struct Cleanup {
    ~Cleanup() {
        std::remove(TempPath("stream").c_str());
        std::remove(TempPath("plain").c_str());
    }
} cleanup;

}  // namespace

BENCHMARK(SequentialWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SequentialRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(RawCipher)->ArgName("encrypt")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(OpenSslEnc)->ArgName("encrypt")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(RandomOps)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
