// Key-pair generation: the properties of generated keys checked with OpenSSL's
// arithmetic, progress messages, refused sizes, key tests and cancellation.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "peer.h"
#include "tests/common/progress_recorder.h"

namespace rsatest {
namespace {

// Generated keys of 512 to 4,096 bits with either exponent. OpenSSL's key check covers
// the primes, n = p q, d and the CRT values; d is also e's inverse modulo (p-1)(q-1), p > q,
// and each prime has its half of the bits, the top two set, and is spread over its range:
// a start drawn from too few random bits would leave it within 2^256 of the lower bound.
TEST(KeyPair, GeneratedKeysHaveEveryPropertyOfAnRsaKey) {
    std::unique_ptr<BN_CTX, Deleter<BN_CTX_free>> ctx(BN_CTX_new());
    for (const auto& [bits, useF4] : {std::pair{512, 1}, {513, 0}, {513, 1}, {1024, 0}, {2048, 1}, {3072, 1}, {4096, 0}}) {
        SCOPED_TRACE(testing::Message() << bits << " bits, F4 " << useF4);
        const CRSAKeyPair pair(static_cast<unsigned short>(bits), useF4, reinterpret_cast<const BYTE*>("seed"), 4,
                               nullptr);
        const Numbers k = NumbersOf(pair);
        EXPECT_TRUE(pair.bits == bits && BN_num_bits(k[N].get()) == bits && BN_cmp(k[P].get(), k[Q].get()) > 0);
        EXPECT_EQ(ToHex(pair.publicExponent, CRSAPublicKey::kFieldSize),
                  std::string(2 * CRSAPublicKey::kFieldSize - 6, '0') + (useF4 ? "010001" : "000003"));
        BN low(BN_new()), offset(BN_new()), pm1(BN_dup(k[P].get())), qm1(BN_dup(k[Q].get()));
        for (const auto& [prime, primeBits] : {std::pair{P, (bits + 1) / 2}, {Q, bits - (bits + 1) / 2}}) {
            BN_zero(low.get());
            BN_set_bit(low.get(), primeBits - 1);
            BN_set_bit(low.get(), primeBits - 2);
            BN_sub(offset.get(), k[prime].get(), low.get());
            EXPECT_TRUE(BN_num_bits(k[prime].get()) == primeBits && !BN_is_negative(offset.get()));
            EXPECT_TRUE(primeBits < 400 || BN_num_bits(offset.get()) > 300) << "prime start from a narrow range";
        }
        BN_sub_word(pm1.get(), 1);
        BN_sub_word(qm1.get(), 1);
        BN_mul(low.get(), pm1.get(), qm1.get(), ctx.get());
        BN_mod_mul(offset.get(), k[E].get(), k[D].get(), low.get(), ctx.get());
        EXPECT_TRUE(BN_is_one(offset.get())) << "e d = 1 mod (p-1)(q-1)";
        const PKey peer = PeerKey(k);
        EXPECT_EQ(EVP_PKEY_check(PKeyCtx(EVP_PKEY_CTX_new_from_pkey(nullptr, peer.get(), nullptr)).get()), 1);
        EXPECT_EQ(pair.TestKeys(10, nullptr, 0), 0);
    }
}

// SetUp(100, 0, 1, 0) first; the positions in between count up by one across both prime
// searches (a search that starts while the position is still 0 sets the range up again);
// SetUp(1, 0, 1, 1) and SetUp(0, 0, 1, 0) last.
TEST(KeyPair, ProgressStartsAtZeroStepsByOneAndEnds) {
    for (unsigned short bits : {768, 3072}) {
    CMessageRecorder bar;
    CProgress progress(&bar, 0);
    const CRSAKeyPair pair(bits, 1, nullptr, 0, &progress);
    const std::vector<Message>& m = bar.messages;
    ASSERT_GE(m.size(), 9u);
    auto expectedLast = SetUpMessages(1, 0, 1, 1), end = SetUpMessages(0, 0, 1, 0);
    expectedLast.insert(expectedLast.end(), end.begin(), end.end());
    EXPECT_EQ(std::vector<Message>(m.begin(), m.begin() + 3), SetUpMessages(100, 0, 1, 0));
    EXPECT_EQ(std::vector<Message>(m.end() - 6, m.end()), expectedLast);
    WPARAM position = 0;
    for (std::size_t i = 3; i + 6 < m.size(); i += 3) {
        EXPECT_EQ(m[i].lParam, static_cast<LPARAM>(100u << 16));
        EXPECT_TRUE((position == 0 && m[i + 2].wParam == 0) || m[i + 2].wParam == ++position) << i;
    }
    EXPECT_TRUE(position > 0 && position <= 100u) << position;
    }
}

// Sizes the fields cannot hold are refused. At ten bits the primes would lie in [24, 31],
// whose primes 29 and 31 are trial divisors: the search fails, with the reason for its
// progress object.
TEST(KeyPair, RefusesUnsupportedSizesAndReportsAnExhaustedSearch) {
    for (unsigned short bits : {0, 1, 3, 4097, 8192, 65535})
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

// SetUp(2 n, 1, 1, 1) and a hint per check; a damaged private exponent fails both checks
// of every round, or stops at the first failure when asked.
TEST(KeyPair, TestKeysCountsEveryFailedCheck) {
    CRSAKeyPair pair(512, 1, nullptr, 0, nullptr);
    CMessageRecorder bar;
    CProgress progress(&bar, 0);
    EXPECT_EQ(pair.TestKeys(3, &progress, 0), 0);
    auto expected = SetUpMessages(6, 1, 1, 1);
    expected.insert(expected.end(), 6, Message{PBM_DELTAPOS, 1, 0});
    EXPECT_EQ(bar.messages, expected);
    pair.privateExponent[CRSAPublicKey::kFieldSize - 1] ^= 0x02;
    EXPECT_TRUE(pair.TestKeys(4, nullptr, 0) == 8 && pair.TestKeys(4, nullptr, 1) == 1);
}

// Several generations, so the request cannot come after the last one.
TEST(KeyPair, GenerationIsCancelledFromAnotherThread) {
    CWinThread target;
    std::atomic<bool> started{false};
    std::string outcome = "finished";
    std::thread worker([&] {
        target.m_nThreadID = GetCurrentThreadId();
        started = true;
        outcome = Outcome([] {
            for (int i = 0; i < 50; ++i) CRSAKeyPair(4096, 1, nullptr, 0, nullptr);
        });
    });
    while (!started) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ThreadToKill = &target;
    ThreadKillFlag = 1;
    worker.join();
    ThreadKillFlag = 0;
    ThreadToKill = nullptr;
    EXPECT_EQ(outcome, "cancelled");
}

}  // namespace
}  // namespace rsatest
