// PKCS #7 messages and PKCS #10 requests on their own, and against the openssl command both
// ways: what it signs, bags and encrypts is read, checked and opened here; what is built here
// passes its -verify and -decrypt.
#include <functional>

#include "tests/common/unlock_reason.h"
#include "tests/x509/peer.h"
#include "vorlan/asn1/null.h"
#include "vorlan/asn1/strings.h"
#include "vorlan/asn1/wellknownoids.h"
#include "vorlan/digest/sha1.h"
#include "vorlan/digest/sha256.h"
#include "vorlan/digest/sha512.h"
#include "vorlan/framework/memfile.h"
#include "vorlan/pkcs/algorithmparameters.h"
#include "vorlan/pkcs/certificationrequest.h"
#include "vorlan/pkcs/contentencryption.h"
#include "vorlan/pkcs/digesteddata.h"
#include "vorlan/pkcs/envelopeddata.h"
#include "vorlan/pkcs/signedandenvelopeddata.h"
#include "vorlan/pkcs/signeddata.h"

namespace {

using namespace x509test;

// DER building blocks: elements from their parts, a few fixed values (identifiers, a name, an
// algorithm, a small RSA key) and typed decoding.
Octets Ctx(unsigned n, const std::vector<Octets>& parts) { return Tlv(0xA0 | n, Concat(parts)); }
Octets Int(unsigned char n) { return {0x02, 0x01, n}; }

const Octets kData = FromHex("06092A864886F70D010701"), kContentTypeAttr = FromHex("06092A864886F70D010903");
const Octets kSha1 = Seq({FromHex("06052B0E03021A"), FromHex("0500")});
const Octets kRsa = Seq({FromHex("06092A864886F70D010101"), FromHex("0500")});
const Octets kName = Name("test"), kOctets = FromHex("0402ABCD"), kIssuerAndSerial = Seq({kName, Int(5)});
const Octets kAttribute = Seq({kContentTypeAttr, Set({kData})}), kContentInfo = Seq({kData, Ctx(0, {kOctets})});
const Octets kEncryptedContentInfo = Seq({kData, kSha1, FromHex("8002ABCD")});
// A version 1 revocation list without entries (its signature is not checked by the shape).
const Octets kCrl =
    Seq({Seq({kSha1, kName, Text(0x17, "980305140709Z"), Text(0x17, "980405140709Z")}), kSha1, FromHex("030100")});
const Octets kSpki = Seq({kRsa, Tlv(0x03, Concat({{0x00}, Seq({FromHex("02020101"), Int(3)})}))});

const Octets kCertificate = ReadFile(VORLAN_TEST_DATA "/pkcs_cert.der");  // version 3

// A value of class T decoded from `der` (the encoding lives as long as the program).
template <class T>
T Decoded(const Octets& der) {
    T value;
    Decode(value, der);
    return value;
}

// Valid shapes that messages of the openssl command have (its signers with and without signed
// attributes, recipients, encrypted content) and the round-tripped types are read there.
struct IsValidRow {
    const char* name;
    int (*isValid)(const CASN1Type*, int);
    Octets der;
    int valid;
    friend void PrintTo(const IsValidRow& row, std::ostream* out) { *out << row.name; }
};
std::vector<IsValidRow> IsValidRows() {
    // The components before the ones that differ (a SEQUENCE of a concatenation is the same SEQUENCE).
    const Octets signerHead = Concat({Int(1), kIssuerAndSerial, kSha1}), signer = Seq({signerHead, kRsa, kOctets});
    const Octets signedHead = Concat({Int(1), Set({kSha1}), kContentInfo}),
                 bagHead = Concat({Int(1), Set({}), kContentInfo});
    const Octets signedAttrs = Ctx(0, {kAttribute}), unsignedAttrs = Ctx(1, {kAttribute});
    const Octets recipient = Seq({Int(0), kIssuerAndSerial, kRsa, kOctets});
    const Octets cri = Seq({Int(0), kName, kSpki, Ctx(0, {})});
    const auto ci = CASN1_ContentInfo::isValid, si = CASN1_SignerInfo::isValid, sd = CASN1_SignedData::isValid,
               eci = CASN1_EncryptedContentInfo::isValid, sed = CASN1_SignedAndEnvelopedData::isValid,
               rc5 = CASN1_RC5AlgorithmParameter::isValid, cr = CASN1_CertificationRequestInfo::isValid,
               at = CASN1_Attribute::isValid, rc2 = CASN1_RC2AlgorithmParameter::isValid,
               req = CASN1_CertificationRequest::isValid;
    return {
        {"ContentInfo empty", ci, Seq({}), 0},
        {"ContentInfo type only", ci, Seq({kData}), 1},
        {"ContentInfo empty content", ci, Seq({kData, Ctx(0, {})}), 0},
        {"ContentInfo primitive content", ci, Seq({kData, FromHex("8000")}), 0},
        {"ContentInfo two contents", ci, Seq({kData, Ctx(0, {kOctets, kOctets})}), 0},
        {"ContentInfo content in 1", ci, Seq({kData, Ctx(1, {kOctets})}), 0},
        {"ContentInfo INTEGER type", ci, Seq({Int(1)}), 0},
        {"ContentInfo third component", ci, Seq({kData, Ctx(0, {kOctets}), kData}), 0},
        {"Attribute", at, kAttribute, 1},
        {"Attribute values not a SET", at, Seq({kContentTypeAttr, Seq({kData})}), 0},
        {"IssuerAndSerialNumber not a Name", CASN1_IssuerAndSerialNumber::isValid, Seq({Seq({kData}), Int(5)}), 0},
        {"SignerInfo version 2", si, Seq({Int(2), kIssuerAndSerial, kSha1, kRsa, kOctets}), 0},
        {"SignerInfo version of 9 octets", si,
         Seq({FromHex("0209010000000000000001"), kIssuerAndSerial, kSha1, kRsa, kOctets}), 0},
        {"SignerInfo unsigned attributes", si, Seq({signerHead, kRsa, kOctets, unsignedAttrs}), 1},
        {"SignerInfo both attributes", si, Seq({signerHead, signedAttrs, kRsa, kOctets, unsignedAttrs}), 1},
        {"SignerInfo attributes in 2", si, Seq({signerHead, signedAttrs, kRsa, kOctets, Ctx(2, {kAttribute})}), 0},
        {"SignerInfo attributes not attributes", si, Seq({signerHead, Ctx(0, {kData}), kRsa, kOctets}), 0},
        {"SignedData no signers", sd, Seq({signedHead, Set({})}), 1},
        {"SignedData version 2", sd, Seq({Int(2), Set({kSha1}), kContentInfo, Set({})}), 0},
        {"SignedData signerInfos missing", sd, Seq({signedHead}), 0},
        {"SignedData certificates CRLs signer", sd,
         Seq({signedHead, Ctx(0, {kCertificate}), Ctx(1, {kCrl}), Set({signer})}), 1},
        {"SignedData CRLs and a signer", sd, Seq({signedHead, Ctx(1, {kCrl}), Set({signer})}), 1},
        {"SignedData no digest algorithm", sd, Seq({bagHead, Set({signer})}), 0},
        {"SignedData certificate bag", sd, Seq({bagHead, Ctx(0, {kCertificate}), Set({})}), 1},
        // Bag elements of any inside are kept for the reader to judge; other elements are not.
        {"SignedData bags of any", sd,
         Seq({signedHead, Ctx(0, {kName, Ctx(2, {kName})}), Ctx(1, {kName}), Set({signer})}), 1},
        {"SignedData OCTET STRING bag", sd, Seq({signedHead, Ctx(0, {kOctets}), Set({signer})}), 0},
        {"SignedData primitive certificates", sd, Seq({bagHead, FromHex("8000"), Set({})}), 0},
        {"SignedData signer not a SignerInfo", sd, Seq({bagHead, Set({Seq({Int(1)})})}), 0},
        {"EncryptedContentInfo without content", eci, Seq({kData, kSha1}), 1},
        {"EncryptedContentInfo content in 1", eci, Seq({kData, kSha1, FromHex("8100")}), 0},
        {"RecipientInfo version 2", CASN1_RecipientInfo::isValid, Seq({Int(2), kIssuerAndSerial, kRsa, kOctets}), 0},
        {"EnvelopedData no recipients", CASN1_EnvelopedData::isValid, Seq({Int(1), Set({}), kEncryptedContentInfo}), 0},
        {"SignedAndEnvelopedData with CRLs", sed,
         Seq({Int(1), Set({recipient}), Set({kSha1}), kEncryptedContentInfo, Ctx(1, {}), Set({signer})}), 1},
        {"SignedAndEnvelopedData version 0", sed, Seq({Int(0), Set({}), Set({}), kEncryptedContentInfo, Set({})}), 0},
        {"SignedAndEnvelopedData no digest algorithm", sed,
         Seq({Int(1), Set({recipient}), Set({}), kEncryptedContentInfo, Set({signer})}), 0},
        {"DigestedData empty contentInfo", CASN1_DigestedData::isValid, Seq({Int(0), kSha1, Seq({}), kOctets}), 0},
        {"EncryptedData version 2", CASN1_EncryptedData::isValid, Seq({Int(2), kEncryptedContentInfo}), 0},
        {"RC2 parameters", rc2, Seq({Int(58), kOctets}), 1},
        {"RC2 parameters third component", rc2, Seq({Int(58), kOctets, kOctets}), 0},
        {"RC5 version 15", rc5, Seq({Int(15), Int(12), Int(64)}), 0},
        {"RC5 version 16", rc5, Seq({Int(16), Int(12), Int(64)}), 1},
        {"RC5 version minus 112", rc5, Seq({Int(0x90), Int(12), Int(64)}), 0},
        {"RC5 IV not an OCTET STRING", rc5, Seq({Int(16), Int(12), Int(64), Int(1)}), 0},
        {"CertificationRequestInfo", cr, cri, 1},
        {"CertificationRequestInfo with attribute", cr, Seq({Int(0), kName, kSpki, Ctx(0, {kAttribute})}), 1},
        {"CertificationRequestInfo attributes missing", cr, Seq({Int(0), kName, kSpki}), 0},
        {"CertificationRequestInfo version 1", cr, Seq({Int(1), kName, kSpki, Ctx(0, {})}), 0},
        {"CertificationRequest", req, Seq({cri, kSha1, FromHex("030204F0")}), 1},
        {"CertificationRequest OCTET STRING signature", req, Seq({cri, kSha1, kOctets}), 0},
    };
}

using PkcsShapes = testing::TestWithParam<IsValidRow>;
TEST_P(PkcsShapes, IsValidFollowsEachStructuresComponentRules) {
    const IsValidRow& row = GetParam();
    const auto value = std::unique_ptr<CASN1Type>(Decoded<CASN1_SEQUENCE>(row.der).clone());
    EXPECT_EQ(row.isValid(value.get(), 0), row.valid);
    EXPECT_EQ(row.isValid(value.get(), 1), row.valid);
}
INSTANTIATE_TEST_SUITE_P(Shapes, PkcsShapes, testing::ValuesIn(IsValidRows()), RowName());

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
    // Released content is the caller's, whole: it outlives the structure and is deleted once.
    const std::unique_ptr<CASN1_TAGGED> released(&retagged.GetEncryptedContent());
    retagged.ReleaseContent();
    EXPECT_EQ(Encoded(retagged), Seq({kData, kSha1}));
    EXPECT_EQ(Encoded(*released), FromHex("8002ABCD"));

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
    const Octets signedData = Seq({Int(1), Set({kSha1}), kContentInfo, Ctx(0, {kCertificate}), Set({signer})});
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
    EXPECT_EQ(Encoded(moved->GetComponent(0)), kCertificate);
    EXPECT_EQ(Encoded(*std::unique_ptr<CASN1_SET>(CASN1_SignedData(read).GetCertificates(0))), Set({kCertificate}));

