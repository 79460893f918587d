// CHugeDigit::ModExp beside OpenSSL's BN_mod_exp on the same operands: a 2,048-bit
// odd modulus with a full-size exponent (the private-key case), and ModMult; the
// Montgomery square of both kernel sets, which ModExp spends most of its time in.
#include <benchmark/benchmark.h>
#include <openssl/bn.h>

#include <random>

#include "vorlan/bignum/hugedigit.h"
#include "vorlan/bignum/montgomery.h"

namespace {

struct COperands {
    CHugeDigit base, exponent, modulus;
    unsigned char baseOctets[256], exponentOctets[256], modulusOctets[256];

    explicit COperands(int bits) {
        std::mt19937 engine(1998);
        const int digits = bits / 32;
        base.SetLength(static_cast<short>(digits));
        exponent.SetLength(static_cast<short>(digits));
        modulus.SetLength(static_cast<short>(digits));
        for (int i = 0; i < digits; ++i) {
            base[i] = static_cast<DWORD>(engine());
            exponent[i] = static_cast<DWORD>(engine()) | 0x80000000;
            modulus[i] = static_cast<DWORD>(engine());
        }
        modulus[0] |= 1;
        modulus[digits - 1] |= 0x80000000;
        base[digits - 1] &= 0x7FFFFFFF;
        base.Encode(baseOctets, sizeof baseOctets);
        exponent.Encode(exponentOctets, sizeof exponentOctets);
        modulus.Encode(modulusOctets, sizeof modulusOctets);
    }
};

// The same operands as OpenSSL BIGNUMs.
struct CBNOperands {
    BN_CTX* ctx = BN_CTX_new();
    BIGNUM* base;
    BIGNUM* exponent;
    BIGNUM* modulus;
    BIGNUM* result = BN_new();

    explicit CBNOperands(const COperands& ops)
        : base(BN_bin2bn(ops.baseOctets, 256, nullptr)),
          exponent(BN_bin2bn(ops.exponentOctets, 256, nullptr)),
          modulus(BN_bin2bn(ops.modulusOctets, 256, nullptr)) {}
    CBNOperands(const CBNOperands&) = delete;
    CBNOperands& operator=(const CBNOperands&) = delete;
    ~CBNOperands() {
        for (BIGNUM* bn : {base, exponent, modulus, result}) BN_free(bn);
        BN_CTX_free(ctx);
    }
};

void VorlanModExp(benchmark::State& state) {
    const COperands ops(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(CHugeDigit::ModExp(ops.base, ops.exponent, ops.modulus));
}

void OpenSSLModExp(benchmark::State& state) {
    const CBNOperands bn(COperands(static_cast<int>(state.range(0))));
    for (auto _ : state) benchmark::DoNotOptimize(BN_mod_exp(bn.result, bn.base, bn.exponent, bn.modulus, bn.ctx));
}

void VorlanModMult(benchmark::State& state) {
    const COperands ops(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(CHugeDigit::ModMult(ops.base, ops.exponent, ops.modulus));
}

void OpenSSLModMult(benchmark::State& state) {
    const CBNOperands bn(COperands(static_cast<int>(state.range(0))));
    for (auto _ : state) benchmark::DoNotOptimize(BN_mod_mul(bn.result, bn.base, bn.exponent, bn.modulus, bn.ctx));
}

// Squares of a number below an odd modulus of range(0) limbs, by the kernels of one path.
template <vorlan::detail::CMontgomeryKernels (*Kernels)(int)>
void MontgomerySqr(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const COperands ops(64 * n);
    vorlan::detail::Limb m[vorlan::detail::kMaxLimbs], a[vorlan::detail::kMaxLimbs],
        scratch[2 * vorlan::detail::kMaxLimbs];
    vorlan::detail::LimbsFromDigits(m, ops.modulus.GetDigits(), 2 * n);
    vorlan::detail::LimbsFromDigits(a, ops.base.GetDigits(), 2 * n);
    vorlan::detail::Limb inverse = m[0];
    for (int i = 0; i < 5; ++i) inverse *= 2 - m[0] * inverse;
    const vorlan::detail::CMontgomeryModulus mod{m, n, 0 - inverse};
    const vorlan::detail::CMontgomeryKernels kernels = Kernels(n);
    for (auto _ : state) {
        kernels.sqr(a, a, mod, scratch);
        benchmark::DoNotOptimize(a);
    }
}

vorlan::detail::CMontgomeryKernels Portable(int) { return vorlan::detail::PortableMontgomeryKernels(); }

void MontgomerySqrPortable(benchmark::State& state) { MontgomerySqr<Portable>(state); }

void MontgomerySqrMulxAdx(benchmark::State& state) {
    if (vorlan::detail::HasMulxAdx())
        MontgomerySqr<vorlan::detail::MulxAdxMontgomeryKernels>(state);
    else
        state.SkipWithError("this processor has no mulx/adcx/adox");
}

BENCHMARK(VorlanModExp)->Arg(1024)->Arg(2048)->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSSLModExp)->Arg(1024)->Arg(2048)->Unit(benchmark::kMicrosecond);
BENCHMARK(VorlanModMult)->Arg(2048)->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSSLModMult)->Arg(2048)->Unit(benchmark::kMicrosecond);
BENCHMARK(MontgomerySqrPortable)->Arg(16)->Arg(32);
BENCHMARK(MontgomerySqrMulxAdx)->Arg(16)->Arg(32);

}  // namespace
