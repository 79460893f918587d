// Keys, certificates and revocation lists of 2,048 bits archive and encode exactly as they did
// before the key fields grew to 4,096 bits: their octets are compared with ones stored by the
// library of the narrower fields (tests/data/stored2048_*). Longer ones archive whole fields.
#include "peer.h"
#include "vorlan/x509/subjectpublickeyinfo.h"

namespace x509test {
namespace {

const fs::path kData = VORLAN_TEST_DATA;

// The stored key of 2,048 bits, as its archive loads.
CRSAPrivateKey StoredKey() {
    Loader in(ReadFile(kData / "stored2048_key.arc"));
    CRSAPrivateKey key;
    key.Serialize(in.ar);
    return key;
}

// The stored certificate (its extensions left out: the forms are of one without) and list of
// `key`, signed with the given algorithms.
std::pair<CCertificate, CCertificateRevocationList> SignedBy(const CRSAPrivateKey& key, int certificateAlgorithm,
                                                             int listAlgorithm) {
    std::pair<CCertificate, CCertificateRevocationList> both{ReadCertificate(ReadFile(kData / "x509_sha1_2048.der")),
                                                                ReadList(ReadFile(kData / "crl_version2.der"))};
    both.first.GetDataFrom(key);
    both.first.m_extensions.RemoveAll();
    both.first.SignWith(key, certificateAlgorithm);
    both.second.SignWith(key, listAlgorithm);
    return both;
}

TEST(StoredForms, TwoThousandFortyEightBitFormsAreThoseOfTheNarrowFields) {
    const CRSAPrivateKey key = StoredKey();
    ASSERT_EQ(key.bits, 2048);
    const auto [certificate, crl] = SignedBy(key, 3, 2);
    const std::pair<const char*, Octets> forms[] = {
        {"key.arc", Stored(key)},
        {"publickey.arc", Stored(CRSAPublicKey(key))},
        {"privatekey.der", Encoded(CASN1_PrivateKey(key))},
        {"publickeyinfo.der", Encoded(CASN1_SubjectPublicKeyInfo(key))},
        {"certificate.arc", Stored(certificate)},
        {"certificate.der", EncodingOf(certificate)},
        {"crl.arc", Stored(crl)},
        {"crl.der", EncodingOf(crl)},
    };
    for (const auto& [name, octets] : forms) {
        EXPECT_EQ(ToHex(octets), ToHex(ReadFile(kData / (std::string("stored2048_") + name)))) << name;
    }
}

// A 4,096-bit key and SHA-512: the wide-fields bit and record format 3 (its digest), loaded back
// whole; a narrow record may not state more than 2,048 bits.
TEST(StoredForms, LongerKeysAndSignaturesArchiveWholeFields) {
    const CRSAPrivateKey key = PrivateKeyOf(KeyFile(4096));
    const auto [certificate, crl] = SignedBy(key, 5, 4);
    const Octets certificateForm = Stored(certificate), crlForm = Stored(crl);
    EXPECT_EQ(certificateForm[0], 0x23);
    EXPECT_EQ(crlForm[0] & 0x3F, 0x23);
    CCertificate certificateBack;
    CCertificateRevocationList crlBack;
    ASSERT_EQ(LoadInto(certificateBack, certificateForm), kNothingThrown);
    ASSERT_EQ(LoadInto(crlBack, crlForm), kNothingThrown);
    EXPECT_TRUE(certificateBack == certificate && SignedState(certificateBack) == SignedState(certificate) &&
                certificateBack.m_bHasDigestLong && certificateBack.IsSignatureOKFor(key) == 1);
    EXPECT_TRUE(SignedState(crlBack) == SignedState(crl) && crlBack.m_bHasDigestLong && crlBack.IsSignatureOKFor(key) == 1);
    EXPECT_EQ(Stored(certificateBack), certificateForm);
    EXPECT_EQ(Stored(crlBack), crlForm);
    Octets narrow = certificateForm;
    narrow[0] = 0x03;
    EXPECT_EQ(LoadInto(certificateBack, narrow), CArchiveException::generic);
}

}  // namespace
}  // namespace x509test
