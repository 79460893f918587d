// A decoded certificate shared by threads, as a client's certificate store is. The
// thread-sanitized build runs the tests of files named *threads_test.cpp alone.
#include <atomic>
#include <thread>
#include <vector>

#include "tests/x509/peer.h"

using namespace x509test;

TEST(SharedCertificate, FourThreadsReadOneDecodedCertificate) {
    const Octets der = ReadFile(VORLAN_TEST_DATA "/x509_sha1_2048.der");
    const CASN1_Certificate shared = DecodeCertificate(der);
    const Octets name = Encoded(shared.GetSubject());  // self-signed: the issuer's name too
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                CCertificate read;
                shared.SetDataTo(read);
                if (Encoded(shared) != der || Encoded(shared.GetIssuer()) != name ||
                    Encoded(shared.GetSubject()) != name || EncodingOf(read) != der)
                    ++wrong;
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong, 0);
}