    const auto sae = Decoded<CASN1_SignedAndEnvelopedData>(
        Seq({Int(1), Set({}), Set({}), kEncryptedContentInfo, Ctx(1, {kCrl}), Set({})}));
    EXPECT_TRUE(!sae.IsCertificates() && sae.IsCRLs());
    auto bag = Decoded<CASN1_SignedData>(Seq({Int(1), Set({}), kContentInfo, Ctx(1, {kCrl}), Set({})}));
    CASN1_SET certificates;
    certificates.AddObject(Decoded<CASN1_SEQUENCE>(kCertificate).clone());
    bag.SetCertificates(certificates);
    EXPECT_EQ(Encoded(bag), Seq({Int(1), Set({}), kContentInfo, Ctx(0, {kCertificate}), Ctx(1, {kCrl}), Set({})}));
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
        {Seq({FromHex("020200A0"), iv8}), 40, true},
        {Seq({Int(0xA0), iv8}), 0, true},  // -96, no version 160 (40 bits)
        {Seq({FromHex("02020400"), iv8}), 1024, true},
        {Seq({FromHex("02020401"), iv8}), 0, true},
        {Seq({Int(0), kOctets}), 0, false},
        {Seq({Int(7), iv8}), 0, true},
        {Seq({Int(16), Int(12), Int(64), iv8}), 12, true},
        {Seq({Int(16), Int(0xFF), Int(64), iv8}), 0, true},  // -1, no 255 rounds
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
    EXPECT_EQ(Encoded(CASN1_RC2AlgorithmParameter(128, iv8.data() + 2)), Seq({Int(58), iv8}));
    EXPECT_EQ(CASN1_RC5AlgorithmParameter(16, 64, iv8.data() + 2).GetBlockSize(), 8u);
}

