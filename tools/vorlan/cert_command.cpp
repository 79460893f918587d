// vorlan cert show|verify|sign: X.509 certificates read from DER or PEM, checked against an
// issuer, and self-signed ones made from a key of keygen.
#include <ctime>
#include <memory>

#include "tools/vorlan/cli.h"

namespace cli {
namespace {

CCertificate ReadCertificate(const std::string& path) {
    const CByteArray der = ReadDER(path, "CERTIFICATE");
    CDEREncoding encoding(0, der);
    encoding.AddRef();  // our own hold: the value tree shares the encoding
    CCertificate certificate;
    try {
        CASN1_Certificate(encoding).SetDataTo(certificate);
    } catch (CException* e) {
        throw Failure(path + ": " + Describe(e));
    }
    return certificate;
}

// The library's texts end lines with CR LF; a shell wants LF.
std::string Lines(const CString& text) {
    std::string lines;
    for (const char c : text.str())
        if (c != '\r') lines += c;
    return lines;
}

void Show(const std::string& path) {
    const CCertificate certificate = ReadCertificate(path);
    std::printf("%s\n", Lines(certificate).c_str());
    CCertificateExtensionArray extensions;
    try {
        certificate.GetExtensions(extensions);
    } catch (CException* e) {
        throw Failure(path + ": " + Describe(e));
    }
    std::printf("Extensions:%s\n", extensions.GetSize() ? "" : " none");
    for (int i = 0; i < extensions.GetSize(); ++i) {
        const CCertificateExtension& extension = extensions[i];
        std::string line = "   " + extension.m_strIdentifier.str();
        if (extension.m_bCritical) line += ", critical";
        if (extension.m_strIdentifier == "2.5.29.19")  // basicConstraints
            line += std::string(", cA: ") + (certificate.IsCA() ? "TRUE" : "FALSE");
        std::printf("%s\n", line.c_str());
    }
}

void Verify(const std::string& path, const std::string& issuerPath) {
    const CCertificate certificate = ReadCertificate(path);
    const CCertificate issuer = issuerPath.empty() ? certificate : ReadCertificate(issuerPath);
    const std::string by = issuerPath.empty() ? "its own key" : "the key of " + issuerPath;
    if (!(certificate.m_issuer == issuer.m_subject))
        throw Failure(path + ": its issuer is not the subject of " + (issuerPath.empty() ? path : issuerPath));
    if (!certificate.IsSignatureOKFor(issuer)) throw Failure(path + ": the signature does not verify with " + by);
    if (!certificate.IsValidationPeriodOKFor(CUTCTime()))
        throw Failure(path + ": not valid now (valid from " + certificate.m_notBefore.GetTimeAsString(1, 0).str() +
                      " until " + certificate.m_notAfter.GetTimeAsString(1, 0).str() + ")");
    std::printf("%s: OK\n", path.c_str());
}

// The attribute type written as `name` in one-line names ("CN", "emailAddress", a dotted
// identifier for a type without a short name), as the openssl -subj form names them.
DNAttrNameEnum TypeNamed(const std::string& name) {
    for (int type = 0; type < AfxGetLenArrayOfDNAttrName(); ++type) {
        CDistinguishedName probe;
        probe.Add(new CRelativeDN);
        probe[0]->Add(new CAttributeValue(static_cast<DNAttrNameEnum>(type), "x"));
        if (probe.GetOneLine().str() == name + "=x") return static_cast<DNAttrNameEnum>(type);
    }
    throw Failure("--subject: unknown attribute type \"" + name + "\"");
}

// "/C=DE/O=Example/CN=Erika": RDNs after each "/", several attributes of one RDN joined by
// "+", "\" taking the next character as it is.
CDistinguishedName ParseSubject(const std::string& text) {
    if (text.size() < 2 || text[0] != '/')
        throw Failure("--subject must read /type=value/..., for example /C=DE/O=Example/CN=Erika");
    CDistinguishedName name;
    name.Add(new CRelativeDN);
    std::string type, value;
    bool inValue = false;
    const auto finishAttribute = [&] {
        if (type.empty() || !inValue || value.empty())
            throw Failure("--subject: \"" + type + (inValue ? "=" + value : "") + "\" is not type=value");
        auto* attribute = new CAttributeValue(TypeNamed(type), value.c_str());
        name[name.GetSize() - 1]->Add(attribute);
        for (const unsigned char c : value)
            if (c >= 0x80) attribute->m_nStringType = kASN1UTF8String;  // non-ASCII text comes as UTF-8
        type.clear();
        value.clear();
        inValue = false;
    };
    for (size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            (inValue ? value : type) += text[++i];
        } else if (c == '=' && !inValue) {
            inValue = true;
        } else if (c == '+' || c == '/') {
            finishAttribute();
            if (c == '/') name.Add(new CRelativeDN);
        } else {
            (inValue ? value : type) += c;
        }
    }
    finishAttribute();
    return name;
}

struct SignOptions {
    bool self = false;
    std::string key;
    std::string subject;
    unsigned days = 365;
    std::string outform = "pem";
    std::string out;
};

void Sign(const SignOptions& o) {
    const std::unique_ptr<CRSAPublicKey> loaded = LoadKey(o.key);
    const auto* key = dynamic_cast<const CRSAPrivateKey*>(loaded.get());
    if (!key) throw Failure(o.key + ": holds a public key; signing needs a private one");
    CCertificate certificate;
    certificate.m_subject = ParseSubject(o.subject);
    certificate.m_issuer = certificate.m_subject;
    BYTE serial[16];
    CRandomsGenerator().GetRandomBlock(serial, sizeof serial);
    serial[0] &= 0x7F;  // 16 octets, positive: within the 20 that RFC 5280 allows
    certificate.m_serialNumber = CSerialNumber(serial, sizeof serial);
    const std::time_t now = std::time(nullptr);
    certificate.m_notBefore.SetTime(now);
    certificate.m_notAfter.SetTime(now + static_cast<std::time_t>(o.days) * 86400);
    // UTCTime years 50-99 read as 1950-1999 (RFC 5280): a later end would read as the past.
    if (certificate.m_notAfter.m_wYear >= 2050) throw Failure("--days: the validity must end before 2050 (UTCTime)");
    certificate.GetDataFrom(*key);
    certificate.SignWith(*key);
    CByteArray der;
    certificate.GetEncoding(der);
    OutputFile out(o.out);
    if (o.outform == "der") {
        out.File().Write(der.GetData(), static_cast<UINT>(der.GetSize()));
    } else {
        const CString pem = EncodePem("CERTIFICATE", der.GetData(), der.GetSize());
        out.File().Write(static_cast<const char*>(pem), static_cast<UINT>(pem.GetLength()));
    }
    out.Commit();
    std::printf("self-signed certificate for %s saved to %s\n", certificate.m_subject.GetOneLine().str().c_str(),
                o.out.c_str());
}

}  // namespace

