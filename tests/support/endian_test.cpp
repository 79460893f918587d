#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "vorlan/support/endian.h"

namespace {

using namespace vorlan::detail;

constexpr std::array<unsigned char, 8> kOctets = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};

template <class Word>
void ExpectRoundTrip(Word big, Word little) {
    EXPECT_EQ(LoadBigEndian<Word>(kOctets.data()), big);
    EXPECT_EQ(LoadLittleEndian<Word>(kOctets.data()), little);
    std::array<unsigned char, 8> out{};
    StoreBigEndian(big, out.data());
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + sizeof(Word), kOctets.begin()));
    out = {};
    StoreLittleEndian(little, out.data());
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + sizeof(Word), kOctets.begin()));
}

TEST(Endian, WordsReadAndWriteInTheStatedOrderAtEveryWidth) {
    ExpectRoundTrip<std::uint8_t>(0x01, 0x01);
    ExpectRoundTrip<std::uint16_t>(0x0123, 0x2301);
    ExpectRoundTrip<std::uint32_t>(0x01234567, 0x67452301);
    ExpectRoundTrip<std::uint64_t>(0x0123456789ABCDEF, 0xEFCDAB8967452301);
    // Unaligned addresses are read as well.
    EXPECT_EQ(LoadBigEndian<std::uint32_t>(kOctets.data() + 1), 0x23456789u);
}

}  // namespace