// `openssl ARGS -in IN -out OUT LAST` on files of this process: IN holds `input`; gives OUT.
Octets Openssl(const std::string& args, const Octets& input = {}, const std::string& last = "") {
    WriteFile(InScratch("in"), input);
    x509test::Shell("openssl " + args + " -in " + InScratch("in").string() + " -out " + InScratch("out").string() +
                    " " + last);
    return ReadFile(InScratch("out"));
}

// The peer's key and a self-signed SHA-1 certificate of it, made once.
struct Peer {
    std::string key = KeyFile(2048), cert = InScratch("cert.pem").string();
    Octets certDer;
    CRSAPrivateKey privateKey;
    CCertificate certificate;
    Peer() {
        x509test::Shell("openssl req -x509 -new -sha1 -days 2 -subj '/CN=vorlan signer/O=vorlan' -key " + key +
                        " -out " + cert);
        certDer = Openssl("x509 -outform DER", ReadFile(cert));
        privateKey = PrivateKeyOf(key);
        Decoded<CASN1_Certificate>(certDer).SetDataTo(certificate);
    }
    const CRSAPublicKey& publicKey() const { return privateKey; }
    CASN1_IssuerAndSerialNumber* issuerAndSerial() const { return new CASN1_IssuerAndSerialNumber(certificate); }
    Octets named() const { return Encoded(*std::unique_ptr<CASN1Type>(issuerAndSerial())); }
};

const Peer& ThePeer() {
    static const Peer peer;
    return peer;
}

template <class Maker, std::size_t size>
Octets Digest(const CASN1Type& content) {
    Maker maker;
    content.digestClearContents(maker);
    Octets digest(size);
    maker.GetCurrentDigest(digest.data());
    return digest;
}

// The digests a signer may name: the digest of content and the RSA digest.
struct DigestRow {
    const char* md;
    Octets (*digest)(const CASN1Type&);
    EDigestAlgorithm algorithm;
};
const DigestRow kSha1Row{"sha1", Digest<CSHA1DigestMaker, 20>, sha1},
    kSha256Row{"sha256", Digest<CSHA256DigestMaker, 32>, sha256},
    kSha384Row{"sha384", Digest<CSHA384DigestMaker, 48>, sha384}, kSha512Row{"sha512", Digest<CSHA512DigestMaker, 64>, sha512};

Octets Clear(const CASN1Type& value) {
    CByteArray octets;
    const_cast<CASN1Type&>(value).GetClearData(octets, 1);
    return OctetsOf(octets);
}

CASN1_OCTET_STRING* NewOctets(const Octets& octets) { return new CASN1_OCTET_STRING(octets.data(), octets.size()); }

CASN1_AlgorithmIdentifier* Algorithm(CASN1_OBJECT_IDENTIFIER* identifier, CASN1Type* parameters = new CASN1_NULL) {
    return new CASN1_AlgorithmIdentifier(identifier, parameters);
}

// The plaintext of encrypted content, opened with the opener's key and IV.
Octets Opened(const CContentEncryption& opener, const CASN1_EncryptedContentInfo& info) {
    CMemFile out;
    opener.Open(info, out);
    return Octets(out.GetBuffer(), out.GetBuffer() + out.GetLength());
}

