// AES on the processor's AES instructions. CBC encryption is one chain of rounds per
// block with the round keys held in registers; decryption and single blocks run eight
// blocks side by side to fill the pipeline, and CBC decryption sixteen at a time in four
// 512-bit registers where the processor has VAES with AVX-512.
#include <cstring>

#include "vorlan/cipher/aeskernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace vorlan::detail {

#if defined(__x86_64__) || defined(__i386__)
namespace {

constexpr std::size_t kLanes = 8;

#define VORLAN_AESNI __attribute__((target("aes,sse4.1")))

VORLAN_AESNI inline __m128i Load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
VORLAN_AESNI inline void Store(unsigned char* p, __m128i x) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x); }

// Clears registers' copies that the compiler may have left on the stack; the asm keeps
// the stores from being dropped as dead.
template <class Array>
inline void Clear(Array& array) {
    std::memset(&array, 0, sizeof array);
    asm volatile("" : : "m"(array));
}

template <int Rounds>
struct Keys {
    __m128i k[Rounds + 1];
    VORLAN_AESNI explicit Keys(const unsigned char* schedule) {
        for (int i = 0; i <= Rounds; ++i) k[i] = _mm_load_si128(reinterpret_cast<const __m128i*>(schedule) + i);
    }
    ~Keys() { Clear(k); }
};

// The equivalent inverse cipher's keys: reversed, InvMixColumns on the inner ones.
VORLAN_AESNI void Prepare(AesSchedule& s) {
    const auto* enc = reinterpret_cast<const __m128i*>(s.encrypt);
    auto* dec = reinterpret_cast<__m128i*>(s.decrypt);
    dec[0] = enc[s.rounds];
    for (int i = 1; i < s.rounds; ++i) dec[i] = _mm_aesimc_si128(enc[s.rounds - i]);
    dec[s.rounds] = enc[0];
}

// Up to eight blocks side by side through the rounds of `keys`.
// N blocks side by side through the rounds of `keys`; N is a constant, so that the
// blocks stay in registers.
template <int Rounds, bool Encrypt, std::size_t N>
VORLAN_AESNI inline void Lanes(const Keys<Rounds>& keys, __m128i (&x)[N]) {
    for (__m128i& block : x) block = _mm_xor_si128(block, keys.k[0]);
    for (int i = 1; i < Rounds; ++i)
        for (__m128i& block : x)
            block = Encrypt ? _mm_aesenc_si128(block, keys.k[i]) : _mm_aesdec_si128(block, keys.k[i]);
    for (__m128i& block : x)
        block = Encrypt ? _mm_aesenclast_si128(block, keys.k[Rounds]) : _mm_aesdeclast_si128(block, keys.k[Rounds]);
}

// Whole groups of N blocks from `done` on; returns where they end.
template <std::size_t N, class Group>
VORLAN_AESNI inline std::size_t Groups(std::size_t done, std::size_t blocks, Group&& group) {
    for (; done + N <= blocks; done += N) group(done);
    return done;
}

template <int Rounds, bool Encrypt>
VORLAN_AESNI void EachBlock(const AesSchedule& s, const unsigned char* in, unsigned char* out, std::size_t blocks) {
    const Keys<Rounds> keys(Encrypt ? s.encrypt : s.decrypt);
    const auto group = [&]<std::size_t N>(std::size_t done) VORLAN_AESNI {
        __m128i x[N];
        for (std::size_t j = 0; j < N; ++j) x[j] = Load(in + kAesBlock * (done + j));
        Lanes<Rounds, Encrypt>(keys, x);
        for (std::size_t j = 0; j < N; ++j) Store(out + kAesBlock * (done + j), x[j]);
    };
    const std::size_t done = Groups<kLanes>(0, blocks, [&](std::size_t at) { group.template operator()<kLanes>(at); });
    Groups<1>(done, blocks, [&](std::size_t at) { group.template operator()<1>(at); });
}

