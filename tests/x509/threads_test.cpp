// A decoded certificate shared by threads, as a client's certificate store is. The
// thread-sanitized build runs the tests of files named *threads_test.cpp alone.
#include <atomic>
#include <thread>
#include <vector>

#include "tests/x509/peer.h"
#include "tests/x509/pkits_rows.h"

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

// One trust store, pool and set of lists shared by four threads validating at once, as a server
// validates its clients' certificates: each certificate's and list's signature verdicts are kept
// by whichever thread checks first.
TEST(SharedValues, FourThreadsValidatePathsOverOneStore) {
    if (!fs::exists(pkits::kPkits)) GTEST_SKIP() << "no PKITS data (python3-cryptography-vectors)";
    const auto add = [](CCertificateStore& store, const char* name) {
        const Octets der = ReadFile(pkits::kPkits / "certs" / (std::string(name) + ".crt"));
        store.AddDer(der.data(), static_cast<int>(der.size()));
    };
    CCertificateStore anchors, pool;
    CRevocationLists lists;
    add(anchors, "TrustAnchorRootCertificate");
    add(pool, "GoodCACert");
    for (const char* name : {"TrustAnchorRootCRL", "GoodCACRL"}) {
        const Octets der = ReadFile(pkits::kPkits / "crls" / (std::string(name) + ".crl"));
        lists.AddDer(der.data(), static_cast<int>(der.size()));
    }
    CPathValidator validator(anchors, &pool, &lists);
    validator.m_options.time = CUTCTime(pkits::kValidationTime);
    validator.m_options.requireRevocationLists = true;
    CCertificateStore ends;
    add(ends, "ValidCertificatePathTest1EE");
    add(ends, "InvalidRevokedEETest3EE");
    EXPECT_EQ(WrongReadsOfFourThreads([&] {
                  return validator.Validate(ends.GetAt(0)).IsValid() &&
                         validator.Validate(ends.GetAt(1)).m_status == kPathRevoked;
              }),
              0);
}
