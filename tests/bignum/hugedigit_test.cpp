// CHugeDigit's representation (lengths, compaction, octet strings) and the primality
// edge cases of its trial divisors and Fermat test.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "bn_oracle.h"

namespace {

// The length side effects callers see: constructors, compaction, SetLength.
TEST(HugeDigitLayout, LengthsOfConstructorsCompactionAndSetLength) {
    const CHugeDigit byDefault, seven(7), wide(5, 9);
    EXPECT_TRUE(byDefault.GetLength() == 64 && byDefault.Zero());
    EXPECT_TRUE(seven.GetLength() == 1 && seven[0] == 7u);
    EXPECT_TRUE(wide.GetLength() == 5 && wide.Digits() == 1 && wide.Bits() == 4);
    CHugeDigit zero(5, 0);
    EXPECT_TRUE(zero.Digits() == 0 && zero.Bits() == 0);
    zero.SetLength(0);
    zero.DoCompact();
    EXPECT_TRUE(zero.GetLength() == 1 && zero[0] == 0u) << "compaction keeps one digit";
    CHugeDigit power(3, 0);
    power.Assign2Exp(32);
    EXPECT_TRUE(power.Bits() == 33 && power.Digits() == 2 && power.GetLength() == 3);
    // Growing zero-extends; shrinking leaves the digits above in place.
    power[2] = 0xBBBB;
    power.SetLength(1);
    EXPECT_EQ(power[2], 0xBBBBu);
    power.SetLength(3);
    EXPECT_TRUE(power[1] == 0 && power[2] == 0);
}

TEST(HugeDigitLayout, OctetStringsKeepTheirLastOctets) {
    const unsigned char oneBit[] = {0, 0, 1}, zeros[] = {0, 0};
    EXPECT_EQ(___countBits(oneBit, 3), 1);
    EXPECT_EQ(___countBits(zeros, 2), 0);
    EXPECT_EQ(___countBits(oneBit, -5), 0);
    // Only the last 256 octets count, however long the string.
    std::vector<unsigned char> octets(70000, 0xFF);
    octets[70000 - 256] = 0x01;
    EXPECT_EQ(___countBits(octets.data(), static_cast<int>(octets.size())), 2041);

    // Decode fills the current length (64 digits) from the end of the string.
    for (size_t i = 0; i < 300; ++i) octets[i] = static_cast<unsigned char>(i * 7 + 1);
    CHugeDigit x;
    x.Decode(octets.data(), 300);
    const BN expected(BN_bin2bn(octets.data() + 44, 256, nullptr));
    EXPECT_TRUE(SameValue(x, expected.get()) && x.GetLength() == 64);
    const unsigned char five[] = {0x01, 0x02, 0x03, 0x04, 0x05};
    x.Decode(five, sizeof five);
    EXPECT_TRUE(x.GetLength() == 2 && x[0] == 0x02030405u && x[1] == 0x01u);

    // Encode pads with zeros in front or drops the high octets.
    unsigned char out[9];
    x.Encode(out, 9);
    EXPECT_EQ(0, std::memcmp(out, "\0\0\0\0\x01\x02\x03\x04\x05", 9));
    x.Encode(out, 3);
    EXPECT_EQ(0, std::memcmp(out, "\x03\x04\x05", 3));
}

// 33 and 39 are trial divisors and 2 is not; the Fermat test is 2^n mod n == 2.
TEST(HugeDigitPrimality, EdgeCasesOfTheTableAndTheFermatTest) {
    const struct {
        DWORD n;
        int smallFactor, fermat, probablePrime;
    } rows
        [] =
            {
                {3, 1, 1, 0},           {5, 1, 1, 0},    {33, 1, 0, 0},   {39, 1, 0, 0},   {47, 1, 1, 0},
                {53, 0, 1, 1},          {341, 1, 1, 0},  {561, 1, 1, 0},  {15, 1, 0, 0},   {2, 0, 0, 0},
                {1, 0, 0, 0},           {0, 1, 0, 0},    {2209, 1, 0, 0}, {3127, 0, 0, 0}, {2047, 1, 1, 0},
                {4294967291u, 0, 1, 1}, {7957, 0, 1, 1},  // 73 * 109: a base-2 pseudoprime with no factor in the table
                                                          // passes
            };
    for (const auto& row : rows) {
        const CHugeDigit n(row.n);
        EXPECT_EQ(n.HasSmallPrimesFactor(), row.smallFactor) << row.n;
        EXPECT_EQ(n.PassedFermatTest(), row.fermat) << row.n;
        EXPECT_EQ(n.IsProbablePrime(), row.probablePrime) << row.n;
    }
    // A 512-bit prime from OpenSSL, so that the prime path runs at size.
    BN p(BN_new());
    BN_generate_prime_ex(p.get(), 512, 0, nullptr, nullptr, nullptr);
    EXPECT_EQ(FromBN(p.get()).IsProbablePrime(), 1);
}

}  // namespace