template <int Rounds>
VORLAN_AESNI void CbcEncrypt(const AesSchedule& s, const unsigned char* in, unsigned char* out, std::size_t blocks,
                             unsigned char* chain) {
    if (blocks == 0) return;
    const Keys<Rounds> keys(s.encrypt);
    // The last round of each block runs twice: once with the last round key for the
    // ciphertext, once with that key XOR the first round key XOR the next plaintext block,
    // which gives the next block's state after its first round key. No XOR is left on the
    // chain of dependent rounds, only the AES instructions.
    const __m128i outer = _mm_xor_si128(keys.k[Rounds], keys.k[0]);
    __m128i x = _mm_xor_si128(Load(chain), _mm_xor_si128(Load(in), keys.k[0]));
    for (std::size_t b = 0;; ++b) {
        for (int i = 1; i < Rounds; ++i) x = _mm_aesenc_si128(x, keys.k[i]);
        const __m128i cipher = _mm_aesenclast_si128(x, keys.k[Rounds]);
        Store(out + kAesBlock * b, cipher);
        if (b + 1 == blocks) {
            Store(chain, cipher);
            return;
        }
        x = _mm_aesenclast_si128(x, _mm_xor_si128(outer, Load(in + kAesBlock * (b + 1))));
    }
}

template <int Rounds>
VORLAN_AESNI void CbcDecrypt(const AesSchedule& s, const unsigned char* in, unsigned char* out, std::size_t blocks,
                             unsigned char* chain) {
    const Keys<Rounds> keys(s.decrypt);
    __m128i previous = Load(chain);
    const auto group = [&]<std::size_t N>(std::size_t done) VORLAN_AESNI {
        const unsigned char* c = in + kAesBlock * done;
        __m128i x[N];
        for (std::size_t j = 0; j < N; ++j) x[j] = Load(c + kAesBlock * j);
        Lanes<Rounds, false>(keys, x);
        // Every ciphertext block is read before any output is written, as out may be in.
        x[0] = _mm_xor_si128(x[0], previous);
        for (std::size_t j = 1; j < N; ++j) x[j] = _mm_xor_si128(x[j], Load(c + kAesBlock * (j - 1)));
        previous = Load(c + kAesBlock * (N - 1));
        for (std::size_t j = 0; j < N; ++j) Store(out + kAesBlock * (done + j), x[j]);
    };
    const std::size_t done = Groups<kLanes>(0, blocks, [&](std::size_t at) { group.template operator()<kLanes>(at); });
    Groups<1>(done, blocks, [&](std::size_t at) { group.template operator()<1>(at); });
    Store(chain, previous);
}

#define VORLAN_VAES __attribute__((target("vaes,avx512f,aes,sse4.1")))

// Full masks: the masked forms of the intrinsics, as the unmasked ones start from an
// undefined register that GCC 12 warns of.
constexpr __mmask8 kAllQwords = 0xFF;
constexpr __mmask16 kAll = 0xFFFF;

// CBC decryption of sixteen blocks per step, each register's previous ciphertext blocks
// formed by shifting the register before it in by one block; the rest on 128-bit registers.
template <int Rounds>
VORLAN_VAES void CbcDecryptWide(const AesSchedule& s, const unsigned char* in, unsigned char* out, std::size_t blocks,
                                unsigned char* chain) {
    constexpr std::size_t kRegisters = 4, kStep = 4 * kRegisters;
    __m512i k[Rounds + 1];
    for (int i = 0; i <= Rounds; ++i)
        k[i] = _mm512_maskz_broadcast_i32x4(kAll, _mm_load_si128(reinterpret_cast<const __m128i*>(s.decrypt) + i));
    __m512i last = _mm512_maskz_broadcast_i32x4(kAll, Load(chain));  // its top block is the chain
    std::size_t done = 0;
    for (; done + kStep <= blocks; done += kStep) {
        const unsigned char* c = in + kAesBlock * done;
        __m512i cipher[kRegisters], x[kRegisters];
        for (std::size_t j = 0; j < kRegisters; ++j) {
            cipher[j] = _mm512_loadu_si512(c + 64 * j);
            x[j] = _mm512_xor_si512(cipher[j], k[0]);
        }
        for (int i = 1; i < Rounds; ++i)
            for (std::size_t j = 0; j < kRegisters; ++j) x[j] = _mm512_aesdec_epi128(x[j], k[i]);
        for (std::size_t j = 0; j < kRegisters; ++j) x[j] = _mm512_aesdeclast_epi128(x[j], k[Rounds]);
        x[0] = _mm512_xor_si512(x[0], _mm512_maskz_alignr_epi64(kAllQwords, cipher[0], last, 6));
        for (std::size_t j = 1; j < kRegisters; ++j)
            x[j] = _mm512_xor_si512(x[j], _mm512_maskz_alignr_epi64(kAllQwords, cipher[j], cipher[j - 1], 6));
        last = cipher[kRegisters - 1];
        for (std::size_t j = 0; j < kRegisters; ++j) _mm512_storeu_si512(out + kAesBlock * done + 64 * j, x[j]);
    }
    Store(chain, _mm512_maskz_extracti32x4_epi32(0xF, last, 3));
    Clear(k);
    CbcDecrypt<Rounds>(s, in + kAesBlock * done, out + kAesBlock * done, blocks - done, chain);
}

