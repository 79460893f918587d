// CHugeDigit arithmetic against OpenSSL's BIGNUM on random operands of all sizes.
#include <gtest/gtest.h>

#include "bn_oracle.h"
#include "vorlan/framework/exception.h"

namespace {

constexpr int kMaxRsaBits = 2048;

class ArithmeticTest : public ::testing::Test {
protected:
    BNCtx ctx{BN_CTX_new()};
    CRandomOperands random{20240611};
};

// 2^(32*digits) as a BIGNUM: the modulus of Add and Sub on equalised operands.
BN DigitRange(int digits) {
    BN r(BN_new());
    BN_set_bit(r.get(), 32 * digits);
    return r;
}

TEST_F(ArithmeticTest, AddAndSubWrapModuloTheLongerLength) {
    for (int round = 0; round < 400; ++round) {
        CHugeDigit a = random.Next(kMaxRsaBits);
        CHugeDigit b = random.Next(kMaxRsaBits);
        const BN ba = ToBN(a), bb = ToBN(b);
        const int n = std::max(a.GetLength(), b.GetLength());
        const BN range = DigitRange(n);
        BN expected(BN_new());

        BN_mod_add(expected.get(), ba.get(), bb.get(), range.get(), ctx.get());
        EXPECT_TRUE(SameValue(CHugeDigit::Add(a, b), expected.get())) << round;
        EXPECT_EQ(a.GetLength(), n);
        EXPECT_EQ(b.GetLength(), n);

        BN_mod_sub(expected.get(), ba.get(), bb.get(), range.get(), ctx.get());
        const CHugeDigit difference = CHugeDigit::Sub(a, b);
        EXPECT_TRUE(SameValue(difference, expected.get())) << round;
        EXPECT_EQ(difference.GetLength(), std::max<int>(difference.Digits(), 1));
    }
}

TEST_F(ArithmeticTest, MultMatchesAndCompactsOperands) {
    for (int round = 0; round < 400; ++round) {
        CHugeDigit a = random.Next(kMaxRsaBits);
        CHugeDigit b = random.Next(kMaxRsaBits);
        a.SetLength(static_cast<short>(a.GetLength() + round % 3));  // leading zero digits
        BN expected(BN_new());
        BN_mul(expected.get(), ToBN(a).get(), ToBN(b).get(), ctx.get());
        const CHugeDigit product = CHugeDigit::Mult(a, b);
        EXPECT_TRUE(SameValue(product, expected.get())) << round;
        EXPECT_EQ(a.GetLength(), std::max<int>(a.Digits(), 1));
        EXPECT_EQ(product.GetLength(), std::max<int>(product.Digits(), 1));
    }
}

TEST_F(ArithmeticTest, DivModAndModMultMatch) {
    for (int round = 0; round < 1500; ++round) {
        const CHugeDigit a = random.Next(2 * kMaxRsaBits);
        // Small, similar and larger divisors.
        const CHugeDigit b = random.NextNonZero(round % 3 == 0 ? 64 : round % 3 == 1 ? kMaxRsaBits : 2 * kMaxRsaBits);
        BN q(BN_new()), r(BN_new());
        BN_div(q.get(), r.get(), ToBN(a).get(), ToBN(b).get(), ctx.get());
        CHugeDigit cq, cr;
        CHugeDigit::Div(cq, cr, a, b);
        ASSERT_TRUE(SameValue(cq, q.get())) << round;
        ASSERT_TRUE(SameValue(cr, r.get())) << round;
        EXPECT_TRUE(SameValue(CHugeDigit::Mod(a, b), r.get())) << round;

        const CHugeDigit x = random.Next(kMaxRsaBits);
        const CHugeDigit y = random.Next(kMaxRsaBits);
        BN expected(BN_new());
        BN_mod_mul(expected.get(), ToBN(x).get(), ToBN(y).get(), ToBN(b).get(), ctx.get());
        EXPECT_TRUE(SameValue(CHugeDigit::ModMult(x, y, b), expected.get())) << round;
    }
}

struct DivisionCase {
    const char* name;
    const char* dividend;  // hex
    const char* divisor;
};

// Paths of the division that random operands reach rarely.
constexpr DivisionCase kDivisionCases[] = {
    {"DivisorTopDigitAllOnes", "123456789ABCDEF0123456789ABCDEF0FEDCBA98", "FFFFFFFF00000001"},
    {"DivisorAllOnes", "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF"},
    {"OneDigitDivisor", "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", "7"},
    {"OneDigitAllOnesDivisor", "1234567890ABCDEF1234567890ABCDEF", "FFFFFFFF"},
    {"DivisorOne", "1234567890ABCDEF", "1"},
    {"DividendShorterThanDivisor", "FFFF", "100000000000000000000"},
    {"DividendEqualsDivisor", "ABCDEF0123456789ABCDEF", "ABCDEF0123456789ABCDEF"},
    {"DividendZero", "0", "FFFFFFFFFFFFFFFFFFFF"},
    // The estimate survives the two-limb check one too large and the divisor is added back.
    {"AddBack", "7FFFFFFFFFFFFFFF800000000000000000000000000000000000000000000000",
     "800000000000000000000000000000000000000000000001"},
    // The top dividend limb equals the divisor's: the estimate starts at all ones and is corrected.
    {"EstimateAllOnesCorrected", "8000000000000000FFFFFFFFFFFFFFFE0000000000000000",
     "8000000000000000FFFFFFFFFFFFFFFF"},
};

class DivisionCornerTest : public ::testing::TestWithParam<DivisionCase> {};

TEST_P(DivisionCornerTest, QuotientAndRemainderMatch) {
    BNCtx ctx(BN_CTX_new());
    BIGNUM* a = nullptr;
    BIGNUM* b = nullptr;
    BN_hex2bn(&a, GetParam().dividend);
    BN_hex2bn(&b, GetParam().divisor);
    const BN ga(a), gb(b);
    BN q(BN_new()), r(BN_new());
    BN_div(q.get(), r.get(), a, b, ctx.get());
    CHugeDigit cq, cr;
    CHugeDigit::Div(cq, cr, FromBN(a), FromBN(b));
    EXPECT_TRUE(SameValue(cq, q.get()));
    EXPECT_TRUE(SameValue(cr, r.get()));
    EXPECT_EQ(cq.GetLength(), std::max<int>(cq.Digits(), 1));
    EXPECT_EQ(cr.GetLength(), std::max<int>(cr.Digits(), 1));
}

INSTANTIATE_TEST_SUITE_P(Corners, DivisionCornerTest, ::testing::ValuesIn(kDivisionCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ArithmeticTest, DivResultsMayAliasOperands) {
    for (int round = 0; round < 50; ++round) {
        CHugeDigit a = random.Next(kMaxRsaBits);
        CHugeDigit b = random.NextNonZero(kMaxRsaBits / 2);
        BN q(BN_new()), r(BN_new());
        BN_div(q.get(), r.get(), ToBN(a).get(), ToBN(b).get(), ctx.get());
        CHugeDigit::Div(a, b, a, b);
        EXPECT_TRUE(SameValue(a, q.get()));
        EXPECT_TRUE(SameValue(b, r.get()));
    }
}

TEST_F(ArithmeticTest, ModExpMatchesForOddAndEvenModuli) {
    for (int round = 0; round < 120; ++round) {
        const int bits = round < 100 ? 64 + round * 20 : kMaxRsaBits;
        const CHugeDigit b = random.Next(bits + 64);  // bases beyond the modulus too
        const CHugeDigit e = random.NextNonZero(bits);
        CHugeDigit m = random.NextNonZero(bits);
        m[0] = round % 4 == 3 ? m[0] & ~DWORD{1} : m[0] | 1;
        if (m.Zero()) m = 2;
        BN expected(BN_new());
        BN_mod_exp(expected.get(), ToBN(b).get(), ToBN(e).get(), ToBN(m).get(), ctx.get());
        EXPECT_TRUE(SameValue(CHugeDigit::ModExp(b, e, m), expected.get())) << round;
    }
}

TEST_F(ArithmeticTest, ModExpSmallModuliAndExponents) {
    for (DWORD m = 1; m < 40; ++m)
        for (DWORD e = 1; e < 12; ++e)
            for (DWORD b : {0u, 1u, 2u, 7u, 0xFFFFFFFFu}) {
                std::uint64_t expected = 1 % m;
                for (DWORD k = 0; k < e; ++k) expected = expected * (b % m) % m;
                EXPECT_EQ(CHugeDigit::ModExp(b, e, m)[0], expected) << b << "^" << e << " mod " << m;
            }
    // A zero exponent gives 1 whatever the modulus, as the exponentiation starts at 1.
    EXPECT_TRUE(CHugeDigit::IsEqual(CHugeDigit::ModExp(5, 0, 1), 1));
}

TEST_F(ArithmeticTest, GcdAndModInvMatch) {
    for (int round = 0; round < 150; ++round) {
        const CHugeDigit a = random.NextNonZero(kMaxRsaBits);
        const CHugeDigit m = random.NextNonZero(kMaxRsaBits);
        BN g(BN_new());
        BN_gcd(g.get(), ToBN(a).get(), ToBN(m).get(), ctx.get());
        EXPECT_TRUE(SameValue(CHugeDigit::Gcd(a, m), g.get())) << round;
        if (!BN_is_one(g.get()) || CHugeDigit::IsEqual(m, 1)) continue;
        BN inverse(BN_mod_inverse(nullptr, ToBN(a).get(), ToBN(m).get(), ctx.get()));
        EXPECT_TRUE(SameValue(CHugeDigit::ModInv(a, m), inverse.get())) << round;
    }
}

TEST_F(ArithmeticTest, ComparisonsIgnoreLeadingZeroDigits) {
    for (int round = 0; round < 300; ++round) {
        CHugeDigit a = random.Next(256);
        CHugeDigit b = round % 5 == 0 ? a : random.Next(256);
        b.SetLength(static_cast<short>(b.GetLength() + round % 3));
        const int cmp = BN_cmp(ToBN(a).get(), ToBN(b).get());
        EXPECT_EQ(CHugeDigit::IsLess(a, b), cmp < 0);
        EXPECT_EQ(CHugeDigit::IsGreater(a, b), cmp > 0);
        EXPECT_EQ(CHugeDigit::IsEqual(a, b), cmp == 0);
    }
}

// True when f throws CNotSupportedException, which is then released.
template <class F>
bool ThrowsNotSupported(F f) {
    try {
        f();
    } catch (CNotSupportedException* e) {
        e->Delete();
        return true;
    }
    return false;
}

// Operations that would write past the 513 digits, or divide by zero, throw instead.
TEST(HugeDigitLimits, OutOfCapacityAndZeroDivisorThrow) {
    CHugeDigit big;
    big.SetLength(300);
    big[299] = 1;
    CHugeDigit other = big;
    const CHugeDigit zero(0);
    CHugeDigit q, r;
    EXPECT_TRUE(ThrowsNotSupported([&] { CHugeDigit::Mult(big, other); }));
    EXPECT_TRUE(ThrowsNotSupported([&] { CHugeDigit::Div(q, r, big, zero); }));
    EXPECT_TRUE(ThrowsNotSupported([&] { CHugeDigit::Mod(big, zero); }));
    EXPECT_TRUE(ThrowsNotSupported([&] { CHugeDigit::ModMult(big, big, zero); }));
    EXPECT_TRUE(ThrowsNotSupported([&] { CHugeDigit::ModExp(2, 3, zero); }));
    EXPECT_TRUE(ThrowsNotSupported([&] { CHugeDigit::ModExp(2, 3, big); }));
    EXPECT_TRUE(ThrowsNotSupported([&] { big.SetLength(514); }));
    EXPECT_TRUE(ThrowsNotSupported([&] { big.SetLength(-1); }));
    EXPECT_TRUE(ThrowsNotSupported([&] { big.Assign2Exp(513 * 32); }));
    // A product that fits is computed even with an operand past 256 digits.
    CHugeDigit two(2);
    EXPECT_EQ(CHugeDigit::Mult(big, two).Bits(), 299 * 32 + 2);
}

}  // namespace
