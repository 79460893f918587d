// vorlan demo: a short end-to-end walk through what the library does, checking each step.
#include <cstring>
#include <memory>

#include "tools/vorlan/cli.h"

namespace cli {
namespace {

class Walk {
public:
    void Step(const char* title) { std::printf("\n== %s\n", title); }
    void Check(const char* what, bool passed) {
        std::printf("   [%s] %s\n", passed ? "passed" : "FAILED", what);
        ++m_checks;
        if (!passed) ++m_failures;
    }
    int Finish() const {
        if (m_failures == 0)
            std::printf("\nall %d checks passed\n", m_checks);
        else
            std::printf("\n%d of %d checks FAILED\n", m_failures, m_checks);
        return m_failures == 0 ? 0 : 1;
    }

private:
    int m_checks = 0;
    int m_failures = 0;
};

std::string Hex(const unsigned char* octets, size_t count) {
    CString hex = OctetsToHexChars(octets, static_cast<int>(count));
    hex.MakeLower();
    return std::string(hex);
}

std::vector<unsigned char> Octets(const CByteArray& array) {
    return {array.GetData(), array.GetData() + array.GetSize()};
}

// A small message record: SEQUENCE { version, algorithm, subject, urgent, [0] body }.
std::unique_ptr<CASN1_SEQUENCE> BuildRecord() {
    auto record = std::make_unique<CASN1_SEQUENCE>();
    record->AddObject(new CASN1_INTEGER(1998));
    record->AddObject(new CASN1_sha1WithRSAEncryption());
    static const char subject[] = "vorlan demo";
    record->AddObject(new CASN1_PrintableString(reinterpret_cast<const unsigned char*>(subject), sizeof subject - 1));
    record->AddObject(new CASN1_BOOLEAN(1));
    static const char body[] = "DER all the way down";
    auto* tagged = new CASN1_TAGGED(ASN1ContextTag(0), 0);
    tagged->AddObject(new CASN1_OCTET_STRING(reinterpret_cast<const unsigned char*>(body), sizeof body - 1));
    record->AddObject(tagged);
    return record;
}

template <class Maker>
std::vector<unsigned char> DigestOnTheFly(const CASN1Type& value) {
    Maker maker;
    value.digestEncoding(maker, 0, 0, 0);
    std::vector<unsigned char> digest(Maker::digestSize);
    maker.GetCurrentDigest(digest.data());
    return digest;
}

template <class Maker>
std::vector<unsigned char> DigestOfOctets(const CByteArray& octets) {
    Maker maker;
    maker.UpdateBlock(octets.GetData(), octets.GetSize(), nullptr, 1, 1);
    std::vector<unsigned char> digest(Maker::digestSize);
    maker.GetCurrentDigest(digest.data());
    return digest;
}

// The octets a value's clear contents streamed through a cipher into a fresh encoding.
template <class Stream>
CByteArray StreamThrough(const CASN1Type& value, Stream stream) {
    CDEREncoding target(0);
    stream(value, target);
    CByteArray octets;
    target.SeekToBegin();
    target.Read(octets, static_cast<unsigned long>(target.GetFile()->GetLength()));
    return octets;
}

// The test's verdict; a failure on the way (the library's or the program's) is a failed check.
template <class Test>
bool Holds(Test test) {
    try {
        return test();
    } catch (const Failure& e) {
        std::printf("   %s\n", e.what());
    } catch (CException* e) {
        std::printf("   %s\n", Describe(e).c_str());
    }
    return false;
}

int RunDemo(unsigned bits) {
    Walk walk;
    walk.Step("RSA key pair");
    std::unique_ptr<CRSAKeyPair> pair;
    unsigned long messages = 0;
    {
        TerminalProgress bar("key pair");
        pair = std::make_unique<CRSAKeyPair>(static_cast<unsigned short>(bits), 1, nullptr, 0, bar.Receiver());
        messages = bar.Messages();
    }
    const CRSAPublicKey publicKey = *pair;
    std::printf("   %u-bit modulus, public exponent 65537 (%lu progress messages)\n", pair->bits, messages);
    walk.Check("TestKeys: 8 encrypt/decrypt and sign/verify trials", pair->TestKeys(8, nullptr, 1) == 0);

    walk.Step("ASN.1 value tree and its DER");
    const std::unique_ptr<CASN1_SEQUENCE> record = BuildRecord();
    std::fflush(stdout);  // Dump writes to the descriptor directly
    CFile console(1);
    record->Dump(0, &console);
    CByteArray der;
    record->encodeTo(der);
    std::printf("   DER: %d octets\n", der.GetSize());
    CDEREncoding encoding(0, der);
    CASN1_SEQUENCE decoded;
    decoded.decodeFrom(encoding);
    CByteArray again;
    decoded.encodeTo(again);
    walk.Check("decoding the DER and encoding it again gives the same octets", Octets(again) == Octets(der));

    walk.Step("Digests of the encoding, computed while it is written");
    const auto md5Digest = DigestOnTheFly<CMD5DigestMaker>(*record);
    const auto sha1Digest = DigestOnTheFly<CSHA1DigestMaker>(*record);
    std::printf("   MD5   %s\n   SHA-1 %s\n", Hex(md5Digest.data(), md5Digest.size()).c_str(),
                Hex(sha1Digest.data(), sha1Digest.size()).c_str());
    walk.Check("MD5 on the fly equals MD5 of the DER octets", md5Digest == DigestOfOctets<CMD5DigestMaker>(der));
    walk.Check("SHA-1 on the fly equals SHA-1 of the DER octets", sha1Digest == DigestOfOctets<CSHA1DigestMaker>(der));
    walk.Check("SHA-256 on the fly equals SHA-256 of the DER octets",
               DigestOnTheFly<CSHA256DigestMaker>(*record) == DigestOfOctets<CSHA256DigestMaker>(der));

    walk.Step("Signing the SHA-1 digest (LockDigest) and checking it (UnlockDigest)");
    CByteArray signature;
    pair->LockDigest(sha1, sha1Digest.data(), signature);
    std::printf("   signature: %d octets\n", signature.GetSize());
    unsigned char recovered[20] = {};
    publicKey.UnlockDigest(sha1, signature, recovered, publicKey.bits);
    walk.Check("the public key recovers the signed digest", std::memcmp(recovered, sha1Digest.data(), 20) == 0);
    signature[signature.GetSize() / 2] ^= 0x01;
    bool tamperedRejected = false;
    try {
        publicKey.UnlockDigest(sha1, signature, recovered, publicKey.bits);
        tamperedRejected = std::memcmp(recovered, sha1Digest.data(), 20) != 0;
    } catch (CUnlockException* e) {
        e->Delete();
        tamperedRejected = true;
    }
    walk.Check("a signature with one bit flipped is rejected", tamperedRejected);

    walk.Step("Wrapping a triple-DES key (LockKey) and unwrapping it (UnlockKey)");
    const CTripleDESkey sessionKey;
    CByteArray wrapped;
    publicKey.LockKey(sessionKey, wrapped);
    CTripleDESkey unwrapped;
    pair->UnlockKey(wrapped, unwrapped, pair->bits);
    std::printf("   24-octet key wrapped into %d octets\n", wrapped.GetSize());
    walk.Check("the unwrapped key equals the original",
               unwrapped.Size() == 24 && std::memcmp(unwrapped.Data(), sessionKey.Data(), 24) == 0);

    walk.Step("Triple-DES-CBC of a buffer, streamed through the encoding of an OCTET STRING");
    std::string text;
    while (text.size() < 5000) text += "Octets stream through the cipher 2,400 at a time. ";
    const CASN1_OCTET_STRING plain(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    static const unsigned char iv[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    const CByteArray ciphertext = StreamThrough(plain, [&](const CASN1Type& value, CDEREncoding& target) {
        CCBC<CTripleDESAlgorithm> cipher(unwrapped, iv);
        value.encryptClearContents(cipher, target);
    });
    const CASN1_OCTET_STRING sealed(ciphertext.GetData(), static_cast<unsigned long>(ciphertext.GetSize()));
    const CByteArray opened = StreamThrough(sealed, [&](const CASN1Type& value, CDEREncoding& target) {
        CCBC<CTripleDESAlgorithm> cipher(sessionKey, iv);
        value.decryptClearContents(cipher, target);
    });
    std::printf("   %zu plaintext octets -> %d ciphertext octets -> %d octets\n", text.size(), ciphertext.GetSize(),
                opened.GetSize());
    walk.Check("the ciphertext is padded to whole blocks",
               ciphertext.GetSize() == static_cast<int>(text.size() / 8 * 8 + 8));
    walk.Check("decrypting gives the plaintext back", opened.GetSize() == static_cast<int>(text.size()) &&
                                                          std::memcmp(opened.GetData(), text.data(), text.size()) == 0);

    walk.Step("Certificates: a CA, a user's request (PKCS #10) and the certificate issued from it");
    std::unique_ptr<CRSAKeyPair> user;
    {
        TerminalProgress bar("user key");
        user = std::make_unique<CRSAKeyPair>(static_cast<unsigned short>(bits), 1, nullptr, 0, bar.Progress());
    }
    CCertificate ca;
    ca.m_subject = ParseSubject("/C=DE/O=Vorlan Demo/CN=Demo CA");
    ca.GetDataFrom(*pair);
    Issue(ca, ca.m_subject, *pair, 30);
    const CByteArray requestDer = MakeRequest(ParseSubject("/C=DE/O=Vorlan Demo/CN=Erika"), *user);
    const Decoded<CASN1_CertificationRequest> request(requestDer, "request");
    walk.Check("the request read back verifies with the key it carries", request->IsSignatureOK() == 1);
    CCertificate issued;
    TakeRequest(*request, "request", issued);
    Issue(issued, ca.m_subject, *pair, 30);
    CByteArray certificateDer;
    issued.GetEncoding(certificateDer);
    CCertificate certificate;
    Decoded<CASN1_Certificate>(certificateDer, "certificate")->SetDataTo(certificate);
    std::printf("   %s issued by %s, serial %s, %d octets of DER\n", certificate.m_subject.GetOneLine().str().c_str(),
                certificate.m_issuer.GetOneLine().str().c_str(), CString(certificate.m_serialNumber).str().c_str(),
                certificateDer.GetSize());
    walk.Check("the CA certificate verifies with its own key", ca.IsSelfSigned() && ca.IsSignatureOKFor(ca) == 1);
    walk.Check("the user certificate read back names the CA and verifies with its key",
               ca.IsIssuerOf(certificate) && certificate.IsSignatureOKFor(ca) == 1);

    walk.Step("A revocation list revoking a second certificate of the user");
    CCertificate second = certificate;
    Issue(second, ca.m_subject, *pair, 30);
    CByteArray crlDer;
    CASN1_CertificateRevocationList(RevocationList(ca, *pair, {second.m_serialNumber}, 7)).encodeTo(crlDer);
    CCertificateRevocationList crl;
    Decoded<CASN1_CertificateRevocationList>(crlDer, "list")->SetDataTo(crl);
    const std::string listed = Lines(crl);
    for (size_t at = 0, end; (end = listed.find('\n', at)) != std::string::npos; at = end + 1)
        std::printf("   %s\n", listed.substr(at, end - at).c_str());
    walk.Check("the list read back verifies with the CA's key", crl.IsSignatureOKFor(ca) == 1);
    walk.Check("it revokes the second certificate and not the first",
               second.IsPresentInCRL(crl) && !certificate.IsPresentInCRL(crl));

    walk.Step("A signed and an enveloped message (PKCS #7), opened again");
    const std::vector<unsigned char> content(text.begin(), text.end());
    walk.Check("the signed message verifies with the certificate it carries and holds the text", Holds([&] {
                   const CByteArray message = SignMessage(content, certificate, *user, "sha1", true);
                   std::printf("   signed message: %d octets\n", message.GetSize());
                   std::vector<CCertificate> signers;
                   return VerifyMessage(*Decoded<CASN1_ContentInfo>(message, "signed"), nullptr, "signed", signers) ==
                              content &&
                          signers.size() == 1 && signers[0] == certificate;
               }));
    walk.Check("the enveloped message decrypts with the user's key to the text", Holds([&] {
                   const CByteArray message = EncryptMessage(content, {certificate});
                   std::printf("   enveloped message: %d octets\n", message.GetSize());
                   CMemFile plain;
                   DecryptMessage(*Decoded<CASN1_ContentInfo>(message, "enveloped"), certificate, *user, "enveloped",
                                  plain);
                   return plain.GetLength() == content.size() &&
                          std::memcmp(plain.GetBuffer(), content.data(), content.size()) == 0;
               }));

    walk.Step("A key store in an encrypted file stream (PBKDF2-HMAC-SHA-256, triple DES), reopened");
    CASN1_KCDNs store;
    auto* entry = new CASN1_RSAKeyWithCertsAndDistinguishedName(static_cast<const CRSAPrivateKey&>(*user), "erika",
                                                                &certificate.m_subject);
    entry->AddCertificate(new CASN1_Certificate(certificate));
    store.AddObject(entry);
    const std::vector<unsigned char> storeFile = SealKeyStore(store, "demo password");
    std::printf("   one record sealed into %zu octets\n", storeFile.size());
    walk.Check("reopened with the password: the record's name, private key and certificate", Holds([&] {
                   const auto reopened = OpenKeyStore(storeFile, "demo password", "key store");
                   const CASN1_RSAKeyWithCertsAndDistinguishedName& back = (*reopened)->GetRecord(0);
                   CRSAPrivateKey key;
                   back.GetPrivateKey(key);
                   return back.GetName() == "erika" && back.GetCertificateCount() == 1 && key.bits == user->bits &&
                          std::memcmp(key.privateExponent, user->privateExponent, sizeof key.privateExponent) == 0;
               }));
    walk.Check("another password is refused",
               !Holds([&] { return OpenKeyStore(storeFile, "guess", "key store") != nullptr; }));

    walk.Step("An LDAP search request PDU, encoded and decoded again");
    SLDAPSearch search;
    search.baseObject = "dc=example,dc=com";
    search.attributes = {"cn", "mail"};
    CByteArray pdu;
    BuildLDAPMessage(7, BuildSearchRequest(search, ParseLDAPFilter("(&(objectClass=person)(cn=E*))")))->encodeTo(pdu);
    std::printf("   searchRequest of message 7: %d octets\n", pdu.GetSize());
    walk.Check("decoding the PDU and encoding it again gives the same octets", Holds([&] {
                   CByteArray back;
                   DecodeLDAPMessage(pdu.GetData(), static_cast<unsigned long>(pdu.GetSize()))->encodeTo(back);
                   return Octets(back) == Octets(pdu);
               }));
    return walk.Finish();
}

}  // namespace

void AddDemoCommand(CLI::App& app) {
    auto* demo = app.add_subcommand("demo", "Walk through the library end to end, checking every step");
    auto bits = std::make_shared<unsigned>(1024);
    demo->add_option("--bits", *bits, "RSA key size")->capture_default_str()->check(CLI::Range(512, 4096));
    demo->callback([bits] {
        const int status = RunDemo(*bits);
        if (status != 0) throw Failure("some checks failed");
    });
}

}  // namespace cli
