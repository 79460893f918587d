// The PKCS #7 and #10 structures on their own: the shape checks row by row, the tagging
// the constructors write, typed access to decoded messages and the parameter accessors
// that stand between received parameters and the ciphers.
#include "pkcs_test_util.h"
#include "vorlan/asn1/wellknownoids.h"
#include "vorlan/pkcs/algorithmparameters.h"
#include "vorlan/pkcs/certificationrequest.h"
#include "vorlan/pkcs/digesteddata.h"
#include "vorlan/pkcs/signedandenvelopeddata.h"

namespace pkcstest {
namespace {

// Valid shapes that messages of the openssl command have (its signers with and without signed
// attributes, recipients, encrypted content) and the round-tripped types are read there.
TEST(PkcsShape, IsValidFollowsEachStructuresComponentRules) {
    const Octets signer = Seq({Int(1), kIssuerAndSerial, kSha1, kRsa, kOctets});
    const Octets signedAttrs = Ctx(0, {kAttribute}), unsignedAttrs = Ctx(1, {kAttribute});
    const Octets recipient = Seq({Int(0), kIssuerAndSerial, kRsa, kOctets});
    const Octets cri = Seq({Int(0), kName, kSpki, Ctx(0, {})});
    const auto ci = CASN1_ContentInfo::isValid, si = CASN1_SignerInfo::isValid, sd = CASN1_SignedData::isValid,
               eci = CASN1_EncryptedContentInfo::isValid, sed = CASN1_SignedAndEnvelopedData::isValid,
               rc5 = CASN1_RC5AlgorithmParameter::isValid, cr = CASN1_CertificationRequestInfo::isValid;
    const std::tuple<int (*)(const CASN1Type*, int), Octets, int> rows[] = {
        {ci, Seq({}), 0},
        {ci, Seq({kData}), 1},  // type only
        {ci, Seq({kData, Ctx(0, {})}), 0},
        {ci, Seq({kData, FromHex("8000")}), 0},  // primitive [0]
        {ci, Seq({kData, Ctx(0, {kOctets, kOctets})}), 0},
        {ci, Seq({kData, Ctx(1, {kOctets})}), 0},
        {ci, Seq({Int(1)}), 0},
        {ci, Seq({kData, Ctx(0, {kOctets}), kData}), 0},
        {CASN1_Attribute::isValid, kAttribute, 1},
        {CASN1_Attribute::isValid, Seq({kContentTypeAttr, Seq({kData})}), 0},  // values not a SET
        {CASN1_IssuerAndSerialNumber::isValid, Seq({Seq({kData}), Int(5)}), 0},
        {si, Seq({Int(2), kIssuerAndSerial, kSha1, kRsa, kOctets}), 0},
        {si, Seq({FromHex("0209010000000000000001"), kIssuerAndSerial, kSha1, kRsa, kOctets}), 0},
        {si, Seq({Int(1), kIssuerAndSerial, kSha1, kRsa, kOctets, unsignedAttrs}), 1},
        {si, Seq({Int(1), kIssuerAndSerial, kSha1, signedAttrs, kRsa, kOctets, unsignedAttrs}), 1},
        {si, Seq({Int(1), kIssuerAndSerial, kSha1, signedAttrs, kRsa, kOctets, Ctx(2, {kAttribute})}), 0},
        {si, Seq({Int(1), kIssuerAndSerial, kSha1, Ctx(0, {kData}), kRsa, kOctets}), 0},
        {sd, Seq({Int(1), Set({kSha1}), kContentInfo, Set({})}), 1},
        {sd, Seq({Int(2), Set({kSha1}), kContentInfo, Set({})}), 0},
        {sd, Seq({Int(1), Set({kSha1}), kContentInfo}), 0},
        {sd, Seq({Int(1), Set({}), kContentInfo, Ctx(0, {Certificate()}), Ctx(1, {kCrl}), Set({signer})}), 1},
        {sd, Seq({Int(1), Set({}), kContentInfo, Ctx(1, {kCrl}), Set({signer})}), 1},
        {sd, Seq({Int(1), Set({}), kContentInfo, Ctx(0, {kName}), Set({signer})}), 0},
        {sd, Seq({Int(1), Set({}), kContentInfo, Ctx(1, {kName}), Set({signer})}), 0},
        {sd, Seq({Int(1), Set({}), kContentInfo, FromHex("8000"), Set({})}), 0},
        {sd, Seq({Int(1), Set({}), kContentInfo, Set({Seq({Int(1)})})}), 0},
        {eci, Seq({kData, kSha1}), 1},
        {eci, Seq({kData, kSha1, FromHex("8100")}), 0},
        {CASN1_RecipientInfo::isValid, Seq({Int(2), kIssuerAndSerial, kRsa, kOctets}), 0},
        {CASN1_EnvelopedData::isValid, Seq({Int(1), Set({}), kEncryptedContentInfo}), 0},
        {sed, Seq({Int(1), Set({recipient}), Set({kSha1}), kEncryptedContentInfo, Ctx(1, {}), Set({signer})}), 1},
        {sed, Seq({Int(0), Set({}), Set({}), kEncryptedContentInfo, Set({})}), 0},
        {CASN1_DigestedData::isValid, Seq({Int(0), kSha1, Seq({}), kOctets}), 0},
        {CASN1_EncryptedData::isValid, Seq({Int(2), kEncryptedContentInfo}), 0},
        {CASN1_RC2AlgorithmParameter::isValid, Seq({Int(58), kOctets}), 1},
        {CASN1_RC2AlgorithmParameter::isValid, Seq({Int(58), kOctets, kOctets}), 0},
        {rc5, Seq({Int(15), Int(12), Int(64)}), 0},
        {rc5, Seq({Int(16), Int(12), Int(64)}), 1},
        {rc5, Seq({Int(16), Int(12), Int(64), Int(1)}), 0},
        {cr, cri, 1},
        {cr, Seq({Int(0), kName, kSpki, Ctx(0, {kAttribute})}), 1},
        {cr, Seq({Int(0), kName, kSpki}), 0},
        {cr, Seq({Int(1), kName, kSpki, Ctx(0, {})}), 0},
        {CASN1_CertificationRequest::isValid, Seq({cri, kSha1, FromHex("030204F0")}), 1},
        {CASN1_CertificationRequest::isValid, Seq({cri, kSha1, kOctets}), 0},
    };
    for (const auto& [isValid, der, valid] : rows) {
        const auto value = std::unique_ptr<CASN1Type>(Decoded<CASN1_SEQUENCE>(der).clone());
        EXPECT_EQ(isValid(value.get(), 0), valid) << ToHex(der);
        EXPECT_EQ(isValid(value.get(), 1), valid) << ToHex(der);
    }
}

TEST(PkcsShape, ConstructorsTagContentAsPeersExpect) {
    const Octets wrapped = FromHex("3080 06092A864886F70D010701 A004 0402ABCD 0000");
    const auto abcd = [] { return new CASN1_OCTET_STRING(kOctets.data() + 2, 2); };
    // An OCTET STRING is content like any other: wrapped in [0], never taken for the wrapper.
    EXPECT_EQ(Encoded(CASN1_ContentInfo(new CASN1_data, abcd())), wrapped);
    EXPECT_EQ(Encoded(CASN1_ContentInfo(new CASN1_data, static_cast<CASN1Type*>(abcd()))), wrapped);
    EXPECT_EQ(Encoded(CASN1_ContentInfo(new CASN1_data, nullptr)), Seq({kData}));
    auto ready = std::make_unique<CASN1_TAGGED>(0x80, 0);
    ready->AddObject(abcd());
    CASN1_ContentInfo withContent(new CASN1_data, ready.release());
    EXPECT_EQ(Encoded(withContent), kContentInfo);
    withContent.DeleteContent();
    EXPECT_EQ(Encoded(withContent), Seq({kData}));
    EXPECT_NE(DecodingReason([] { CASN1_ContentInfo(new CASN1_data, new CASN1_TAGGED(0x81, 0)); }), "");

    // Encrypted content is [0] IMPLICIT whether given as an OCTET STRING or as [0].
    auto sha1 = [] { return new CASN1_AlgorithmIdentifier(Decoded<CASN1_AlgorithmIdentifier>(kSha1)); };
    CASN1_EncryptedContentInfo retagged(new CASN1_data, sha1(), abcd());
    EXPECT_EQ(Encoded(retagged), kEncryptedContentInfo);
    EXPECT_EQ(
        Encoded(CASN1_EncryptedContentInfo(new CASN1_data, sha1(), new CASN1_TAGGED(retagged.GetEncryptedContent()))),
        kEncryptedContentInfo);
    EXPECT_FALSE(
        CASN1_EncryptedContentInfo(new CASN1_data, new CASN1_AlgorithmIdentifier(), nullptr).IsEncryptedContent());

    // A negative digest length is refused; a buffer of the wrong size is left alone (the
    // digest read back whole is in the round trip of the openssl test).
    const unsigned char digest[16] = {1, 2, 3};
    const CASN1_AlgorithmIdentifier md5(new CASN1_md5, nullptr);
    EXPECT_NE(DecodingReason([&] { CASN1_DigestedData(md5, new CASN1_ContentInfo(new CASN1_data), digest, -1); }), "");
    unsigned char out[20] = {9};
    EXPECT_EQ(CASN1_DigestedData(md5, new CASN1_ContentInfo(new CASN1_data), digest, 16).GetDigest(out, 20), 0);
    EXPECT_EQ(out[0], 9);
}

// Typed parts of a decoded message (every reference refers to an object of its class: UBSan's
// vptr check watches this), optional sets found by count and tag, messages of another type
// refused, certificates taken with the move flag come out with it off and leave an empty [0],
// and new certificates go in front of the lists.
TEST(PkcsShape, DecodedMessagesGiveTypedPartsAndMessagesOfTheirType) {
    const Octets signer = Seq({Int(1), kIssuerAndSerial, kSha1, Ctx(0, {kAttribute}), kRsa, kOctets});
    const Octets signedData = Seq({Int(1), Set({kSha1}), kContentInfo, Ctx(0, {Certificate()}), Set({signer})});
    const Octets message = Seq({FromHex("06092A864886F70D010702"), Ctx(0, {signedData})});
    CDEREncoding der(0, const_cast<unsigned char*>(message.data()), message.size(), 0, 1);
    const CASN1_ContentInfo info(der);
    const CASN1_SignedData read(info);
    const CASN1_SignerInfo& first = read.GetSignerInfo(0);
    EXPECT_EQ(&first, dynamic_cast<const CASN1_SignerInfo*>(&read.GetSignerInfos().GetComponent(0)));
    EXPECT_TRUE(first.IsAuthenticatedAttributes() && !first.IsUnauthenticatedAttributes());
    EXPECT_EQ(Encoded(read), signedData);
    EXPECT_NE(DecodingReason([&] { CASN1_EnvelopedData wrongType(info); }), "");
    EXPECT_EQ(DecodingReason([] { OnEncoding(Seq({Seq({})}), [](CDEREncoding& e) { CASN1_ContentInfo invalid(e); }); }),
              "ContentInfo contents is not valid");
    CASN1_SignedData mutableCopy(read);
    const std::unique_ptr<CASN1_SET> moved(mutableCopy.GetCertificates(1));
    ASSERT_EQ(moved->GetCount(), 1);
    EXPECT_TRUE(moved->GetComponent(0).m_bClearAfterGet == 0 && moved->m_bClearAfterGet == 0);
    EXPECT_EQ(Encoded(moved->GetComponent(0)), Certificate());
    EXPECT_EQ(Encoded(*std::unique_ptr<CASN1_SET>(CASN1_SignedData(read).GetCertificates(0))), Set({Certificate()}));

    const auto sae = Decoded<CASN1_SignedAndEnvelopedData>(
        Seq({Int(1), Set({}), Set({}), kEncryptedContentInfo, Ctx(1, {kCrl}), Set({})}));
    EXPECT_TRUE(!sae.IsCertificates() && sae.IsCRLs());
    auto bag = Decoded<CASN1_SignedData>(Seq({Int(1), Set({}), kContentInfo, Ctx(1, {kCrl}), Set({})}));
    CASN1_SET certificates;
    certificates.AddObject(Decoded<CASN1_SEQUENCE>(Certificate()).clone());
    bag.SetCertificates(certificates);
    EXPECT_EQ(Encoded(bag), Seq({Int(1), Set({}), kContentInfo, Ctx(0, {Certificate()}), Ctx(1, {kCrl}), Set({})}));
    EXPECT_TRUE(CASN1_SignedData::isValid(&bag, 0));
}

TEST(PkcsParameters, AccessorsRefuseWhatTheCiphersCannotTake) {
    const Octets iv8 = FromHex("04080102030405060708");
    struct Row {
        Octets der;           // two components: RC2, four: RC5
        unsigned long value;  // effective bits (RC2) or rounds (RC5); 0: refused
        bool ivOk;
    } rows[] = {
        {Seq({Int(58), iv8}), 128, true},
        {Seq({Int(160), iv8}), 40, true},
        {Seq({FromHex("02020400"), iv8}), 1024, true},
        {Seq({FromHex("02020401"), iv8}), 0, true},
        {Seq({Int(0), kOctets}), 0, false},
        {Seq({Int(7), iv8}), 0, true},
        {Seq({Int(16), Int(12), Int(64), iv8}), 12, true},
        {Seq({Int(16), FromHex("020500FFFFFFFF"), Int(64), iv8}), 0, true},
        {Seq({Int(16), Int(12), Int(64), kOctets}), 12, false},
    };
    for (const Row& row : rows) {
        const CASN1_SEQUENCE read = Decoded<CASN1_SEQUENCE>(row.der);
        const auto rc2 = [&] { return CASN1_RC2AlgorithmParameter(read); };
        const auto rc5 = [&] { return CASN1_RC5AlgorithmParameter(read); };
        const bool two = read.GetCount() == 2;
        unsigned long got = 0;
        CByteArray iv;
        const bool refused = DecodingReason([&] { got = two ? rc2().GetEffectiveBits() : rc5().GetRounds(); }) != "";
        EXPECT_EQ(std::pair(refused, got), std::pair(row.value == 0, row.value)) << ToHex(row.der);
        EXPECT_EQ(DecodingReason([&] { two ? rc2().GetIV(iv) : rc5().GetIV(iv); }).empty(), row.ivOk) << ToHex(row.der);
    }
    // Block sizes the cipher has no words for.
    const CASN1_RC5AlgorithmParameter block24(Decoded<CASN1_SEQUENCE>(Seq({Int(16), Int(12), Int(24)})));
    EXPECT_NE(DecodingReason([&] { block24.GetBlockSize(); }), "");
    EXPECT_FALSE(block24.IsIV());
    const unsigned char iv[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(Encoded(CASN1_RC2AlgorithmParameter(128, iv)), Seq({Int(58), iv8}));
    EXPECT_EQ(CASN1_RC5AlgorithmParameter(16, 64, iv).GetBlockSize(), 8u);
}

}  // namespace
}  // namespace pkcstest
