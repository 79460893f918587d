// Values shared by threads. The thread-sanitized build runs the tests of files named
// *threads_test.cpp alone.
#include <atomic>
#include <thread>
#include <vector>

#include "tests/asn1/asn1_test_util.h"

using namespace asn1test;

TEST(SharedTree, FourThreadsEncodingOneCertificateTreeWriteItsOctets) {
    const Octets octets = certificate();
    const std::string hex = toHex(octets);
    CDEREncoding der(0, const_cast<unsigned char*>(octets.data()), octets.size(), 0, 1);
    const std::unique_ptr<CASN1Type> tree(___buildFromEncoding(der));
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                // Lengths summed before writing, and summed on the way by the writers.
                CDEREncoding streamed(0);
                tree->encodeTo(streamed);
                CByteArray again;
                streamed.SeekToBegin();
                streamed.Read(again, static_cast<unsigned long>(octets.size()));
                if (encodedHex(*tree) != hex || toHex(again) != hex || ___cmp(*tree, *tree) != 0) ++wrong;
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong, 0);
}
