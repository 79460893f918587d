// CRandomsGenerator: never a zero octet, no octet value favoured, exactly the octets
// asked for, and output that cannot be reproduced from the clock or the C runtime.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>

#include "tests/common/octets.h"
#include "vorlan/random/randomsgenerator.h"

namespace {

using testcommon::Octets;

Octets Draw(CRandomsGenerator& generator, unsigned long n, unsigned long guard = 0) {
    Octets out(n + guard, 0);
    generator.GetRandomBlock(out.data(), n);
    return out;
}

// Every value 1..255 equally likely: a chi-square over 255 cells (254 degrees of freedom,
// mean 254, deviation 22.5) far above 450 means a favoured value, such as a fixed
// replacement for zero octets.
TEST(RandomsGenerator, UniformOverOneTo255NothingPastTheRequestAndNeverReproducedFromSeedClockOrCopy) {
    CRandomsGenerator generator;
    for (unsigned long n : {0ul, 1ul, 15ul, 16ul, 17ul, 100ul}) {
        const Octets out = Draw(generator, n, 32);
        EXPECT_EQ(std::count(out.begin() + static_cast<long>(n), out.end(), 0), 32) << "written past " << n;
    }
    std::array<double, 256> counts{};
    for (int round = 0; round < 32; ++round)
        for (unsigned char octet : Draw(generator, 65535)) counts[octet] += 1;
    EXPECT_EQ(counts[0], 0);
    const double expected = 32.0 * 65535 / 255;
    double chiSquare = 0;
    for (int value = 1; value < 256; ++value)
        chiSquare += (counts[value] - expected) * (counts[value] - expected) / expected;
    EXPECT_LT(chiSquare, 450);
    // A clock-and-rand() source gives the same octets to generators made in the same
    // millisecond with the same seed and C runtime seed. A seed of length 0 is not read
    // (AddressSanitizer reports a read past the single allocated octet).
    const unsigned char seed[] = "the same seed";
    std::srand(1);
    CRandomsGenerator first(seed, sizeof seed);
    std::srand(1);
    CRandomsGenerator second(seed, sizeof seed);
    EXPECT_NE(Draw(first, 64), Draw(second, 64));
    CRandomsGenerator copy = first;
    EXPECT_NE(Draw(first, 64), Draw(copy, 64));
    auto single = std::make_unique<unsigned char[]>(1);
    CRandomsGenerator unseeded(single.get(), 0);
    unseeded.RegenerateRandoms(single.get(), 0);
    EXPECT_EQ(Draw(unseeded, 16).size(), 16u);
}

}  // namespace
