// PKCS #7 messages and PKCS #10 requests against the openssl command, both ways: what it
// signs, bags and encrypts is read, checked and opened here through the public interface;
// what is built here the same way passes its -verify and -decrypt, octet for octet.
#include "pkcs_test_util.h"
#include "vorlan/asn1/null.h"
#include "vorlan/asn1/strings.h"
#include "vorlan/asn1/wellknownoids.h"
#include "vorlan/cipher/cbc.h"
#include "vorlan/cipher/tripledes.h"
#include "vorlan/digest/sha1.h"
#include "vorlan/digest/sha256.h"
#include "vorlan/framework/memfile.h"
#include "vorlan/pkcs/certificationrequest.h"
#include "vorlan/pkcs/digesteddata.h"
#include "vorlan/pkcs/envelopeddata.h"
#include "vorlan/pkcs/signedandenvelopeddata.h"

namespace pkcstest {
namespace {

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
    kSha256Row{"sha256", Digest<CSHA256DigestMaker, 32>, sha256};

Octets Clear(const CASN1Type& value) {
    CByteArray octets;
    const_cast<CASN1Type&>(value).GetClearData(octets, 1);
    return OctetsOf(octets);
}

CASN1_OCTET_STRING* NewOctets(const Octets& octets) { return new CASN1_OCTET_STRING(octets.data(), octets.size()); }

CASN1_AlgorithmIdentifier* Algorithm(CASN1_OBJECT_IDENTIFIER* identifier, CASN1Type* parameters = new CASN1_NULL) {
    return new CASN1_AlgorithmIdentifier(identifier, parameters);
}

// Content enciphered with triple DES CBC under `key` and `iv`, and opened again.
CASN1_EncryptedContentInfo* Seal(const CTripleDESkey& key, const Octets& iv, const Octets& content) {
    CCBC<CTripleDESAlgorithm> sealer(key, iv.data());
    CMemFile sealed;
    std::unique_ptr<CASN1_OCTET_STRING>(NewOctets(content))->encryptClearContents(sealer, sealed);
    return new CASN1_EncryptedContentInfo(new CASN1_data, Algorithm(new CASN1_DES_EDE3_CBC, NewOctets(iv)),
                                          new CASN1_OCTET_STRING(sealed.GetBuffer(), sealed.GetLength()));
}
Octets Opened(const CTripleDESkey& key, const CASN1_EncryptedContentInfo& info) {
    CCBC<CTripleDESAlgorithm> opener(key, Clear(info.GetContentEncryptionAlgorithm().GetComponent(1)).data());
    CMemFile out;
    info.GetEncryptedContent().decryptClearContents(opener, out);
    return Octets(out.GetBuffer(), out.GetBuffer() + out.GetLength());
}

// Both ways per digest, with and without signed attributes: what `openssl smime -sign` makes
// verifies here, and what is built here the same way passes its -verify.
TEST(PkcsOpenssl, SignedMessagesVerifyBothWays) {
    const Peer& peer = ThePeer();
    const Octets content = Pattern(3000, 7);
    for (const auto& [md, withAttributes] : {std::pair{kSha1Row, true}, {kSha1Row, false}, {kSha256Row, true}}) {
        SCOPED_TRACE(md.md + std::string(withAttributes ? "" : " -noattr"));
        const CASN1_SignedData message(Decoded<CASN1_ContentInfo>(
            Openssl("smime -sign -md " + std::string(md.md) + " -nodetach -binary -outform DER -signer " + peer.cert +
                        " -inkey " + peer.key + (withAttributes ? "" : " -noattr"),
                    content)));
        const CASN1Type& data = message.GetContentInfo().GetContent();
        EXPECT_EQ(Clear(data), content);
        const CASN1_SignerInfo& signer = message.GetSignerInfo(0);
        EXPECT_EQ(signer.IsAuthenticatedAttributes(), withAttributes);
        EXPECT_EQ(Encoded(signer.GetIssuerAndSerialNumber()), peer.named());
        Octets digest = md.digest(data);
        const int n = static_cast<int>(digest.size());
        EXPECT_EQ(signer.IsSignatureOKFor(peer.publicKey(), digest.data(), n), 1);
        EXPECT_EQ(signer.IsSignatureOKFor(peer.publicKey(), digest.data(), 20 + 32 - n), 0);
        // A version 3 certificate moved out of the message still reads whole and verifies.
        const std::unique_ptr<CASN1_SET> certificates(CASN1_SignedData(message).GetCertificates(1));
        CASN1_Certificate taken;
        ASSERT_TRUE(taken.moveFrom(certificates->GetComponent(0).clone()));
        CCertificate signerCertificate;
        taken.SetDataTo(signerCertificate);
        EXPECT_EQ(signerCertificate.m_bVersion, 2);
        EXPECT_EQ(signerCertificate.IsSignatureOKFor(signerCertificate), 1);

        // The other way: the same signer built here.
        auto* built = new CASN1_SignerInfo(
            peer.issuerAndSerial(), new CASN1_AlgorithmIdentifier(signer.GetDigestAlgorithm()),
            new CASN1_AlgorithmIdentifier(signer.GetDigestEncyptionAlgorithm()), new CASN1_OCTET_STRING);
        Octets signedDigest = digest;
        if (withAttributes) {  // given out of DER order
            CASN1_SET attributes, type, stated;
            type.AddObject(new CASN1_data);
            stated.AddObject(NewOctets(digest));
            attributes.AddObject(new CASN1_Attribute(new CASN1_messageDigest, new CASN1_SET(stated)));
            attributes.AddObject(new CASN1_Attribute(new CASN1_contentType, new CASN1_SET(type)));
            built->SetAuthenticatedAttributes(attributes);
            CByteArray covered;
            built->GetAuthenticatedAttributesEncoding(covered);
            signedDigest = md.digest(*std::unique_ptr<CASN1_OCTET_STRING>(NewOctets(OctetsOf(covered))));
        }
        CByteArray signature;
        peer.privateKey.LockDigest(md.algorithm, signedDigest.data(), signature);
        built->GetEncryptedDigest() = CASN1_OCTET_STRING(signature.GetData(), signature.GetSize());
        auto* signedData = new CASN1_SignedData(new CASN1_ContentInfo(new CASN1_data, NewOctets(content)));
        CASN1_SET certificateSet;
        certificateSet.AddObject(Decoded<CASN1_SEQUENCE>(peer.certDer).clone());
        signedData->SetCertificates(certificateSet);
        signedData->AddSignerInfo(built);
        EXPECT_EQ(signedData->GetDigestAlgorithms().GetCount(), 1);
        EXPECT_EQ(Openssl("smime -verify -noverify -binary -inform DER",
                          Encoded(CASN1_ContentInfo(new CASN1_signedData, signedData))),
                  content);
        digest[0] ^= 1;
        EXPECT_EQ(signer.IsSignatureOKFor(peer.publicKey(), digest.data(), n), 0);
    }
}

TEST(PkcsOpenssl, CertificateBagsOfCrl2pkcs7ReadAlsoWithKeysTheLibraryCannotUse) {
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
    // In the order given; the EC certificate is signed with ECDSA, which is found first.
    const char* reasons[] = {"", "SubjectPublicKeyInfo contents is not valid (RSA key longer than 2048 bits)",
                             "CASN1_CertificateData::SetDataTo - unknown signature algorithm"};
    for (int i = 0; i < 3; ++i) {
        const CASN1Type& certificate = certificates->GetComponent(i);
        EXPECT_EQ(CASN1_Certificate::isValid(&certificate, 0), 1);
        CCertificate read;
        EXPECT_EQ(DecodingReason([&] { Decoded<CASN1_Certificate>(Encoded(certificate)).SetDataTo(read); }),
                  reasons[i]);
    }
    // A message signed with the long key reads; no key the library holds verifies it.
    const CASN1_SignedData message(Decoded<CASN1_ContentInfo>(
        Openssl("smime -sign -md sha256 -nodetach -binary -outform DER -signer " + big + " -inkey " + KeyFile(4096),
                Pattern(100, 1))));
    const Octets digest = Digest<CSHA256DigestMaker, 32>(message.GetContentInfo().GetContent());
    EXPECT_EQ(message.GetSignerInfo(0).IsSignatureOKFor(peer.publicKey(), digest.data(), 32), 0);
}

TEST(PkcsOpenssl, RequestsCheckBothWays) {
    const Peer& peer = ThePeer();
    for (const char* md : {"-sha1", ""}) {  // OpenSSL's default: SHA-256
        Octets der = Openssl("req -new " + std::string(md) + " -subj '/CN=vorlan request/O=vorlan' -outform DER -key " +
                             peer.key);
        EXPECT_EQ(Decoded<CASN1_CertificationRequest>(der).IsSignatureOK(), 1) << md;
        der[der.size() - 1] ^= 1;
        EXPECT_EQ(Decoded<CASN1_CertificationRequest>(der).IsSignatureOK(), 0) << md;
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

// Enveloped messages both ways with the openssl command; digested, encrypted and
// signed-and-enveloped data (which it cannot process) round-trip here.
TEST(PkcsOpenssl, EnvelopedMessagesOpenBothWaysAndOtherTypesRoundTrip) {
    const Peer& peer = ThePeer();
    const Octets content = Pattern(4099, 5), iv = Pattern(8, 11);
    const CASN1_EnvelopedData received(
        Decoded<CASN1_ContentInfo>(Openssl("smime -encrypt -des3 -binary -outform DER", content, peer.cert)));
    const CASN1_RecipientInfo& recipient = received.GetRecipientInfo(0);
    EXPECT_EQ(Encoded(recipient.GetIssuerAndSerialNumber()), peer.named());
    EXPECT_EQ(Encoded(recipient.GetKeyEncryptionAlgorithm().GetComponent(0)), Encoded(CASN1_rsaEncryption()));
    CByteArray locked;
    recipient.GetEncryptedKey().GetClearData(locked, 1);
    CTripleDESkey key;
    peer.privateKey.UnlockKey(locked, key, peer.privateKey.bits);
    EXPECT_TRUE(received.GetEncryptedContentInfo().GetContentType() == CASN1_data());
    EXPECT_EQ(Opened(key, received.GetEncryptedContentInfo()), content);

    // The other way, with a fresh key and IV.
    CTripleDESkey fresh;
    auto* enveloped = new CASN1_EnvelopedData(Seal(fresh, iv, content));
    CByteArray wrapped;
    peer.publicKey().LockKey(fresh, wrapped);
    enveloped->AddRecipientInfo(new CASN1_RecipientInfo(peer.issuerAndSerial(), Algorithm(new CASN1_rsaEncryption),
                                                        new CASN1_OCTET_STRING(wrapped.GetData(), wrapped.GetSize())));
    EXPECT_EQ(Openssl("smime -decrypt -binary -inform DER -recip " + peer.cert + " -inkey " + peer.key,
                      Encoded(CASN1_ContentInfo(new CASN1_envelopedData, enveloped))),
              content);

    auto* data = new CASN1_ContentInfo(new CASN1_data, NewOctets(content));
    const Octets digest = kSha1Row.digest(data->GetContent());
    const CASN1_ContentInfo digested(
        new CASN1_digestedData,
        new CASN1_DigestedData(CASN1_AlgorithmIdentifier(new CASN1_sha1, new CASN1_NULL), data, digest.data(), 20));
    const CASN1_DigestedData readDigested(Decoded<CASN1_ContentInfo>(Encoded(digested)));
    Octets stated(20);
    EXPECT_EQ(readDigested.GetDigest(stated.data(), 20), 1);
    EXPECT_EQ(stated, kSha1Row.digest(readDigested.GetContentInfo().GetContent()));

    const CASN1_ContentInfo encrypted(new CASN1_encryptedData, new CASN1_EncryptedData(Seal(fresh, iv, content)));
    EXPECT_EQ(
        Opened(fresh, CASN1_EncryptedData(Decoded<CASN1_ContentInfo>(Encoded(encrypted))).GetEncryptedContentInfo()),
        content);

    auto* both = new CASN1_SignedAndEnvelopedData(Seal(fresh, iv, content));
    both->AddRecipientInfo(
        new CASN1_RecipientInfo(peer.issuerAndSerial(), Algorithm(new CASN1_rsaEncryption, nullptr), NewOctets(iv)));
    both->AddDigestAlgorithmIdentifier(Algorithm(new CASN1_sha1));
    both->AddDigestAlgorithmIdentifier(Algorithm(new CASN1_sha1, nullptr));
    const CASN1_SignedAndEnvelopedData readBoth(
        Decoded<CASN1_ContentInfo>(Encoded(CASN1_ContentInfo(new CASN1_signedAndEnvelopedData, both))));
    EXPECT_EQ(readBoth.GetDigestAlgorithms().GetCount(), 1);
    EXPECT_EQ(readBoth.GetRecipientInfos().GetCount(), 1);
    EXPECT_EQ(Opened(fresh, readBoth.GetEncryptedContentInfo()), content);
}

}  // namespace
}  // namespace pkcstest
