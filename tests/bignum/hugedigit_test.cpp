// CHugeDigit against OpenSSL's BIGNUM as the independent oracle: arithmetic and both sets of
// Montgomery kernels (portable and mulx/adcx/adox) on random operands of every size up to
// 2,048 bits and one limb beyond, the division's rare paths, the capacity limits, the
// representation, primality edge cases and cancellation of long operations.
#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/bignum/bignumpeer.h"
#include "tests/common/exceptions.h"
#include "vorlan/bignum/hugedigit.h"
#include "vorlan/bignum/montgomery.h"
#include "vorlan/framework/exception.h"
#include "vorlan/support/progress.h"

namespace {

using vorlan::detail::Limb;

using bignumtest::BN;
using bignumtest::BNCtx;
using bignumtest::FromLimbs;
BN Hex(const char* hex) {
    BIGNUM* bn = nullptr;
    BN_hex2bn(&bn, hex);
    return BN(bn);
}

BN ToBN(const CHugeDigit& x) {
    unsigned char octets[4 * CHugeDigit::kMaxDigits];
    x.Encode(octets, sizeof octets);
    return BN(BN_bin2bn(octets, sizeof octets, nullptr));
}

// A compact number with the value of bn (at most kMaxDigits digits).
CHugeDigit FromBN(const BIGNUM* bn) {
    unsigned char octets[4 * CHugeDigit::kMaxDigits];
    BN_bn2binpad(bn, octets, sizeof octets);
    CHugeDigit x;
    x.SetLength(CHugeDigit::kMaxDigits);
    x.Decode(octets, sizeof octets);
    return x;
}

bool SameValue(const CHugeDigit& x, const BIGNUM* expected) { return BN_cmp(ToBN(x).get(), expected) == 0; }
bool Compact(const CHugeDigit& x) { return x.GetLength() == std::max<int>(x.Digits(), 1); }

// A number below 2^bits, mostly with its top bits set. Digits are drawn from a mix of uniform
// values, 0 and 0xFFFFFFFF, which drives the division's rare correction steps.
CHugeDigit Exactly(std::mt19937& engine, int bits) {
    const int count = (bits + 31) / 32;
    CHugeDigit x(static_cast<WORD>(count), 0);
    const int shape = std::uniform_int_distribution<int>(0, 3)(engine);
    for (int i = 0; i < count; ++i) {
        const DWORD uniform = static_cast<DWORD>(engine());
        const DWORD special[] = {0, 0xFFFFFFFF, shape == 1 ? 0x80000000u : 1u, uniform};
        x[i] = shape == 0 ? uniform : special[engine() % 4];
    }
    if (bits % 32) x[count - 1] &= (DWORD{1} << (bits % 32)) - 1;
    x.DoCompact();
    return x;
}

// Such a number of 1 to maxBits bits; 1 for zero when nonZero.
CHugeDigit Random(std::mt19937& engine, int maxBits, bool nonZero = false) {
    CHugeDigit x = Exactly(engine, std::uniform_int_distribution<int>(1, maxBits)(engine));
    if (nonZero && x.Zero()) x = 1;
    return x;
}

// The unrolled Montgomery sizes (8, 16, 24, 32 limbs), their neighbours, and sizes that
// end inside a limb.
constexpr int kSizes[] = {32, 64, 128, 192, 448, 512, 576, 960, 1000, 1024, 1088, 1536, 1984, 2048, 2112, 3072, 4096};

// Montgomery products and squares of operands below R (at or above m too) must be
// congruent to a*b/R modulo m, also when the result is an operand. Moduli just above
// R/2, random, and all ones reach the rare carries.
void ExpectMontgomeryProducts(vorlan::detail::CMontgomeryKernels kernels, int n, int round, std::mt19937_64& engine,
                              BN_CTX* ctx) {
    Limb m[65], a[65], b[65], r[65], scratch[130];  // up to 4,096 bits and a limb
    const auto fill = [&](Limb* x, int shape) {
        for (int i = 0; i < n; ++i) x[i] = shape == 1 ? ~Limb{0} : shape == 2 ? Limb{1} << 63 : engine();
    };
    fill(m, round % 3 == 1);
    if (round % 3 == 0) m[n - 1] = Limb{1} << 63;
    m[0] |= 1;
    fill(a, round % 4 == 1 ? 1 : round % 4 == 2 ? 2 : 0);
    fill(b, round % 5 == 1);
    Limb inverse = m[0];
    for (int i = 0; i < 5; ++i) inverse *= 2 - m[0] * inverse;  // m^-1 mod 2^64 by Newton's steps
    const vorlan::detail::CMontgomeryModulus mod{m, n, 0 - inverse};
    const BN bm = FromLimbs(m, n);
    BN power(BN_new()), rInverse(BN_new()), expected(BN_new()), got(BN_new());
    BN_set_bit(power.get(), 64 * n);
    BN_mod_inverse(rInverse.get(), power.get(), bm.get(), ctx);
    // Each operation starts with r = a, so that r as an operand is a.
    const auto check = [&](auto operation, const Limb* y, const char* what) {
        std::copy(a, a + n, r);
        operation();
        BN_mod_mul(expected.get(), FromLimbs(a, n).get(), FromLimbs(y, n).get(), bm.get(), ctx);
        BN_mod_mul(expected.get(), expected.get(), rInverse.get(), bm.get(), ctx);
        BN_nnmod(got.get(), FromLimbs(r, n).get(), bm.get(), ctx);
        EXPECT_EQ(BN_cmp(got.get(), expected.get()), 0) << what << ", " << n << " limbs";
    };
    check([&] { kernels.mul(r, a, b, mod, scratch); }, b, "product");
    check([&] { kernels.sqr(r, a, mod, scratch); }, a, "square");
    check([&] { kernels.mul(r, r, b, mod, scratch); }, b, "product into an operand");
    check([&] { kernels.mul(r, r, r, mod, scratch); }, a, "product of an operand with itself");
    check([&] { kernels.sqr(r, r, mod, scratch); }, a, "square into its operand");
}

TEST(HugeDigitOracle, EveryOperationMatchesOpenSSLAtEverySize) {
    const BNCtx ctx(BN_CTX_new());
    std::mt19937 engine(20240611);
    std::mt19937_64 limbs(77);
    BN r(BN_new()), q(BN_new()), range(BN_new());
    for (int round = 0; round < 40 * static_cast<int>(std::size(kSizes)); ++round) {
        const int bits = kSizes[round % std::size(kSizes)];
        SCOPED_TRACE(testing::Message() << "round " << round << ", " << bits << " bits");
        // Comparisons, Add and Sub with leading zero digits on one operand; Add and Sub
        // work modulo 2^(32n) for the longer length n and extend both operands to it.
        CHugeDigit a = Random(engine, bits), b = Random(engine, bits);
        a.SetLength(static_cast<short>(a.GetLength() + round % 3));
        const BN ba = ToBN(a), bb = ToBN(b);
        const int cmp = BN_cmp(ba.get(), bb.get());
        EXPECT_EQ(std::make_tuple(CHugeDigit::IsLess(a, b), CHugeDigit::IsGreater(a, b), CHugeDigit::IsEqual(a, b)),
                  std::make_tuple(int{cmp < 0}, int{cmp > 0}, int{cmp == 0}));
        EXPECT_TRUE(CHugeDigit::IsEqual(a, FromBN(ba.get())));
        const int n = std::max(a.GetLength(), b.GetLength());
        BN_zero(range.get()), BN_set_bit(range.get(), 32 * n);
        BN_mod_add(r.get(), ba.get(), bb.get(), range.get(), ctx.get());
        EXPECT_TRUE(SameValue(CHugeDigit::Add(a, b), r.get()));
        EXPECT_TRUE(a.GetLength() == n && b.GetLength() == n) << "Add extends both operands";
        BN_mod_sub(r.get(), ba.get(), bb.get(), range.get(), ctx.get());
        const CHugeDigit difference = CHugeDigit::Sub(a, b);
        EXPECT_TRUE(SameValue(difference, r.get()) && Compact(difference));
        // Mult, with the operands left at the longer length, compacts them.
        BN_mul(r.get(), ba.get(), bb.get(), ctx.get());
        const CHugeDigit product = CHugeDigit::Mult(a, b);
        EXPECT_TRUE(SameValue(product, r.get()) && Compact(product) && Compact(a) && Compact(b));

        // Div and Mod by small, similar and larger divisors; every other round the results
        // are the operands' own objects. ModMult by the same divisor.
        const CHugeDigit x = Random(engine, 2 * bits);
        const CHugeDigit m = Random(engine, round % 3 == 0 ? 64 : round % 3 == 1 ? bits : 2 * bits, true);
        const BN bx = ToBN(x), bm = ToBN(m);
        BN_div(q.get(), r.get(), bx.get(), bm.get(), ctx.get());
        CHugeDigit quotient = x, remainder = m;
        CHugeDigit::Div(quotient, remainder, round % 2 ? quotient : x, round % 2 ? remainder : m);
        EXPECT_TRUE(SameValue(quotient, q.get()) && Compact(quotient) && SameValue(remainder, r.get()) &&
                    Compact(remainder) && SameValue(CHugeDigit::Mod(x, m), r.get()));
        BN_mod_mul(r.get(), ba.get(), bb.get(), bm.get(), ctx.get());
        EXPECT_TRUE(SameValue(CHugeDigit::ModMult(a, b, m), r.get()));

        // ModExp with bases beyond the modulus, odd moduli (Montgomery) and even ones;
        // Gcd and ModInv of the exponent and the modulus.
        const CHugeDigit base = Random(engine, bits + 64), e = Random(engine, bits, true);
        CHugeDigit mod = Random(engine, bits, true);
        mod[0] = round % 4 == 3 ? mod[0] & ~DWORD{1} : mod[0] | 1;
        if (mod.Zero()) mod = 2;
        const BN be = ToBN(e), bmod = ToBN(mod);
        BN_mod_exp(r.get(), ToBN(base).get(), be.get(), bmod.get(), ctx.get());
        EXPECT_TRUE(SameValue(CHugeDigit::ModExp(base, e, mod), r.get()));
        BN_gcd(r.get(), be.get(), bmod.get(), ctx.get());
        EXPECT_TRUE(SameValue(CHugeDigit::Gcd(e, mod), r.get()));
        if (BN_is_one(r.get()) && !BN_is_one(bmod.get())) {
            BN_mod_inverse(r.get(), be.get(), bmod.get(), ctx.get());
            EXPECT_TRUE(SameValue(CHugeDigit::ModInv(e, mod), r.get()));
        }

        // The trial divisions and the Fermat test 2^n mod n == 2 on odd numbers.
        if (bits <= 576) {
            CHugeDigit odd = Random(engine, bits, true);
            odd[0] |= 1;
            const BN bo = ToBN(odd);
            bool tableFactor = false;
            for (const WORD p : CHugeDigit::kSmallPrimes) tableFactor |= BN_mod_word(bo.get(), p) == 0;
            BN_set_word(q.get(), 2);
            BN_mod_exp(r.get(), q.get(), bo.get(), bo.get(), ctx.get());
            const bool fermat = BN_is_word(r.get(), 2);
            EXPECT_TRUE(odd.HasSmallPrimesFactor() == tableFactor && odd.PassedFermatTest() == fermat &&
                        odd.IsProbablePrime() == (!tableFactor && fermat));
        }

        const int n64 = (bits + 63) / 64;
        ExpectMontgomeryProducts(vorlan::detail::PortableMontgomeryKernels(), n64, round, limbs, ctx.get());
        if (vorlan::detail::HasMulxAdx() && vorlan::detail::HasUnrolledKernels(n64))
            ExpectMontgomeryProducts(vorlan::detail::MulxAdxMontgomeryKernels(n64), n64, round, limbs, ctx.get());
    }
}

// Paths of the division that random operands reach rarely.
TEST(HugeDigitOracle, DivisionCornersMatchOpenSSL) {
    const char* const rows[][2] = {
        // Divisors with an all-ones top digit, longer than the dividend, of one digit, equal to it.
        {"123456789ABCDEF0123456789ABCDEF0FEDCBA98", "FFFFFFFF00000001"}, {"FFFF", "100000000000000000000"},
        {"FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF"}, {"FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", "7"},
        {"1234567890ABCDEF1234567890ABCDEF", "FFFFFFFF"}, {"1234567890ABCDEF", "1"}, {"0", "FFFFFFFFFFFFFFFFFFFF"},
        {"ABCDEF0123456789ABCDEF", "ABCDEF0123456789ABCDEF"},
        // The estimate survives the two-limb check one too large and the divisor is added back.
        {"7FFFFFFFFFFFFFFF800000000000000000000000000000000000000000000000",
         "800000000000000000000000000000000000000000000001"},
        // The top dividend limb equals the divisor's: the estimate starts at all ones.
        {"8000000000000000FFFFFFFFFFFFFFFE0000000000000000", "8000000000000000FFFFFFFFFFFFFFFF"},
    };
    const BNCtx ctx(BN_CTX_new());
    for (const auto& [dividend, divisor] : rows) {
        const BN a = Hex(dividend), b = Hex(divisor), q(BN_new()), r(BN_new());
        BN_div(q.get(), r.get(), a.get(), b.get(), ctx.get());
        CHugeDigit cq, cr;
        CHugeDigit::Div(cq, cr, FromBN(a.get()), FromBN(b.get()));
        EXPECT_TRUE(SameValue(cq, q.get()) && Compact(cq) && SameValue(cr, r.get()) && Compact(cr)) << dividend;
    }
}

// Operations that would write past the 513 digits, or divide by zero, throw instead.
TEST(HugeDigitLayout, LimitsThrowInsteadOfWritingAndLengthsAndOctetStringsKeepTheirLastOctets) {
    CHugeDigit big;
    big.SetLength(300);
    big[299] = 1;
    CHugeDigit other = big, q, r, two(2);
    const CHugeDigit zero(0);
    const std::function<void()> rows[] = {
        [&] { CHugeDigit::Mult(big, other); }, [&] { CHugeDigit::Div(q, r, big, zero); },
        [&] { CHugeDigit::Mod(big, zero); }, [&] { CHugeDigit::ModMult(big, big, zero); },
        [&] { CHugeDigit::ModExp(2, 3, zero); }, [&] { CHugeDigit::ModExp(2, 3, big); },
        [&] { big.SetLength(514); }, [&] { big.SetLength(-1); }, [&] { big.Assign2Exp(513 * 32); }};
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_NE(testcommon::MessageOf<CNotSupportedException>(rows[i]), testcommon::kNoException) << i;
    // A product that fits is computed even with an operand past 256 digits.
    EXPECT_EQ(CHugeDigit::Mult(big, two).Bits(), 299 * 32 + 2);
    // A zero exponent gives 1 whatever the modulus: the exponentiation starts at 1.
    EXPECT_TRUE(CHugeDigit::IsEqual(CHugeDigit::ModExp(5, 0, 1), 1));
    // The length side effects callers see (constructors, compaction, SetLength) and octet strings.
    const CHugeDigit byDefault, seven(7), wide(5, 9);
    CHugeDigit empty(5, 0), power(3, 0);
    EXPECT_TRUE(byDefault.GetLength() == 64 && byDefault.Zero() && seven.GetLength() == 1 && seven[0] == 7u);
    EXPECT_TRUE(wide.GetLength() == 5 && wide.Digits() == 1 && wide.Bits() == 4 && empty.Digits() + empty.Bits() == 0);
    empty.SetLength(0);
    empty.DoCompact();
    EXPECT_TRUE(empty.GetLength() == 1 && empty[0] == 0u) << "compaction keeps one digit";
    power.Assign2Exp(32);
    EXPECT_TRUE(power.Bits() == 33 && power.Digits() == 2 && power.GetLength() == 3);
    power[2] = 0xBBBB;
    power.SetLength(1);  // shrinking leaves the digits above in place, growing empty-extends
    EXPECT_EQ(power[2], 0xBBBBu);
    power.SetLength(3);
    EXPECT_TRUE(power[1] == 0 && power[2] == 0);

    const unsigned char oneBit[] = {0, 0, 1};
    EXPECT_TRUE(___countBits(oneBit, 3) == 1 && ___countBits(oneBit, 2) == 0 && ___countBits(oneBit, -5) == 0);
    std::vector<unsigned char> octets(70000, 0xFF);  // only the last 512 octets count
    octets[70000 - 512] = 0x01;
    EXPECT_EQ(___countBits(octets.data(), static_cast<int>(octets.size())), 4089);
    octets[70000 - 512] = 0xFF;
    // Decode fills the current length (64 digits) from the end of the string.
    for (size_t i = 0; i < 300; ++i) octets[i] = static_cast<unsigned char>(i * 7 + 1);
    CHugeDigit x;
    x.Decode(octets.data(), 300);
    EXPECT_TRUE(SameValue(x, BN(BN_bin2bn(octets.data() + 44, 256, nullptr)).get()) && x.GetLength() == 64);
    x.Decode(reinterpret_cast<const unsigned char*>("\x01\x02\x03\x04\x05"), 5);
    EXPECT_TRUE(x.GetLength() == 2 && x[0] == 0x02030405u && x[1] == 0x01u);
    unsigned char out[12];  // Encode pads with zeros in front or drops the high octets
    x.Encode(out, 9);
    x.Encode(out + 9, 3);
    EXPECT_EQ(0, std::memcmp(out, "\0\0\0\0\x01\x02\x03\x04\x05\x03\x04\x05", 12));
}

// 33 and 39 are trial divisors and 2 is not; the Fermat test is 2^n mod n == 2. 7957 = 73 * 109
// is a base-2 pseudoprime with no factor in the table: it passes.
TEST(HugeDigitPrimality, EdgeCasesOfTheTableAndTheFermatTest) {
    // n, small factor, Fermat, probable prime
    const std::tuple<DWORD, int, int, int> rows[] = {
        {3, 1, 1, 0},    {5, 1, 1, 0},    {33, 1, 0, 0},   {39, 1, 0, 0},   {47, 1, 1, 0},   {53, 0, 1, 1},
        {341, 1, 1, 0},  {561, 1, 1, 0},  {15, 1, 0, 0},   {2, 0, 0, 0},    {1, 0, 0, 0},    {0, 1, 0, 0},
        {2209, 1, 0, 0}, {3127, 0, 0, 0}, {2047, 1, 1, 0}, {7957, 0, 1, 1}, {4294967291u, 0, 1, 1}};
    for (const auto& [value, smallFactor, fermat, probablePrime] : rows) {
        const CHugeDigit n(value);
        EXPECT_EQ(std::make_tuple(n.HasSmallPrimesFactor(), n.PassedFermatTest(), n.IsProbablePrime()),
                  std::make_tuple(smallFactor, fermat, probablePrime))
            << value;
    }
}

// Cancels a thread that runs `operation` over and over (a thousand times at most, so that a
// thread that never stops fails the test), once it has completed one. Returns how many
// operations it completed after the flag was raised: none started after it may end.
int CompletedAfterKill(const std::function<void()>& operation) {
    std::atomic<DWORD> targetId{0};
    std::atomic<int> rounds{0};
    std::atomic<bool> cancelled{false};
    std::thread target([&] {
        targetId = GetCurrentThreadId();
        try {
            while (rounds < 1000) {
                operation();
                ++rounds;
            }
        } catch (CKillThreadException*) {
            cancelled = true;
        }
    });
    while (rounds < 1) std::this_thread::yield();
    CWinThread victim;
    victim.m_nThreadID = targetId;
    ThreadToKill = &victim;
    ThreadKillFlag = 1;
    std::atomic_thread_fence(std::memory_order_seq_cst);
    const int atRequest = rounds;
    target.join();
    ThreadKillFlag = 0, ThreadToKill = nullptr;
    EXPECT_TRUE(cancelled);
    return rounds - atRequest;
}

TEST(HugeDigitCancellation, KillFlagStopsLongOperationsOfTheTargetThreadOnly) {
    // A 2,048-bit exponentiation with a full-size exponent: thousands of passes of checked loops.
    std::mt19937 engine(5);
    CHugeDigit base = Exactly(engine, 2048), exponent = Exactly(engine, 2048), modulus = Exactly(engine, 2048);
    exponent[63] |= 0x80000000, modulus[63] |= 0x80000000, modulus[0] |= 1;
    const auto run = [&] { return CHugeDigit::ModExp(base, exponent, modulus); };
    const CHugeDigit expected = run();

    std::atomic<int> bystanderRounds{0};
    std::atomic<bool> stopBystander{false};
    CHugeDigit bystanderResult;
    std::thread bystander([&] { for (; !stopBystander; ++bystanderRounds) bystanderResult = run(); });
    // The exponentiation in progress stops too. Were the flag read only between operations, it would
    // end every time; read in every loop, it ends only when the flag comes during its last pass.
    int endedInProgress = 0;
    for (int trial = 0; trial < 3; ++trial) {
        const int completed = CompletedAfterKill(run);
        EXPECT_LE(completed, 1) << "an exponentiation started after the request ran to its end";
        endedInProgress += completed;
    }
    EXPECT_LT(endedInProgress, 3) << "each exponentiation in progress ran to its end";

    // With the calling thread as the target, the other thread computes on, and each long
    // operation of the calling thread stops.
    CWinThread self;
    ThreadToKill = &self;
    ThreadKillFlag = 1;
    const int bystanderAtRequest = bystanderRounds;
    while (bystanderRounds < bystanderAtRequest + 2) std::this_thread::yield();
    stopBystander = true;
    bystander.join();
    CHugeDigit half = Exactly(engine, 1024), q, r;
    half[31] |= 0x80000001;
    const std::function<void()> operations[] = {
        [&] { CHugeDigit::Add(base, half); }, [&] { CHugeDigit::Sub(base, half); },
        [&] { CHugeDigit::Mult(base, half); }, [&] { CHugeDigit::Div(q, r, base, half); },
        [&] { CHugeDigit::ModMult(base, base, half); }, [&] { CHugeDigit::ModExp(base, base, half); },
        [&] { CHugeDigit::Gcd(base, half); }, [&] { CHugeDigit::ModInv(base, half); }, [&] { base.IsProbablePrime(); }};
    for (std::size_t i = 0; i < std::size(operations); ++i) EXPECT_THROW(operations[i](), CKillThreadException*) << i;
    ThreadKillFlag = 0, ThreadToKill = nullptr;
    EXPECT_TRUE(CHugeDigit::IsEqual(bystanderResult, expected));
    EXPECT_TRUE(CHugeDigit::IsEqual(run(), expected)) << "unaffected once the flag is cleared";
}

}  // namespace
