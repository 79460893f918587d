// Both SHA-1 compression functions, the portable one and the one using the processor's
// SHA instructions, against OpenSSL's SHA1_Transform from random chaining states.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include "algorithms.h"
#include "vorlan/digest/sha1compress.h"

namespace digesttest {
namespace {

struct Path {
    const char* name;
    detail::Sha1CompressFunction compress;
    bool available;
};

class Sha1Path : public testing::TestWithParam<Path> {};

TEST_P(Sha1Path, CompressionFromRandomStatesMatchesOpenSsl) {
    if (!GetParam().available) GTEST_SKIP() << "this processor has no SHA instructions";
    for (int blocks = 1; blocks <= 9; ++blocks) {
        const Octets data = RandomOctets(64u * static_cast<unsigned>(blocks), static_cast<unsigned>(blocks));
        const Octets start = RandomOctets(20, 100u + static_cast<unsigned>(blocks));
        std::uint32_t state[5];
        SHA_CTX ctx;
        SHA1_Init(&ctx);
        SHA_LONG* words[5] = {&ctx.h0, &ctx.h1, &ctx.h2, &ctx.h3, &ctx.h4};
        for (int i = 0; i < 5; ++i) {
            state[i] = static_cast<std::uint32_t>(start[4 * i]) << 24 | start[4 * i + 1] << 16 | start[4 * i + 2] << 8 |
                       start[4 * i + 3];
            *words[i] = state[i];
        }
        GetParam().compress(state, data.data(), blocks);
        for (int b = 0; b < blocks; ++b) SHA1_Transform(&ctx, data.data() + 64 * b);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(state[i], *words[i]) << blocks << " blocks, word " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Sha1, Sha1Path,
                         testing::Values(Path{"Portable", detail::Sha1CompressPortable, true},
                                         Path{"ShaInstructions", detail::Sha1CompressShaNi,
                                              detail::Sha1HasShaInstructions()}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace digesttest