void AddCertCommands(CLI::App& app) {
    auto* cert = app.add_subcommand("cert", "Show, verify and sign X.509 certificates (DER or PEM)");
    cert->require_subcommand(1);

    auto* show = cert->add_subcommand("show", "Print a certificate's fields and its extensions");
    auto showPath = std::make_shared<std::string>();
    show->add_option("file", *showPath, "certificate, DER or PEM, \"-\" for standard input")->required();
    show->callback([showPath] { Show(*showPath); });

    auto* verify = cert->add_subcommand("verify", "Check a certificate's issuer name, signature and validity now");
    auto verifyPath = std::make_shared<std::string>();
    auto issuer = std::make_shared<std::string>();
    verify->add_option("file", *verifyPath, "certificate, DER or PEM, \"-\" for standard input")->required();
    verify->add_option("--issuer", *issuer, "the issuer's certificate (default: the certificate itself)");
    verify->callback([verifyPath, issuer] { Verify(*verifyPath, *issuer); });

    auto* sign = cert->add_subcommand("sign", "Make a certificate signed with SHA-1 with RSA");
    auto options = std::make_shared<SignOptions>();
    sign->add_flag("--self", options->self, "self-signed: issuer and subject are the same")->required();
    sign->add_option("--key", options->key, "private key file written by keygen")->required();
    sign->add_option("--subject", options->subject, "subject as in openssl -subj: /C=DE/O=Example/CN=Erika")
        ->required();
    sign->add_option("--days", options->days, "days of validity from now")
        ->capture_default_str()
        ->check(CLI::Range(1u, 100000u));
    sign->add_option("--outform", options->outform, "pem or der")
        ->capture_default_str()
        ->check(CLI::IsMember({"pem", "der"}));
    sign->add_option("-o,--output", options->out, "certificate file to write")->required();
    sign->callback([options] { Sign(*options); });
}

}  // namespace cli
