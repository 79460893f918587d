// One key shared by threads that verify at once, the first verifications of the process among
// them: G's table is made once however many ask for it. The thread-sanitized build runs the
// tests of files named *threads_test.cpp alone.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "peer.h"

namespace ectest {
namespace {

TEST(SharedKey, FourThreadsVerifyingFromTheStartAgree) {
    struct Signed {
        CECPublicKey key;
        Octets digest, signature;
    };
    std::vector<Signed> signatures;
    for (const Curve& curve : kCurves) {
        PKey peer = NewKey(curve);
        const Octets digest = Pattern(curve.octets, static_cast<unsigned>(curve.octets));
        signatures.push_back({CECPublicKey(curve.ours, PointOf(peer.get())), digest, PeerSign(peer.get(), digest)});
    }
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20; ++i)
                for (const Signed& s : signatures) {
                    Octets other = s.digest;
                    other[static_cast<std::size_t>(i) % other.size()] ^= 1;
                    if (!s.key.VerifyDer(s.digest, s.signature) || s.key.VerifyDer(other, s.signature)) ++wrong;
                }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace ectest
