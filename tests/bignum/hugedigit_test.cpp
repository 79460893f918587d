// CHugeDigit's representation: lengths, compaction, octet conversion, primality.
#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <vector>

#include "bn_oracle.h"

namespace {

TEST(HugeDigitLength, ConstructorsSetLengthAndValue) {
    const CHugeDigit byDefault;
    EXPECT_EQ(byDefault.GetLength(), 64);
    EXPECT_TRUE(byDefault.Zero());
    const CHugeDigit one(7);
    EXPECT_EQ(one.GetLength(), 1);
    EXPECT_EQ(one[0], 7u);
    const CHugeDigit wide(5, 9);
    EXPECT_EQ(wide.GetLength(), 5);
    EXPECT_EQ(wide.Digits(), 1);
    CHugeDigit assigned = wide;
    assigned = 3;
    EXPECT_EQ(assigned.GetLength(), 1);
    EXPECT_EQ(assigned[0], 3u);
}

TEST(HugeDigitLength, CompactionDigitsAndBits) {
    CHugeDigit zero(5, 0);
    EXPECT_EQ(zero.Digits(), 0);
    EXPECT_EQ(zero.Bits(), 0);
    zero.DoCompact();
    EXPECT_EQ(zero.GetLength(), 1);

    CHugeDigit empty(5, 0);
    empty.SetLength(0);
    empty.DoCompact();
    EXPECT_EQ(empty.GetLength(), 1);
    EXPECT_EQ(empty[0], 0u);

    EXPECT_EQ(CHugeDigit(1).Bits(), 1);
    CHugeDigit power(3, 0);
    power.Assign2Exp(32);
    EXPECT_EQ(power.Bits(), 33);
    EXPECT_EQ(power.Digits(), 2);
    EXPECT_EQ(power.GetLength(), 3);
}

TEST(HugeDigitLength, SetLengthZeroExtendsButShrinkingKeepsLeftovers) {
    CHugeDigit x(3, 0);
    x[1] = 0xAAAA;
    x[2] = 0xBBBB;
    x.SetLength(1);
    EXPECT_EQ(x[2], 0xBBBBu);
    x.SetLength(3);
    EXPECT_EQ(x[1], 0u);
    EXPECT_EQ(x[2], 0u);
}

TEST(HugeDigitLength, AddExtendsBothOperandsAndDropsTopCarry) {
    CHugeDigit a(2, 0xFFFFFFFF);
    a[1] = 0xFFFFFFFF;
    CHugeDigit b(5, 1);
    b[4] = 0xFFFFFFFF;
    CHugeDigit::Add(a, b);
    EXPECT_EQ(a.GetLength(), 5);
    EXPECT_EQ(b.GetLength(), 5);
    CHugeDigit top(1, 0xFFFFFFFF);
    CHugeDigit one(1);
    EXPECT_TRUE(CHugeDigit::Add(top, one).Zero());
    // Subtraction wraps modulo 2^(32*n) for the common length n.
    CHugeDigit small(1);
    CHugeDigit two(2);
    EXPECT_EQ(CHugeDigit::Sub(small, two)[0], 0xFFFFFFFFu);
}

TEST(HugeDigitOctets, CountBitsOfBigEndianStrings) {
    const unsigned char oneBit[] = {0, 0, 1};
    const unsigned char eightBits[] = {0x80};
    const unsigned char zeros[] = {0, 0};
    EXPECT_EQ(___countBits(oneBit, 3), 1);
    EXPECT_EQ(___countBits(eightBits, 1), 8);
    EXPECT_EQ(___countBits(zeros, 2), 0);
    // Only the last 256 octets count, however long the string.
    std::vector<unsigned char> longString(70000, 0xFF);
    longString[70000 - 256] = 0x01;
    EXPECT_EQ(___countBits(longString.data(), static_cast<int>(longString.size())), 2041);
    EXPECT_EQ(___countBits(longString.data(), -5), 0);
}

TEST(HugeDigitOctets, DecodeKeepsTheLastOctetsThatFitTheLength) {
    std::vector<unsigned char> octets(300);
    for (size_t i = 0; i < octets.size(); ++i) octets[i] = static_cast<unsigned char>(i * 7 + 1);
    CHugeDigit x;
    x.Decode(octets.data(), static_cast<WORD>(octets.size()));
    BN expected(BN_bin2bn(octets.data() + 44, 256, nullptr));
    EXPECT_TRUE(SameValue(x, expected.get()));
    EXPECT_EQ(x.GetLength(), 64);

    CHugeDigit shortOne;
    const unsigned char three[] = {0x01, 0x02, 0x03, 0x04, 0x05};
    shortOne.Decode(three, sizeof three);
    EXPECT_EQ(shortOne.GetLength(), 2);
    EXPECT_EQ(shortOne[0], 0x02030405u);
    EXPECT_EQ(shortOne[1], 0x01u);
}

TEST(HugeDigitOctets, EncodePadsOrDropsHighOctets) {
    CHugeDigit x(3, 0x44434241);
    x[1] = 0x48474645;
    x[2] = 0x4C4B4A49;
    unsigned char eight[8];
    x.Encode(eight, 8);
    const unsigned char low[] = {0x48, 0x47, 0x46, 0x45, 0x44, 0x43, 0x42, 0x41};
    EXPECT_EQ(0, memcmp(eight, low, 8));
    unsigned char sixteen[16];
    x.Encode(sixteen, 16);
    const unsigned char padded[] = {0, 0, 0, 0, 0x4C, 0x4B, 0x4A, 0x49, 0x48, 0x47, 0x46, 0x45, 0x44, 0x43, 0x42, 0x41};
    EXPECT_EQ(0, memcmp(sixteen, padded, 16));
}

struct PrimalityCase {
    DWORD n;
    int smallFactor;
    int fermat;
    int probablePrime;
};

// 33 and 39 are trial divisors and 2 is not; the Fermat test uses 2^n mod n == 2.
constexpr PrimalityCase kPrimalityCases[] = {
    {3, 1, 1, 0},    {5, 1, 1, 0},    {33, 1, 0, 0},          {39, 1, 0, 0},   {47, 1, 1, 0},   {53, 0, 1, 1},
    {341, 1, 1, 0},  {561, 1, 1, 0},  {15, 1, 0, 0},          {2, 0, 0, 0},    {1, 0, 0, 0},    {0, 1, 0, 0},
    {2209, 1, 0, 0}, {3127, 0, 0, 0}, {4294967291u, 0, 1, 1}, {2047, 1, 1, 0}, {7957, 0, 1, 1},  // 73 * 109: a base-2
                                                                                                 // pseudoprime with no
                                                                                                 // factor in the table
                                                                                                 // passes
};

class PrimalityTest : public ::testing::TestWithParam<PrimalityCase> {};

TEST_P(PrimalityTest, TableAndFermatAnswers) {
    const CHugeDigit n(GetParam().n);
    EXPECT_EQ(n.HasSmallPrimesFactor(), GetParam().smallFactor);
    EXPECT_EQ(n.PassedFermatTest(), GetParam().fermat);
    EXPECT_EQ(n.IsProbablePrime(), GetParam().probablePrime);
}

INSTANTIATE_TEST_SUITE_P(Small, PrimalityTest, ::testing::ValuesIn(kPrimalityCases),
                         [](const auto& info) { return std::to_string(info.param.n) + "N"; });

TEST(Primality, AgreesWithOpenSSLOnLargeOddNumbers) {
    BNCtx ctx(BN_CTX_new());
    CRandomOperands random(77);
    int primes = 0;
    for (int round = 0; round < 300; ++round) {
        CHugeDigit n = random.NextNonZero(512);
        n[0] |= 1;
        BN bn = ToBN(n);
        // Without a factor in the table, a probable prime per OpenSSL passes base 2.
        const bool prime = BN_check_prime(bn.get(), ctx.get(), nullptr) == 1;
        bool tableFactor = false;
        for (const WORD p : CHugeDigit::kSmallPrimes) tableFactor |= BN_mod_word(bn.get(), p) == 0;
        EXPECT_EQ(n.HasSmallPrimesFactor(), tableFactor ? 1 : 0);
        if (prime && !tableFactor) {
            ++primes;
            EXPECT_EQ(n.IsProbablePrime(), 1);
        }
        BN two(BN_new()), r(BN_new());
        BN_set_word(two.get(), 2);
        BN_mod_exp(r.get(), two.get(), bn.get(), bn.get(), ctx.get());
        EXPECT_EQ(n.PassedFermatTest(), BN_is_word(r.get(), 2) ? 1 : 0);
    }
    // A known 512-bit prime, so that the prime path runs whatever the random draws.
    BN p(BN_new());
    BN_generate_prime_ex(p.get(), 512, 0, nullptr, nullptr, nullptr);
    EXPECT_EQ(FromBN(p.get()).IsProbablePrime(), 1);
}

}  // namespace