// The content of a message for the peer, its key unlocked from `recipient`.
Octets OpenedFor(const Peer& peer, const CASN1_RecipientInfo& recipient, const CASN1_EncryptedContentInfo& info) {
    CByteArray locked;
    recipient.GetEncryptedKey().GetClearData(locked, 1);
    CContentEncryption opener(info.GetContentEncryptionAlgorithm());
    peer.privateKey.UnlockKey(locked, opener.GetKey(), peer.privateKey.bits);
    return Opened(opener, info);
}

CASN1_EncryptedContentInfo* Sealed(const CContentEncryption& sealer, const Octets& content) {
    return sealer.Seal(new CASN1_data, content.data(), content.size());
}

// The content ciphers with their openssl option names.
const std::pair<EContentEncryption, std::string> kContentCiphers[] = {
    {des_ede3_cbc, "des3"}, {aes128_cbc, "aes128"}, {aes192_cbc, "aes192"}, {aes256_cbc, "aes256"}};

CASN1_Attribute* Attribute(CASN1_OBJECT_IDENTIFIER* type, const std::vector<CASN1Type*>& values) {
    CASN1_SET set;
    for (CASN1Type* value : values) set.AddObject(value);
    return new CASN1_Attribute(type, new CASN1_SET(set));
}

// Signed data of `content` of `type` with the peer's certificate, signed here with `md`; with
// `attributes` the signature covers them.
Octets SignedHere(const Peer& peer, const DigestRow& md, CASN1_AlgorithmIdentifier* digestAlgorithm,
                  CASN1_AlgorithmIdentifier* signatureAlgorithm, const std::vector<CASN1_Attribute*>& attributes,
                  CASN1_OBJECT_IDENTIFIER* type, const Octets& content) {
    auto* signer =
        new CASN1_SignerInfo(peer.issuerAndSerial(), digestAlgorithm, signatureAlgorithm, new CASN1_OCTET_STRING);
    Octets signedDigest = md.digest(*std::unique_ptr<CASN1_OCTET_STRING>(NewOctets(content)));
    if (!attributes.empty()) {
        CASN1_SET set;
        for (CASN1_Attribute* one : attributes) set.AddObject(one);
        signer->SetAuthenticatedAttributes(set);
        CByteArray covered;
        signer->GetAuthenticatedAttributesEncoding(covered);
        signedDigest = md.digest(*std::unique_ptr<CASN1_OCTET_STRING>(NewOctets(OctetsOf(covered))));
    }
    CByteArray signature;
    peer.privateKey.LockDigest(md.algorithm, signedDigest.data(), signature);
    signer->GetEncryptedDigest() = CASN1_OCTET_STRING(signature.GetData(), signature.GetSize());
    auto* signedData = new CASN1_SignedData(new CASN1_ContentInfo(type, NewOctets(content)));
    CASN1_SET certificates;
    certificates.AddObject(Decoded<CASN1_SEQUENCE>(peer.certDer).clone());
    signedData->SetCertificates(certificates);
    signedData->AddSignerInfo(signer);
    return Encoded(CASN1_ContentInfo(new CASN1_signedData, signedData));
}

// Both ways per digest, with and without signed attributes: what `openssl smime -sign` makes
// verifies here, and what is built here the same way passes its -verify.
TEST(PkcsOpenssl, SignedMessagesVerifyBothWays) {
    const Peer& peer = ThePeer();
    const Octets content = Pattern(3000, 7);
    for (const auto& [md, withAttributes] : {std::pair{kSha1Row, true}, {kSha1Row, false}, {kSha256Row, true},
                                                              {kSha384Row, false}, {kSha512Row, true}}) {
        SCOPED_TRACE(md.md + std::string(withAttributes ? "" : " -noattr"));
        const CASN1_SignedData message(Decoded<CASN1_ContentInfo>(
            Openssl("smime -sign -md " + std::string(md.md) + " -nodetach -binary -outform DER -signer " + peer.cert +
                        " -inkey " + peer.key + (withAttributes ? "" : " -noattr"),
                    content)));
        const CASN1Type& data = message.GetContentInfo().GetContent();
        EXPECT_EQ(Clear(data), content);
        const CASN1_SignerInfo& signer = message.GetSignerInfo(0);
        EXPECT_EQ(signer.IsAuthenticatedAttributes(), withAttributes);
        Octets digest = md.digest(data);
        const int n = static_cast<int>(digest.size());
        EXPECT_EQ(signer.IsSignatureOKFor(peer.publicKey(), CASN1_data(), digest.data(), n), 1);
        EXPECT_EQ(signer.IsSignatureOKFor(peer.publicKey(), CASN1_data(), digest.data(), n - 1), 0);
        // A version 3 certificate moved out of the message still reads whole and verifies.
        const std::unique_ptr<CASN1_SET> certificates(CASN1_SignedData(message).GetCertificates(1));
        CASN1_Certificate taken;
        ASSERT_TRUE(taken.moveFrom(certificates->GetComponent(0).clone()));
        CCertificate signerCertificate;
        taken.SetDataTo(signerCertificate);
        EXPECT_EQ(signerCertificate.m_bVersion, 2);
        EXPECT_EQ(signerCertificate.IsSignatureOKFor(signerCertificate), 1);

        // The other way: the same signer built here, attributes given out of DER order.
        std::vector<CASN1_Attribute*> attributes;
        if (withAttributes)
            attributes = {Attribute(new CASN1_messageDigest, {NewOctets(digest)}),
                          Attribute(new CASN1_contentType, {new CASN1_data})};
        const Octets built = SignedHere(peer, md, new CASN1_AlgorithmIdentifier(signer.GetDigestAlgorithm()),
                                        new CASN1_AlgorithmIdentifier(signer.GetDigestEncyptionAlgorithm()),
                                        attributes, new CASN1_data, content);
        EXPECT_EQ(CASN1_SignedData(Decoded<CASN1_ContentInfo>(built)).GetDigestAlgorithms().GetCount(), 1);
        EXPECT_EQ(Openssl("smime -verify -noverify -binary -inform DER", built), content);
        digest[0] ^= 1;
        EXPECT_EQ(signer.IsSignatureOKFor(peer.publicKey(), CASN1_data(), digest.data(), n), 0);
    }
}

