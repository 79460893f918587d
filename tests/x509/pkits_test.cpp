// Every certificate and revocation list of NIST PKITS (Debian's python3-cryptography-vectors):
// data nobody here wrote, with its odd cases (UTCTime years of 1950, GeneralizedTime of 2050,
// names of many attribute types, a signature field with an unused bit, DSA keys and signatures).
// Each reads and writes back byte-exact, and where it converts, its fields and every signature
// verdict over it are those libcrypto gives for the same file.

#include <openssl/x509.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <vector>

#include "tests/x509/peer.h"
#include "vorlan/x509/crlentry.h"

namespace {

using namespace x509test;

const fs::path kPkits = "/usr/lib/python3/dist-packages/cryptography_vectors/x509/PKITS_data";
const char* const kDsaKey = "SubjectPublicKeyInfo contents is not valid (key algorithm 1.2.840.10040.4.1 is not RSA)";
const char* const kDsaSignedCertificate = "CASN1_CertificateData::SetDataTo - unknown signature algorithm";
const char* const kDsaSignedList = "CASN1_CertificateRevocationListData::SetDataTo - unknown signature algorithm";

template <class T, void (*Free)(T*)>
struct Freeing {
    void operator()(T* p) const { Free(p); }
};
using PeerCertificate = std::unique_ptr<X509, Freeing<X509, X509_free>>;
using PeerList = std::unique_ptr<X509_CRL, Freeing<X509_CRL, X509_CRL_free>>;

std::vector<fs::path> FilesOf(const char* folder) {
    std::vector<fs::path> files(fs::directory_iterator(kPkits / folder), fs::directory_iterator());
    std::sort(files.begin(), files.end());
    return files;
}

std::time_t PeerTime(const ASN1_TIME* time) {
    std::tm fields{};
    EXPECT_EQ(ASN1_TIME_to_tm(time, &fields), 1);
    return timegm(&fields);
}

Octets PeerSerial(const ASN1_INTEGER* serial) { return Der(serial, i2d_ASN1_INTEGER); }
Octets SerialOf(const CSerialNumber& serial) { return Encoded(CASN1_INTEGER(serial)); }

struct ReadCertificate {
    std::string name;
    CCertificate certificate;
    PeerCertificate peer;
};

// The certificates that convert (all but the DSA ones, which are refused with their reason),
// each checked against libcrypto's reading.
std::vector<ReadCertificate> ReadAllCertificates() {
    const std::map<std::string, std::string> unsupported = {
        {"DSACACert.crt", kDsaKey},
        {"DSAParametersInheritedCACert.crt", kDsaSignedCertificate},
        {"InvalidDSASignatureTest6EE.crt", kDsaSignedCertificate},
        {"ValidDSAParameterInheritanceTest5EE.crt", kDsaSignedCertificate},
        {"ValidDSASignaturesTest4EE.crt", kDsaSignedCertificate},
    };
    std::vector<ReadCertificate> read;
    for (const fs::path& file : FilesOf("certs")) {
        const std::string name = file.filename();
        const Octets der = ReadFile(file);
        const unsigned char* in = der.data();
        PeerCertificate peer(d2i_X509(nullptr, &in, static_cast<long>(der.size())));
        EXPECT_TRUE(peer) << name;
        const CASN1_Certificate value = DecodeCertificate(der);
        EXPECT_EQ(Encoded(value), der) << name;
        CCertificate certificate;
        const std::string reason = DecodingReason([&] { value.SetDataTo(certificate); });
        const auto refusal = unsupported.find(name);
        EXPECT_EQ(reason, refusal == unsupported.end() ? "" : refusal->second) << name;
        if (!reason.empty() || !peer) continue;
        EXPECT_EQ(EncodingOf(certificate), der) << name;
        EXPECT_EQ(SerialOf(certificate.m_serialNumber), PeerSerial(X509_get0_serialNumber(peer.get()))) << name;
        EXPECT_EQ(certificate.m_notBefore.GetTime(), PeerTime(X509_get0_notBefore(peer.get()))) << name;
        EXPECT_EQ(certificate.m_notAfter.GetTime(), PeerTime(X509_get0_notAfter(peer.get()))) << name;
        read.push_back({name, std::move(certificate), std::move(peer)});
    }
    return read;
}

TEST(Pkits, EveryCertificateAndListReadsAndAgreesWithLibcrypto) {
    if (!fs::exists(kPkits)) GTEST_SKIP() << "no PKITS data (python3-cryptography-vectors)";
    const std::vector<ReadCertificate> certificates = ReadAllCertificates();
    EXPECT_EQ(certificates.size(), FilesOf("certs").size() - 5);

    // Every signature of a certificate by a CA of the issuer's name, both ways of judging.
    int pairs = 0;
    for (const ReadCertificate& subject : certificates) {
        for (const ReadCertificate& issuer : certificates) {
            if (X509_NAME_cmp(X509_get_issuer_name(subject.peer.get()), X509_get_subject_name(issuer.peer.get())))
                continue;
            ++pairs;
            EXPECT_EQ(subject.certificate.IsSignatureOKFor(issuer.certificate),
                      X509_verify(subject.peer.get(), X509_get0_pubkey(issuer.peer.get())) == 1)
                << subject.name << " by " << issuer.name;
        }
    }
    EXPECT_GT(pairs, 400);

    const std::map<std::string, std::string> unsupported = {
        {"DSACACRL.crl", kDsaSignedList},
        {"DSAParametersInheritedCACRL.crl", kDsaSignedList},
    };
    for (const fs::path& file : FilesOf("crls")) {
        const std::string name = file.filename();
        const Octets der = ReadFile(file);
        const unsigned char* in = der.data();
        const PeerList peer(d2i_X509_CRL(nullptr, &in, static_cast<long>(der.size())));
        ASSERT_TRUE(peer) << name;
        CCertificateRevocationList crl;
        const std::string reason = ReadInto(crl, der);
        const auto refusal = unsupported.find(name);
        EXPECT_EQ(reason, refusal == unsupported.end() ? "" : refusal->second) << name;
        if (!reason.empty()) {
            EXPECT_EQ(Encoded(*OnEncoding(der, [](CDEREncoding& e) {
                          return std::make_unique<CASN1_CertificateRevocationList>(e);
                      })),
                      der)
                << name;
            continue;
        }
        EXPECT_EQ(EncodingOf(crl), der) << name;
        EXPECT_EQ(crl.m_lastUpdate.GetTime(), PeerTime(X509_CRL_get0_lastUpdate(peer.get()))) << name;
        const ASN1_TIME* next = X509_CRL_get0_nextUpdate(peer.get());
        EXPECT_EQ(crl.m_bHasNextUpdate != 0, next != nullptr) << name;
        if (next) {
            EXPECT_EQ(crl.m_nextUpdate.GetTime(), PeerTime(next)) << name;
        }
        const STACK_OF(X509_REVOKED)* revoked = X509_CRL_get_REVOKED(peer.get());
        ASSERT_EQ(crl.m_entries.GetSize(), revoked ? sk_X509_REVOKED_num(revoked) : 0) << name;
        for (int i = 0; i < crl.m_entries.GetSize(); ++i) {
            const X509_REVOKED* entry = sk_X509_REVOKED_value(revoked, i);
            EXPECT_EQ(SerialOf(crl.m_entries[i]->m_serialNumber), PeerSerial(X509_REVOKED_get0_serialNumber(entry)));
            EXPECT_EQ(crl.m_entries[i]->m_revocationDate.GetTime(), PeerTime(X509_REVOKED_get0_revocationDate(entry)));
        }
        for (const ReadCertificate& issuer : certificates) {
            if (X509_NAME_cmp(X509_CRL_get_issuer(peer.get()), X509_get_subject_name(issuer.peer.get()))) continue;
            EXPECT_EQ(crl.IsSignatureOKFor(issuer.certificate),
                      X509_CRL_verify(peer.get(), X509_get0_pubkey(issuer.peer.get())) == 1)
                << name << " by " << issuer.name;
        }
    }
}

}  // namespace
