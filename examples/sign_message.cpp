// Signs a file as a PKCS #7 signed message (SHA-1 with RSA, the content and the signer's
// self-signed certificate inside, as `openssl smime -sign -nodetach -noattr -binary -outform DER`),
// writes it, reads it back and verifies the signature with the certificate it carries.
//   sign_message IN MESSAGE.der
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "vorlan/vorlan.h"

static std::vector<unsigned char> ReadAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

static CByteArray Array(const std::vector<unsigned char>& octets) {
    CByteArray array;
    array.SetSize(static_cast<int>(octets.size()));
    std::copy(octets.begin(), octets.end(), array.GetData());
    return array;
}

static void Sha1(const unsigned char* data, size_t size, unsigned char (&digest)[20]) {
    CSHA1DigestMaker maker;
    maker.UpdateBlock(data, static_cast<int>(size), nullptr, 1, 1);
    maker.GetCurrentDigest(digest);
}

// A self-signed certificate of the key for /CN=<name>, valid for a day.
static CCertificate SelfSigned(const CRSAPrivateKey& key, const char* name) {
    CCertificate certificate;
    certificate.m_subject.Add(new CRelativeDN);
    certificate.m_subject[0]->Add(new CAttributeValue(dnCommonName, name));
    certificate.m_issuer = certificate.m_subject;
    certificate.GetDataFrom(key);
    const unsigned char serial[] = {0x01, 0x23, 0x45};
    certificate.m_serialNumber = CSerialNumber(serial, sizeof serial);
    certificate.m_notBefore.SetTime(std::time(nullptr));
    certificate.m_notAfter.SetTime(std::time(nullptr) + 86400);
    certificate.SignWith(key);
    return certificate;
}

static CByteArray Sign(const std::vector<unsigned char>& content, const CCertificate& certificate,
                       const CRSAPrivateKey& key) {
    unsigned char digest[20];
    Sha1(content.data(), content.size(), digest);
    CByteArray signature;
    key.LockDigest(sha1, digest, signature);  // PKCS #1 v1.5 over the DigestInfo
    auto* signer = new CASN1_SignerInfo(new CASN1_IssuerAndSerialNumber(certificate),
                                        new CASN1_AlgorithmIdentifier(new CASN1_sha1, new CASN1_NULL),
                                        new CASN1_AlgorithmIdentifier(new CASN1_rsaEncryption, new CASN1_NULL),
                                        new CASN1_OCTET_STRING(signature.GetData(), signature.GetSize()));
    auto* signedData = new CASN1_SignedData(
        new CASN1_ContentInfo(new CASN1_data, new CASN1_OCTET_STRING(content.data(), content.size())));
    const CASN1_ContentInfo message(new CASN1_signedData, signedData);
    signedData->AddSignerInfo(signer);  // and its digest algorithm
    CASN1_SET certificates;
    certificates.AddObject(new CASN1_Certificate(certificate));
    signedData->SetCertificates(certificates);
    CByteArray der;
    message.encodeTo(der);
    return der;
}

// The signer's certificate from the message, and its signature over the content checked.
static bool Verify(const CByteArray& der, std::vector<unsigned char>& content) {
    CDEREncoding encoding(0, der);
    encoding.AddRef();  // held here: the decoded values share the encoding
    CASN1_SignedData message(CASN1_ContentInfo{encoding});
    CByteArray octets;
    message.GetContentInfo().GetContent().GetClearData(octets, 1);
    content.assign(octets.GetData(), octets.GetData() + octets.GetSize());
    const std::unique_ptr<CASN1_SET> certificates(message.GetCertificates(0));
    CASN1_Certificate value;
    if (certificates->GetCount() != 1 || !value.moveFrom(certificates->GetComponent(0).clone())) return false;
    CCertificate certificate;
    value.SetDataTo(certificate);
    CRSAPublicKey key;
    certificate.SetDataTo(key);
    unsigned char digest[20];
    Sha1(content.data(), content.size(), digest);
    return message.GetSignerInfo(0).IsSignatureOKFor(key, message.GetContentInfo().GetContentType(), digest,
                                                     sizeof digest) == 1;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s IN MESSAGE.der\n", argv[0]);
        return 2;
    }
    try {
        const CRSAKeyPair key(1024, 1, nullptr, 0, nullptr);
        const std::vector<unsigned char> content = ReadAll(argv[1]);
        const CByteArray message = Sign(content, SelfSigned(key, "Example Signer"), key);
        std::ofstream(argv[2], std::ios::binary)
            .write(reinterpret_cast<const char*>(message.GetData()), message.GetSize());

        std::vector<unsigned char> verified;
        const bool ok = Verify(Array(ReadAll(argv[2])), verified) && verified == content;
        std::printf("%d-octet message: %s\n", message.GetSize(), ok ? "signature verifies" : "verification FAILED");
        return ok ? 0 : 1;
    } catch (CException* e) {
        char reason[256] = "";
        e->GetErrorMessage(reason, sizeof reason);
        e->Delete();
        std::fprintf(stderr, "sign_message: %s\n", reason);
        return 1;
    }
}