// A signature binds what it covers: signed attributes must hold the content's type and digest,
// once each, content of another type than data must have them, and the signature algorithm is
// RSA with the signer's digest. Each message is signed anew over its own attributes, so only
// the rule of its row is broken; openssl cms -verify judges the same messages, and differs
// where it is laxer: it takes the digest from digestAlgorithm whatever the signature algorithm
// names, does not compare the contentType attribute with the content and lets content of any
// type go without attributes.
TEST(PkcsOpenssl, SignaturesBindContentTypeDigestAndAlgorithm) {
    const Peer& peer = ThePeer();
    const Octets content = Pattern(500, 3);
    const Octets digest = kSha256Row.digest(*std::unique_ptr<CASN1_OCTET_STRING>(NewOctets(content)));
    Octets otherDigest = digest;
    otherDigest[0] ^= 1;
    const auto other = [] {  // 1.2.3.4: a content type of no meaning here
        auto* type = new CASN1_OBJECT_IDENTIFIER(1, 2);
        type->AddIDComponent(3);
        type->AddIDComponent(4);
        return type;
    };
    const auto type = [](CASN1_OBJECT_IDENTIFIER* named) { return Attribute(new CASN1_contentType, {named}); };
    const auto stated = [](const Octets& octets) { return Attribute(new CASN1_messageDigest, {NewOctets(octets)}); };
    using Attributes = std::function<std::vector<CASN1_Attribute*>()>;
    const Attributes none = [] { return std::vector<CASN1_Attribute*>{}; },
                     regular = [&] { return std::vector{type(new CASN1_data), stated(digest)}; };
    using Signature = std::function<CASN1_OBJECT_IDENTIFIER*()>;
    const Signature rsa = [] { return new CASN1_rsaEncryption; };
    const struct Row {
        const char* name;
        Attributes attributes;
        Signature algorithm;
        bool otherContent;  // of type 1.2.3.4 instead of data
        bool ok;
        bool opensslOk;
    } rows[] = {
        {"as openssl signs", regular, rsa, false, true, true},
        {"sha256WithRSAEncryption", regular, [] { return new CASN1_sha256WithRSAEncryption; }, false, true, true},
        {"md5WithRSAEncryption", regular, [] { return new CASN1_md5WithRSAEncryption; }, false, false, true},
        {"sha1WithRSAEncryption", regular, [] { return new CASN1_sha1WithRSAEncryption; }, false, false, true},
        {"contentType signedData", [&] { return std::vector{type(new CASN1_signedData), stated(digest)}; }, rsa, false,
         false, true},
        {"no contentType", [&] { return std::vector{stated(digest)}; }, rsa, false, false, false},
        {"no messageDigest", [&] { return std::vector{type(new CASN1_data)}; }, rsa, false, false, false},
        {"contentType of two values",
         [&] { return std::vector{Attribute(new CASN1_contentType, {new CASN1_data, other()}), stated(digest)}; }, rsa,
         false, false, false},
        {"a second messageDigest", [&] { return std::vector{type(new CASN1_data), stated(digest), stated(otherDigest)}; },
         rsa, false, false, false},
        {"content 1.2.3.4 so named", [&] { return std::vector{type(other()), stated(digest)}; }, rsa, true, true, true},
        {"content 1.2.3.4 named data", regular, rsa, true, false, true},
        {"data without attributes", none, rsa, false, true, true},
        {"content 1.2.3.4 without attributes", none, rsa, true, false, true},
    };
    for (const Row& row : rows) {
        const Octets der = SignedHere(peer, kSha256Row, Algorithm(new CASN1_sha256), Algorithm(row.algorithm()),
                                      row.attributes(),
                                      row.otherContent ? other() : static_cast<CASN1_OBJECT_IDENTIFIER*>(new CASN1_data),
                                      content);

        const CASN1_SignedData read(Decoded<CASN1_ContentInfo>(der));
        EXPECT_EQ(read.GetSignerInfo(0).IsSignatureOKFor(peer.publicKey(), read.GetContentInfo().GetContentType(),
                                                         digest.data(), 32),
                  row.ok)
            << row.name;
        WriteFile(InScratch("bound.der"), der);
        int status = 0;
        x509test::Shell("openssl cms -verify -noverify -binary -inform DER -in " + InScratch("bound.der").string() +
                            " -out " + InScratch("bound").string() + " 2>&1",
                        &status);
        EXPECT_EQ(status == 0 && ReadFile(InScratch("bound")) == content, row.opensslOk) << row.name << " (openssl)";
    }
}

