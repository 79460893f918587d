// CHugeDigit arithmetic and both sets of Montgomery kernels (portable and
// mulx/adcx/adox) against OpenSSL's BIGNUM on random operands of every size up to
// 2,048 bits and one limb beyond; the division's rare paths and the capacity limits.
#include <gtest/gtest.h>

#include <functional>

#include "bn_oracle.h"
#include "vorlan/bignum/montgomery.h"
#include "vorlan/framework/exception.h"

namespace {

using vorlan::detail::Limb;

// The unrolled Montgomery sizes (8, 16, 24, 32 limbs), their neighbours, and sizes that
// end inside a limb.
constexpr int kSizes[] = {32, 64, 128, 192, 448, 512, 576, 960, 1000, 1024, 1088, 1536, 1984, 2048, 2112};

BN FromLimbs(const Limb* x, int n) {
    return BN(BN_lebin2bn(reinterpret_cast<const unsigned char*>(x), static_cast<int>(sizeof(Limb)) * n, nullptr));
}

// Montgomery products and squares of operands below R (at or above m too) must be
// congruent to a*b/R modulo m, also when the result is an operand. Moduli just above
// R/2, random, and all ones reach the rare carries.
void ExpectMontgomeryProducts(vorlan::detail::CMontgomeryKernels kernels, int n, int round, std::mt19937_64& engine,
                              BN_CTX* ctx) {
    Limb m[33], a[33], b[33], r[33], scratch[66];
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
    const BNCtx ctx = NewContext();
    CRandomOperands random(20240611);
    std::mt19937_64 limbs(77);
    BN r(BN_new()), q(BN_new()), range(BN_new());
    for (int round = 0; round < 40 * static_cast<int>(std::size(kSizes)); ++round) {
        const int bits = kSizes[round % std::size(kSizes)];
        SCOPED_TRACE(testing::Message() << "round " << round << ", " << bits << " bits");
        // Comparisons, Add and Sub with leading zero digits on one operand; Add and Sub
        // work modulo 2^(32n) for the longer length n and extend both operands to it.
        CHugeDigit a = random.Next(bits), b = random.Next(bits);
        a.SetLength(static_cast<short>(a.GetLength() + round % 3));
        const BN ba = ToBN(a), bb = ToBN(b);
        const int cmp = BN_cmp(ba.get(), bb.get());
        EXPECT_EQ(CHugeDigit::IsLess(a, b), cmp < 0);
        EXPECT_EQ(CHugeDigit::IsGreater(a, b), cmp > 0);
        EXPECT_EQ(CHugeDigit::IsEqual(a, b), cmp == 0);
        EXPECT_TRUE(CHugeDigit::IsEqual(a, FromBN(ba.get())));
        const int n = std::max(a.GetLength(), b.GetLength());
        BN_zero(range.get());
        BN_set_bit(range.get(), 32 * n);
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
        const CHugeDigit x = random.Next(2 * bits);
        const CHugeDigit m = random.NextNonZero(round % 3 == 0 ? 64 : round % 3 == 1 ? bits : 2 * bits);
        const BN bx = ToBN(x), bm = ToBN(m);
        BN_div(q.get(), r.get(), bx.get(), bm.get(), ctx.get());
        CHugeDigit quotient = x, remainder = m;
        if (round % 2)
            CHugeDigit::Div(quotient, remainder, quotient, remainder);
        else
            CHugeDigit::Div(quotient, remainder, x, m);
        EXPECT_TRUE(SameValue(quotient, q.get()) && Compact(quotient));
        EXPECT_TRUE(SameValue(remainder, r.get()) && Compact(remainder));
        EXPECT_TRUE(SameValue(CHugeDigit::Mod(x, m), r.get()));
        BN_mod_mul(r.get(), ba.get(), bb.get(), bm.get(), ctx.get());
        EXPECT_TRUE(SameValue(CHugeDigit::ModMult(a, b, m), r.get()));

        // ModExp with bases beyond the modulus, odd moduli (Montgomery) and even ones;
        // Gcd and ModInv of the exponent and the modulus.
        const CHugeDigit base = random.Next(bits + 64), e = random.NextNonZero(bits);
        CHugeDigit mod = random.NextNonZero(bits);
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
            CHugeDigit odd = random.NextNonZero(bits);
            odd[0] |= 1;
            const BN bo = ToBN(odd);
            bool tableFactor = false;
            for (const WORD p : CHugeDigit::kSmallPrimes) tableFactor |= BN_mod_word(bo.get(), p) == 0;
            BN_set_word(q.get(), 2);
            BN_mod_exp(r.get(), q.get(), bo.get(), bo.get(), ctx.get());
            const bool fermat = BN_is_word(r.get(), 2);
            EXPECT_EQ(odd.HasSmallPrimesFactor(), tableFactor);
            EXPECT_EQ(odd.PassedFermatTest(), fermat);
            EXPECT_EQ(odd.IsProbablePrime(), !tableFactor && fermat);
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
        {"123456789ABCDEF0123456789ABCDEF0FEDCBA98", "FFFFFFFF00000001"},  // divisor's top digit all ones
        {"FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF"},
        {"FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", "7"},  // divisors of one digit
        {"1234567890ABCDEF1234567890ABCDEF", "FFFFFFFF"},
        {"1234567890ABCDEF", "1"},
        {"FFFF", "100000000000000000000"},  // dividend shorter than the divisor
        {"ABCDEF0123456789ABCDEF", "ABCDEF0123456789ABCDEF"},
        {"0", "FFFFFFFFFFFFFFFFFFFF"},
        // The estimate survives the two-limb check one too large and the divisor is added back.
        {"7FFFFFFFFFFFFFFF800000000000000000000000000000000000000000000000",
         "800000000000000000000000000000000000000000000001"},
        // The top dividend limb equals the divisor's: the estimate starts at all ones.
        {"8000000000000000FFFFFFFFFFFFFFFE0000000000000000", "8000000000000000FFFFFFFFFFFFFFFF"},
    };
    const BNCtx ctx = NewContext();
    for (const auto& [dividend, divisor] : rows) {
        const BN a = FromHex(dividend), b = FromHex(divisor);
        BN q(BN_new()), r(BN_new());
        BN_div(q.get(), r.get(), a.get(), b.get(), ctx.get());
        CHugeDigit cq, cr;
        CHugeDigit::Div(cq, cr, FromBN(a.get()), FromBN(b.get()));
        EXPECT_TRUE(SameValue(cq, q.get()) && Compact(cq)) << dividend << " / " << divisor;
        EXPECT_TRUE(SameValue(cr, r.get()) && Compact(cr)) << dividend << " / " << divisor;
    }
}

// Operations that would write past the 513 digits, or divide by zero, throw instead.
TEST(HugeDigitLimits, OutOfCapacityAndZeroDivisorThrowInsteadOfWriting) {
    CHugeDigit big;
    big.SetLength(300);
    big[299] = 1;
    CHugeDigit other = big, q, r, two(2);
    const CHugeDigit zero(0);
    const std::function<void()> rows[] = {[&] { CHugeDigit::Mult(big, other); },
                                          [&] { CHugeDigit::Div(q, r, big, zero); },
                                          [&] { CHugeDigit::Mod(big, zero); },
                                          [&] { CHugeDigit::ModMult(big, big, zero); },
                                          [&] { CHugeDigit::ModExp(2, 3, zero); },
                                          [&] { CHugeDigit::ModExp(2, 3, big); },
                                          [&] { big.SetLength(514); },
                                          [&] { big.SetLength(-1); },
                                          [&] { big.Assign2Exp(513 * 32); }};
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        try {
            rows[i]();
            ADD_FAILURE() << "row " << i << " did not throw";
        } catch (CNotSupportedException* e) {
            e->Delete();
        }
    }
    // A product that fits is computed even with an operand past 256 digits.
    EXPECT_EQ(CHugeDigit::Mult(big, two).Bits(), 299 * 32 + 2);
    // A zero exponent gives 1 whatever the modulus: the exponentiation starts at 1.
    EXPECT_TRUE(CHugeDigit::IsEqual(CHugeDigit::ModExp(5, 0, 1), 1));
}

}  // namespace
