// Key-pair generation: the properties of generated keys checked with OpenSSL's
// arithmetic, progress messages, refused sizes, key tests and cancellation.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "peer.h"
#include "tests/common/progress_recorder.h"
#include "tests/common/unlock_reason.h"
#include "vorlan/rsa/rsakeypair.h"

namespace rsatest {
namespace {

using namespace testcommon;

struct BNCtxFree {
    void operator()(BN_CTX* ctx) const { BN_CTX_free(ctx); }
};

// p of k bits, at least 3 * 2^(k-2), and spread over its range: a start drawn from too
// few random bits would leave p within 2^256 of the lower bound.
void ExpectPrimeInRange(const BIGNUM* p, int k) {
    BN low(BN_new()), offset(BN_new());
    BN_set_bit(low.get(), k - 1);
    BN_set_bit(low.get(), k - 2);
    BN_sub(offset.get(), p, low.get());
    EXPECT_EQ(BN_num_bits(p), k);
    EXPECT_FALSE(BN_is_negative(offset.get()));
    if (k >= 400) {
        EXPECT_GT(BN_num_bits(offset.get()), 300) << "prime start drawn from a narrow range";
    }
}

struct Generation {
    unsigned short bits;
    int useF4;
};

class GeneratedKey : public ::testing::TestWithParam<Generation> {};

// OpenSSL's key check covers the primes, n = p q, d and the CRT values; d is also the
// inverse of e modulo (p-1)(q-1).
TEST_P(GeneratedKey, HasEveryPropertyOfAnRsaKey) {
    const auto [bits, useF4] = GetParam();
    const CRSAKeyPair pair(bits, useF4, reinterpret_cast<const unsigned char*>("seed"), 4, nullptr);
    const Numbers k = NumbersOf(pair);
    EXPECT_EQ(pair.bits, bits);
    EXPECT_EQ(BN_num_bits(k.n.get()), bits);
    EXPECT_GT(BN_cmp(k.p.get(), k.q.get()), 0) << "p > q";
    ExpectPrimeInRange(k.p.get(), (bits + 1) / 2);
    ExpectPrimeInRange(k.q.get(), bits - (bits + 1) / 2);
    EXPECT_EQ(ToHex(pair.publicExponent, 256), std::string(506, '0') + (useF4 ? "010001" : "000003"));

    std::unique_ptr<BN_CTX, BNCtxFree> ctx(BN_CTX_new());
    BN pm1(BN_dup(k.p.get())), qm1(BN_dup(k.q.get())), phi(BN_new()), check(BN_new());
    BN_sub_word(pm1.get(), 1);
    BN_sub_word(qm1.get(), 1);
    BN_mul(phi.get(), pm1.get(), qm1.get(), ctx.get());
    BN_mod_mul(check.get(), k.e.get(), k.d.get(), phi.get(), ctx.get());
    EXPECT_TRUE(BN_is_one(check.get())) << "e d = 1 mod (p-1)(q-1)";

    const PKey peer = PeerKey(k, true);
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> checkCtx(
        EVP_PKEY_CTX_new_from_pkey(nullptr, peer.get(), nullptr), EVP_PKEY_CTX_free);
    EXPECT_EQ(EVP_PKEY_check(checkCtx.get()), 1) << "OpenSSL's key check";
    EXPECT_EQ(pair.TestKeys(10, nullptr, 0), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, GeneratedKey,
                         ::testing::Values(Generation{512, 1}, Generation{513, 0}, Generation{513, 1},
                                           Generation{1024, 0}, Generation{2048, 1}),
                         [](const auto& info) {
                             return std::to_string(info.param.bits) + (info.param.useF4 ? "F4" : "E3");
                         });

TEST(KeyPair, ProgressStartsAtZeroStepsByOneAndEnds) {
    CMessageRecorder bar;
    CProgress progress(&bar, 0);
    const CRSAKeyPair pair(768, 1, nullptr, 0, &progress);
    ASSERT_GE(bar.messages.size(), 9u);
    const std::vector<Message> first(bar.messages.begin(), bar.messages.begin() + 3);
    EXPECT_EQ(first, SetUpMessages(100, 0, 1, 0));
    const std::vector<Message> last(bar.messages.end() - 6, bar.messages.end());
    std::vector<Message> expectedLast = SetUpMessages(1, 0, 1, 1);
    for (const Message& m : SetUpMessages(0, 0, 1, 0)) expectedLast.push_back(m);
    EXPECT_EQ(last, expectedLast);
    // The positions in between count up by one across both prime searches (a search
    // that starts while the position is still 0 sets the range up again).
    WPARAM position = 0;
    for (std::size_t i = 3; i + 6 < bar.messages.size(); i += 3) {
        EXPECT_EQ(bar.messages[i].lParam, static_cast<LPARAM>(100u << 16));
        if (position == 0 && bar.messages[i + 2].wParam == 0) continue;
        EXPECT_EQ(bar.messages[i + 2].wParam, ++position);
    }
    EXPECT_GT(position, 0u);
    EXPECT_LE(position, 100u);
}

// Sizes the fields cannot hold are refused. At ten bits the primes would lie in [24, 31],
// whose primes 29 and 31 are trial divisors: the search fails, with the reason for its
// progress object.
TEST(KeyPair, RefusesUnsupportedSizesAndReportsAnExhaustedSearch) {
    for (unsigned short bits : {0, 1, 3, 2049, 4096, 65535})
        EXPECT_EQ(UnlockReason([&] { CRSAKeyPair(bits, 1, nullptr, 0, nullptr); }),
                  "CRSAKeyPair::CRSAKeyPair - key size is not supported")
            << bits;
    CMessageRecorder bar;
    CProgress progress(&bar, 1);
    EXPECT_EQ(UnlockReason([] { CRSAKeyPair(10, 1, nullptr, 0, nullptr); }),
              "CRSAKeyPair::PrimeNumber - prime number search failed");
    EXPECT_EQ(UnlockReason([&] { CRSAKeyPair(10, 1, nullptr, 0, &progress); }),
              "Warning! CRSAKeyPair::PrimeNumber - prime number search failured");
}

TEST(KeyPair, TestKeysCountsEveryFailedCheck) {
    CRSAKeyPair pair(512, 1, nullptr, 0, nullptr);
    CMessageRecorder bar;
    CProgress progress(&bar, 0);
    EXPECT_EQ(pair.TestKeys(3, &progress, 0), 0);
    std::vector<Message> expected = SetUpMessages(6, 1, 1, 1);
    for (int i = 0; i < 6; ++i) expected.push_back({PBM_DELTAPOS, 1, 0});
    EXPECT_EQ(bar.messages, expected);

    pair.privateExponent[255] ^= 0x02;
    EXPECT_EQ(pair.TestKeys(4, nullptr, 0), 8);
    EXPECT_EQ(pair.TestKeys(4, nullptr, 1), 1);
}

TEST(KeyPair, GenerationIsCancelledFromAnotherThread) {
    struct Reset {
        ~Reset() {
            ThreadKillFlag = 0;
            ThreadToKill = nullptr;
        }
    } reset;
    CWinThread target;
    std::atomic<bool> started{false};
    std::atomic<int> outcome{0};  // 1 cancelled, 2 finished, 3 other failure
    std::thread worker([&] {
        target.m_nThreadID = GetCurrentThreadId();
        started = true;
        try {
            // Several generations, so the request cannot come after the last one.
            for (int i = 0; i < 50; ++i) CRSAKeyPair(2048, 1, nullptr, 0, nullptr);
            outcome = 2;
        } catch (CKillThreadException* e) {
            e->Delete();
            outcome = 1;
        } catch (...) {
            outcome = 3;
        }
    });
    while (!started) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ThreadToKill = &target;
    ThreadKillFlag = 1;
    worker.join();
    EXPECT_EQ(outcome, 1);
}

}  // namespace
}  // namespace rsatest