// A signer or recipient is named as its certificate names it, octet for octet, also with a name
// attribute the library has no entry for and a negative serial number: as openssl names it.
TEST(PkcsOpenssl, IssuerAndSerialNumberKeepsUnknownAttributesAndNegativeSerials) {
    const std::string key = KeyFile(1024), cert = InScratch("odd.pem").string();
    x509test::Shell("openssl req -x509 -new -days 2 -set_serial -5 -subj '/CN=odd/businessCategory=not known here' "
                    "-key " + key + " -out " + cert);
    CCertificate certificate;
    Decoded<CASN1_Certificate>(Openssl("x509 -outform DER", ReadFile(cert))).SetDataTo(certificate);
    EXPECT_TRUE(certificate.m_serialNumber.m_bNegative);
    const CASN1_SignedData message(Decoded<CASN1_ContentInfo>(
        Openssl("smime -sign -nodetach -binary -outform DER -signer " + cert + " -inkey " + key, Pattern(10, 1))));
    EXPECT_EQ(Encoded(*std::unique_ptr<CASN1Type>(new CASN1_IssuerAndSerialNumber(certificate))),
              Encoded(message.GetSignerInfo(0).GetIssuerAndSerialNumber()));
}

TEST(PkcsOpenssl, CertificateBagsOfCrl2pkcs7ReadWithEveryKey) {  // RSA up to 4,096 bits and EC keys
    const Peer& peer = ThePeer();
    const std::string big = InScratch("big.pem").string(), ec = InScratch("ec.pem").string();
    x509test::Shell("openssl req -x509 -new -days 36500 -subj /CN=Big -key " + KeyFile(4096) + " -out " + big);
    x509test::Shell("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=EC -keyout " +
                    InScratch("ec.key").string() + " -out " + ec);
    const Octets bagDer =
        Openssl("crl2pkcs7 -nocrl -certfile " + peer.cert + " -certfile " + big + " -certfile " + ec + " -outform DER");
    EXPECT_EQ(Encoded(Decoded<CASN1_ContentInfo>(bagDer)), bagDer);
    CASN1_SignedData bag(Decoded<CASN1_ContentInfo>(bagDer));
    EXPECT_TRUE(bag.IsCertificates() && !bag.IsCRLs() && !bag.GetContentInfo().IsContent());
    EXPECT_EQ(bag.GetSignerInfos().GetCount(), 0);
    const std::unique_ptr<CASN1_SET> certificates(bag.GetCertificates(1));
    ASSERT_EQ(certificates->GetCount(), 3);
    // In the order given, each verifying itself.
    for (int i = 0; i < 3; ++i) {
        const CASN1Type& certificate = certificates->GetComponent(i);
        EXPECT_EQ(CASN1_Certificate::isValid(&certificate, 0), 1);
        CCertificate read;
        EXPECT_EQ(DecodingReason([&] { Decoded<CASN1_Certificate>(Encoded(certificate)).SetDataTo(read); }), "");
        EXPECT_EQ(read.IsSignatureOKFor(read), 1) << i;
    }
    // A message signed with the 4,096-bit key verifies with that key only.
    const CASN1_SignedData message(Decoded<CASN1_ContentInfo>(
        Openssl("smime -sign -md sha256 -nodetach -binary -outform DER -signer " + big + " -inkey " + KeyFile(4096),
                Pattern(100, 1))));
    const Octets digest = Digest<CSHA256DigestMaker, 32>(message.GetContentInfo().GetContent());
    EXPECT_EQ(message.GetSignerInfo(0).IsSignatureOKFor(peer.publicKey(), CASN1_data(), digest.data(), 32), 0);
    CCertificate signer;
    Decoded<CASN1_Certificate>(Encoded(certificates->GetComponent(1))).SetDataTo(signer);
    CRSAPublicKey bigKey;
    signer.SetDataTo(bigKey);
    EXPECT_EQ(message.GetSignerInfo(0).IsSignatureOKFor(bigKey, CASN1_data(), digest.data(), 32), 1);
}

// What `openssl smime -sign` makes with an EC signer (ecdsa-with-SHA*, with and without signed
// attributes) verifies with the signer's certificate; so does a signer naming id-ecPublicKey as
// its signature algorithm, as some producers write. Another digest, or the RSA peer, does not.
TEST(PkcsOpenssl, MessagesOfECSignersVerify) {
    const Octets content = Pattern(1000, 3);
    for (const auto& [curve, md, withAttributes] :
         {std::tuple{"P-256", kSha256Row, true}, {"P-384", kSha384Row, false}, {"P-256", kSha512Row, false}}) {
        SCOPED_TRACE(curve + std::string(" ") + md.md);
        const std::string key = ECKeyFile(curve), cert = InScratch("ec-signer.pem").string();
        x509test::Shell("openssl req -x509 -new -days 2 -subj /CN=EC-signer -key " + key + " -out " + cert);
        const CASN1_SignedData message(Decoded<CASN1_ContentInfo>(
            Openssl("smime -sign -md " + std::string(md.md) + " -nodetach -binary -outform DER -signer " + cert +
                        " -inkey " + key + (withAttributes ? "" : " -noattr"),
                    content)));
        const CCertificate signer = ReadCertificate(Openssl("x509 -outform DER", ReadFile(cert)));
        const CASN1_SignerInfo& info = message.GetSignerInfo(0);
        Octets digest = md.digest(message.GetContentInfo().GetContent());
        const int n = static_cast<int>(digest.size());
        EXPECT_EQ(info.IsSignatureOKFor(signer, CASN1_data(), digest.data(), n), 1);
        EXPECT_EQ(info.IsSignatureOKFor(ThePeer().certificate, CASN1_data(), digest.data(), n), 0);
        if (!withAttributes) {
            const CASN1_SignerInfo keyNamed(
                new CASN1_IssuerAndSerialNumber(info.GetIssuerAndSerialNumber()),
                new CASN1_AlgorithmIdentifier(info.GetDigestAlgorithm()),
                new CASN1_AlgorithmIdentifier(new CASN1_ecPublicKey, nullptr), new CASN1_OCTET_STRING(info.GetEncryptedDigest()));
            EXPECT_EQ(keyNamed.IsSignatureOKFor(signer, CASN1_data(), digest.data(), n), 1);
        }
        digest[0] ^= 1;  // (P-256 signs the leftmost 256 bits of a longer digest)
        EXPECT_EQ(info.IsSignatureOKFor(signer, CASN1_data(), digest.data(), n), 0);
        EXPECT_EQ(LastDecodingReason(), std::string(withAttributes ? "message digest differs" : "signature differs"));
    }
}

