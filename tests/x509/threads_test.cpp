// A decoded certificate shared by threads, as a client's certificate store is. The
// thread-sanitized build runs the tests of files named *threads_test.cpp alone.
#include <atomic>
#include <thread>
#include <vector>

#include "tests/x509/peer.h"

using namespace x509test;

namespace {

// How many of `reads` by each of four threads at once came out wrong.
template <class Read>
int WrongReadsOfFourThreads(Read&& read) {
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i)
                if (!read()) ++wrong;
        });
    for (std::thread& thread : threads) thread.join();
    return wrong;
}

}  // namespace

TEST(SharedValues, FourThreadsReadOneDecodedCertificateAndList) {
    const Octets der = ReadFile(VORLAN_TEST_DATA "/x509_sha1_2048.der");
    const CASN1_Certificate certificate = DecodeCertificate(der);
    const Octets name = Encoded(certificate.GetSubject());  // self-signed: the issuer's name too
    EXPECT_EQ(WrongReadsOfFourThreads([&] {
                  CCertificate read;
                  certificate.SetDataTo(read);
                  return Encoded(certificate) == der && Encoded(certificate.GetIssuer()) == name &&
                         Encoded(certificate.GetSubject()) == name && EncodingOf(read) == der;
              }),
              0);
    // A list's value tree is built on first use, by whichever thread comes first.
    const Octets listDer = ReadFile(VORLAN_TEST_DATA "/crl_version2.der");
    CDEREncoding encoding(0, const_cast<unsigned char*>(listDer.data()), listDer.size(), 0, 1);
    const CASN1_CertificateRevocationList list(encoding);
    EXPECT_EQ(WrongReadsOfFourThreads([&] {
                  CCertificateRevocationList read;
                  list.SetDataTo(read);
                  return Encoded(list) == listDer && read.m_entries.GetSize() > 0;
              }),
              0);
}
