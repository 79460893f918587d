// Makes a CA key pair and a self-signed CA certificate, a user key pair and a user certificate
// issued by the CA, writes both as PEM, reads the user certificate back and verifies it.
//   issue_certificate CA.pem USER.pem
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "vorlan/vorlan.h"

// A one-attribute name: /C=DE/O=Example/CN=<commonName>.
static CDistinguishedName Name(const char* commonName) {
    CDistinguishedName name;
    const struct {
        DNAttrNameEnum type;
        const char* value;
    } parts[] = {{dnCountryName, "DE"}, {dnOrganizationName, "Example"}, {dnCommonName, commonName}};
    for (const auto& part : parts) {
        name.Add(new CRelativeDN);
        name[name.GetSize() - 1]->Add(new CAttributeValue(part.type, part.value));
    }
    return name;
}

// Subject, key, issuer, a random serial, 30 days from now, signed (SHA-1 with RSA) by `signer`.
static CCertificate Issue(const CDistinguishedName& subject, const CRSAPublicKey& key, const CDistinguishedName& issuer,
                          const CRSAPrivateKey& signer) {
    CCertificate certificate;
    certificate.m_subject = subject;
    certificate.m_issuer = issuer;
    certificate.GetDataFrom(key);
    unsigned char serial[16];
    CRandomsGenerator().GetRandomBlock(serial, sizeof serial);
    serial[0] = (serial[0] & 0x7F) | 0x01;
    certificate.m_serialNumber = CSerialNumber(serial, sizeof serial);
    certificate.m_notBefore.SetTime(std::time(nullptr));
    certificate.m_notAfter.SetTime(std::time(nullptr) + 30 * 86400);
    certificate.SignWith(signer);
    return certificate;
}

static void WritePem(const char* path, const CCertificate& certificate) {
    CByteArray der;
    certificate.GetEncoding(der);
    std::ofstream(path, std::ios::binary) << EncodePem("CERTIFICATE", der.GetData(), der.GetSize()).str();
}

static CCertificate ReadPem(const char* path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    CArray<SPemBlock> blocks;
    if (DecodePem(text.data(), static_cast<int>(text.size()), blocks) != 1)
        throw std::runtime_error("not one PEM block");
    CDEREncoding encoding(0, blocks[0].octets);
    encoding.AddRef();  // held here: the decoded values share the encoding
    CCertificate certificate;
    CASN1_Certificate(encoding).SetDataTo(certificate);
    return certificate;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s CA.pem USER.pem\n", argv[0]);
        return 2;
    }
    try {
        const CRSAKeyPair caKey(1024, 1, nullptr, 0, nullptr);  // 1,024 bits, e = 65537
        const CRSAKeyPair userKey(1024, 1, nullptr, 0, nullptr);
        const CCertificate ca = Issue(Name("Example CA"), caKey, Name("Example CA"), caKey);
        WritePem(argv[1], ca);
        WritePem(argv[2], Issue(Name("Erika"), userKey, ca.m_subject, caKey));

        const CCertificate user = ReadPem(argv[2]);
        std::printf("%s\n", CString(user).str().c_str());
        const bool ok = ca.IsIssuerOf(user) && user.IsSignatureOKFor(ca);
        std::printf("%s\n", ok ? "user certificate verifies with the CA" : "verification FAILED");
        return ok ? 0 : 1;
    } catch (CException* e) {
        char reason[256] = "";
        e->GetErrorMessage(reason, sizeof reason);
        e->Delete();
        std::fprintf(stderr, "issue_certificate: %s\n", reason);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "issue_certificate: %s\n", e.what());
    }
    return 1;
}