TEST(PkcsOpenssl, RequestsCheckBothWays) {
    const Peer& peer = ThePeer();
    // OpenSSL's default: SHA-256; SHA-384 and SHA-512 with a key of 4,096 bits; ECDSA with EC keys.
    for (const auto& [md, key] : {std::pair{"-sha1", peer.key}, {"", peer.key}, {"-sha384", KeyFile(4096)},
                                  {"-sha512", KeyFile(4096)}, {"-sha256", ECKeyFile("P-256")},
                                  {"-sha384", ECKeyFile("P-384")}, {"-sha512", ECKeyFile("P-256")}}) {
        Octets der = Openssl("req -new " + std::string(md) + " -subj '/CN=vorlan request/O=vorlan' -outform DER -key " +
                             key);
        EXPECT_EQ(Decoded<CASN1_CertificationRequest>(der).IsSignatureOK(), 1) << md << key;
        EXPECT_EQ(Encoded(Decoded<CASN1_CertificationRequest>(der)), der) << md;
        der[der.size() - 1] ^= 1;
        EXPECT_EQ(Decoded<CASN1_CertificationRequest>(der).IsSignatureOK(), 0) << md << key;
    }

    CASN1_SET attributes, password;
    password.AddObject(new CASN1_PrintableString(reinterpret_cast<const unsigned char*>("secret"), 6));
    attributes.AddObject(new CASN1_Attribute(new CASN1_ChallengePassword, new CASN1_SET(password)));
    const std::unique_ptr<CASN1_IssuerAndSerialNumber> named(peer.issuerAndSerial());
    auto* info = new CASN1_CertificationRequestInfo(new CASN1_RDNSequence(named->GetIssuer()),
                                                    new CASN1_SubjectPublicKeyInfo(peer.publicKey()), attributes);
    CASN1_CertificationRequest request(info, peer.privateKey);
    for (const int algorithm : {2, 3}) {
        if (algorithm == 3) request.SignWith(peer.privateKey, algorithm);
        EXPECT_EQ(request.IsSignatureOK(), 1);
        WriteFile(InScratch("built-req.der"), Encoded(request));
        const std::string text =
            x509test::Shell("openssl req -verify -noout -text -inform DER -in " + InScratch("built-req.der").string());
        EXPECT_NE(text.find("verify OK"), std::string::npos);
        EXPECT_NE(text.find(algorithm == 3 ? "sha256WithRSAEncryption" : "sha1WithRSAEncryption"), std::string::npos);
    }
}

