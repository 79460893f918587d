// CRandomsGenerator: never a zero octet, no octet value favoured, exactly the octets
// asked for, and output that cannot be reproduced from the clock or the C runtime.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "vorlan/rsa/randomsgenerator.h"

namespace {

using Octets = std::vector<unsigned char>;

Octets Draw(CRandomsGenerator& generator, unsigned long n) {
    Octets out(n);
    generator.GetRandomBlock(out.data(), n);
    return out;
}

TEST(RandomsGenerator, NoZeroOctetAndNothingWrittenPastTheRequest) {
    CRandomsGenerator generator;
    for (unsigned long n : {0ul, 1ul, 15ul, 16ul, 17ul, 100ul, 4096ul, 65535ul}) {
        Octets out(n + 32, 0);
        generator.GetRandomBlock(out.data(), n);
        for (unsigned long i = 0; i < n; ++i) ASSERT_NE(out[i], 0) << "octet " << i << " of " << n;
        for (unsigned long i = n; i < n + 32; ++i) ASSERT_EQ(out[i], 0) << "written past " << n;
    }
}

// Every value 1..255 equally likely: a chi-square over 255 cells (254 degrees of freedom,
// mean 254, deviation 22.5) far above 450 means a favoured value, such as a fixed
// replacement for zero octets.
TEST(RandomsGenerator, OctetValuesAreUniformOverOneTo255) {
    CRandomsGenerator generator;
    std::array<double, 256> counts{};
    const int rounds = 32;
    const unsigned long n = 65535;
    for (int round = 0; round < rounds; ++round)
        for (unsigned char octet : Draw(generator, n)) counts[octet] += 1;
    EXPECT_EQ(counts[0], 0);
    const double expected = static_cast<double>(rounds) * n / 255;
    double chiSquare = 0;
    for (int value = 1; value < 256; ++value)
        chiSquare += (counts[value] - expected) * (counts[value] - expected) / expected;
    EXPECT_LT(chiSquare, 450) << "value 253 seen " << counts[253] << " times, expected " << expected;
}

// A clock-and-rand() source gives the same octets to generators made in the same
// millisecond with the same seed and the same C runtime seed.
TEST(RandomsGenerator, SameSeedSameMillisecondOrCopiedStateStillDiffers) {
    const unsigned char seed[] = "the same seed";
    std::srand(1);
    CRandomsGenerator first(seed, sizeof seed);
    std::srand(1);
    CRandomsGenerator second(seed, sizeof seed);
    EXPECT_NE(Draw(first, 64), Draw(second, 64));
    CRandomsGenerator third, copy = third;
    EXPECT_NE(Draw(third, 64), Draw(copy, 64));
    EXPECT_NE(Draw(third, 64), Draw(third, 64));
}

// A seed pointer with length 0 is no seed: nothing is read through it (AddressSanitizer
// reports a read past the single allocated octet). Seeds of zeros mix to non-zero output.
TEST(RandomsGenerator, ZeroLengthSeedIsNotReadAndZeroSeedsGiveNonZeroOutput) {
    auto single = std::make_unique<unsigned char[]>(1);
    const Octets zeros(50, 0), longSeed(100000, 0xAB);
    const std::vector<std::pair<const unsigned char*, unsigned long>> seeds = {
        {single.get(), 0}, {zeros.data(), 1}, {zeros.data(), zeros.size()}, {longSeed.data(), longSeed.size()}};
    for (const auto& [seed, len] : seeds) {
        CRandomsGenerator generator(seed, len);
        generator.RegenerateRandoms(seed, len);
        for (unsigned char octet : Draw(generator, 1000)) ASSERT_NE(octet, 0) << len;
    }
}

}  // namespace