// The kernels for a key length, dispatched on the rounds once per call.
template <template <int> class Kernel, class... Args>
void ByRounds(const AesSchedule& s, Args... args) {
    switch (s.rounds) {
        case 10:
            return Kernel<10>::Run(s, args...);
        case 12:
            return Kernel<12>::Run(s, args...);
        default:
            return Kernel<14>::Run(s, args...);
    }
}

template <int R>
struct EncryptBlocks {
    static void Run(const AesSchedule& s, const unsigned char* in, unsigned char* out, std::size_t n) {
        EachBlock<R, true>(s, in, out, n);
    }
};
template <int R>
struct DecryptBlocks {
    static void Run(const AesSchedule& s, const unsigned char* in, unsigned char* out, std::size_t n) {
        EachBlock<R, false>(s, in, out, n);
    }
};
template <int R>
struct EncryptCbc {
    static void Run(const AesSchedule& s, const unsigned char* in, unsigned char* out, std::size_t n,
                    unsigned char* chain) {
        CbcEncrypt<R>(s, in, out, n, chain);
    }
};
template <int R>
struct DecryptCbc {
    static void Run(const AesSchedule& s, const unsigned char* in, unsigned char* out, std::size_t n,
                    unsigned char* chain) {
        CbcDecrypt<R>(s, in, out, n, chain);
    }
};

template <int R>
struct DecryptCbcWide {
    static void Run(const AesSchedule& s, const unsigned char* in, unsigned char* out, std::size_t n,
                    unsigned char* chain) {
        CbcDecryptWide<R>(s, in, out, n, chain);
    }
};

constexpr AesKernels kAesNi = {
    Prepare,
    [](const AesSchedule& s, const unsigned char* in, unsigned char* out, std::size_t n) {
        ByRounds<EncryptBlocks>(s, in, out, n);
    },
    [](const AesSchedule& s, const unsigned char* in, unsigned char* out, std::size_t n) {
        ByRounds<DecryptBlocks>(s, in, out, n);
    },
    [](const AesSchedule& s, const unsigned char* in, unsigned char* out, std::size_t n, unsigned char* chain) {
        ByRounds<EncryptCbc>(s, in, out, n, chain);
    },
    [](const AesSchedule& s, const unsigned char* in, unsigned char* out, std::size_t n, unsigned char* chain) {
        ByRounds<DecryptCbc>(s, in, out, n, chain);
    },
};

constexpr AesKernels kVaes = {
    kAesNi.prepare,
    kAesNi.encrypt,
    kAesNi.decrypt,
    kAesNi.cbcEncrypt,
    [](const AesSchedule& s, const unsigned char* in, unsigned char* out, std::size_t n, unsigned char* chain) {
        ByRounds<DecryptCbcWide>(s, in, out, n, chain);
    },
};

}  // namespace

bool HasVaesInstructions() {
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!HasAesInstructions() || !__get_cpuid(1, &eax, &ebx, &ecx, &edx) || (ecx & bit_OSXSAVE) == 0) return false;
    // The system must save the AVX-512 state: SSE, AVX, the mask and both upper register halves.
    constexpr unsigned int kAvx512State = 0xE6;
    unsigned int low = 0, high = 0;
    asm("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if ((low & kAvx512State) != kAvx512State) return false;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
    return (ebx & bit_AVX512F) != 0 && (ecx & bit_VAES) != 0;
}

const AesKernels& VaesKernels() { return kVaes; }

bool HasAesInstructions() {
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    return (ecx & bit_AES) != 0 && (ecx & bit_SSE4_1) != 0;
}

const AesKernels& AesNiKernels() { return kAesNi; }

#else

bool HasAesInstructions() { return false; }
bool HasVaesInstructions() { return false; }
const AesKernels& AesNiKernels() { return PortableAesKernels(); }
const AesKernels& VaesKernels() { return PortableAesKernels(); }

#endif

const AesKernels& FastestAesKernels() {
    static const AesKernels& chosen = HasVaesInstructions()  ? VaesKernels()
                                      : HasAesInstructions() ? AesNiKernels()
                                                             : PortableAesKernels();
    return chosen;
}

}  // namespace vorlan::detail