// Enveloped messages both ways with openssl smime (and cms) for every content cipher, encrypted
// data both ways with openssl cms; signed-and-enveloped and digested data (which openssl
// cannot process) round-trip here.
TEST(PkcsOpenssl, EnvelopedAndEncryptedMessagesOpenBothWaysAndOtherTypesRoundTrip) {
    const Peer& peer = ThePeer();
    const Octets content = Pattern(4099, 5);
    const std::string recipient = " -binary -inform DER -recip " + peer.cert + " -inkey " + peer.key;
    for (const auto& [algorithm, name] : kContentCiphers) {
        SCOPED_TRACE(name);
        const CASN1_EnvelopedData received(Decoded<CASN1_ContentInfo>(
            Openssl("smime -encrypt -" + name + " -binary -outform DER", content, peer.cert)));
        const CASN1_RecipientInfo& recipientInfo = received.GetRecipientInfo(0);
        EXPECT_EQ(Encoded(recipientInfo.GetIssuerAndSerialNumber()), peer.named());
        EXPECT_EQ(Encoded(recipientInfo.GetKeyEncryptionAlgorithm().GetComponent(0)), Encoded(CASN1_rsaEncryption()));
        EXPECT_EQ(CContentEncryption(received.GetEncryptedContentInfo().GetContentEncryptionAlgorithm()).GetAlgorithm(),
                  algorithm);
        EXPECT_TRUE(received.GetEncryptedContentInfo().GetContentType() == CASN1_data());
        EXPECT_EQ(OpenedFor(peer, recipientInfo, received.GetEncryptedContentInfo()), content);

        // The other way, with a fresh key and IV.
        const CContentEncryption sealer(algorithm);
        auto* enveloped = new CASN1_EnvelopedData(Sealed(sealer, content));
        CByteArray wrapped;
        peer.publicKey().LockKey(sealer.GetKey(), wrapped);
        enveloped->AddRecipientInfo(
            new CASN1_RecipientInfo(peer.issuerAndSerial(), Algorithm(new CASN1_rsaEncryption),
                                    new CASN1_OCTET_STRING(wrapped.GetData(), wrapped.GetSize())));
        const Octets message = Encoded(CASN1_ContentInfo(new CASN1_envelopedData, enveloped));
        EXPECT_EQ(Openssl("smime -decrypt" + recipient, message), content);
        EXPECT_EQ(Openssl("cms -decrypt" + recipient, message), content);

        // Encrypted data under the same key: openssl cms's opens here, ours there.
        const std::string secret = " -secretkey " + ToHex(sealer.GetKey().Data(), sealer.GetKey().Size());
        CContentEncryption theirs(
            CASN1_EncryptedData(Decoded<CASN1_ContentInfo>(Openssl(
                                    "cms -EncryptedData_encrypt -" + name + secret + " -binary -outform DER", content)))
                .GetEncryptedContentInfo()
                .GetContentEncryptionAlgorithm());
        theirs.GetKey() = sealer.GetKey();
        const CASN1_EncryptedData theirData(Decoded<CASN1_ContentInfo>(ReadFile(InScratch("out"))));
        EXPECT_EQ(Opened(theirs, theirData.GetEncryptedContentInfo()), content);
        const CASN1_ContentInfo encrypted(new CASN1_encryptedData, new CASN1_EncryptedData(Sealed(sealer, content)));
        EXPECT_EQ(Openssl("cms -EncryptedData_decrypt -binary -inform DER" + secret, Encoded(encrypted)), content);

        auto* both = new CASN1_SignedAndEnvelopedData(Sealed(sealer, content));
        both->AddRecipientInfo(new CASN1_RecipientInfo(peer.issuerAndSerial(),
                                                       Algorithm(new CASN1_rsaEncryption, nullptr),
                                                       new CASN1_OCTET_STRING(wrapped.GetData(), wrapped.GetSize())));
        both->AddDigestAlgorithmIdentifier(Algorithm(new CASN1_sha1));
        both->AddDigestAlgorithmIdentifier(Algorithm(new CASN1_sha1, nullptr));
        const CASN1_SignedAndEnvelopedData readBoth(
            Decoded<CASN1_ContentInfo>(Encoded(CASN1_ContentInfo(new CASN1_signedAndEnvelopedData, both))));
        EXPECT_EQ(readBoth.GetDigestAlgorithms().GetCount(), 1);
        EXPECT_EQ(OpenedFor(peer, readBoth.GetRecipientInfo(0), readBoth.GetEncryptedContentInfo()), content);
    }

    auto* data = new CASN1_ContentInfo(new CASN1_data, NewOctets(content));
    const Octets digest = kSha1Row.digest(data->GetContent());
    const CASN1_ContentInfo digested(
        new CASN1_digestedData,
        new CASN1_DigestedData(CASN1_AlgorithmIdentifier(new CASN1_sha1, new CASN1_NULL), data, digest.data(), 20));
    const CASN1_DigestedData readDigested(Decoded<CASN1_ContentInfo>(Encoded(digested)));
    Octets stated(20);
    EXPECT_EQ(readDigested.GetDigest(stated.data(), 20), 1);
    EXPECT_EQ(stated, kSha1Row.digest(readDigested.GetContentInfo().GetContent()));
}

// Content ciphers other than the four, and parameters that are no IV of one block, are
// refused when read; a wrong key or damaged padding when the content is opened.
TEST(PkcsContentEncryption, RefusesOtherAlgorithmsIvsKeysAndPadding) {
    const Octets iv16 = Pattern(16, 1);
    const std::pair<CASN1_AlgorithmIdentifier*, const char*> refused[] = {
        {Algorithm(new CASN1_RC2_CBC, NewOctets(Pattern(8))),
         "unknown content encryption algorithm 1.2.840.113549.3.2"},
        {Algorithm(new CASN1_aes128_CBC, NewOctets(Pattern(8))),
         "the aes-128-cbc parameters are not an IV of 16 octets"},
        {Algorithm(new CASN1_aes256_CBC), "the aes-256-cbc parameters are not an IV of 16 octets"},
        {Algorithm(new CASN1_DES_EDE3_CBC, NewOctets(iv16)), "the des-ede3-cbc parameters are not an IV of 8 octets"},
    };
    for (const auto& [identifier, reason] : refused) {
        const std::unique_ptr<CASN1_AlgorithmIdentifier> owner(identifier);
        EXPECT_EQ(DecodingReason([&] { CContentEncryption opener(*owner); }), reason);
    }

    // Fixed keys and IV, so that the wrong key's failure is the same on every run.
    const std::unique_ptr<CASN1_AlgorithmIdentifier> aes256(Algorithm(new CASN1_aes256_CBC, NewOctets(iv16)));
    CContentEncryption sealer(*aes256), wrongKey(*aes256);
    sealer.GetKey().Set(Pattern(32, 3).data(), 32);
    wrongKey.GetKey().Set(Pattern(32, 4).data(), 32);
    const Octets content = Pattern(40, 2);  // 8 octets of padding
    const std::unique_ptr<CASN1_EncryptedContentInfo> info(Sealed(sealer, content));
    EXPECT_EQ(Opened(sealer, *info), content);
    const std::string reason = UnlockReason([&] { Opened(wrongKey, *info); });
    EXPECT_EQ(reason.rfind("DecryptFinal - bad padding", 0), 0u) << reason;
    // The last octet of the next-to-last block flips the last pad octet from 08 to 09.
    Octets ciphertext = Clear(info->GetEncryptedContent());
    ciphertext[ciphertext.size() - 17] ^= 0x01;
    const std::unique_ptr<CASN1_EncryptedContentInfo> damaged(new CASN1_EncryptedContentInfo(
        new CASN1_data, static_cast<CASN1_AlgorithmIdentifier*>(info->GetContentEncryptionAlgorithm().clone()),
        NewOctets(ciphertext)));
    CContentEncryption opener(damaged->GetContentEncryptionAlgorithm());
    opener.GetKey() = sealer.GetKey();
    EXPECT_EQ(UnlockReason([&] { Opened(opener, *damaged); }).rfind("DecryptFinal - bad padding data", 0), 0u);
}

}  // namespace
