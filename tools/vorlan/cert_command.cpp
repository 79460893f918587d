// vorlan cert show|verify|sign: X.509 certificates read from DER or PEM, shown with their
// extensions, checked against an issuer and its revocation list, issued self-signed or from a
// request with a CA's key (version 3 for a CA or an S/MIME user).
#include <memory>
#include <vector>

#include "tools/vorlan/cli.h"

namespace cli {
namespace {

// Octets in upper-case hex, ":" between them, as openssl prints identifiers.
std::string ColonHex(const CByteArray& octets) {
    std::string text;
    for (int i = 0; i < octets.GetSize(); ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, i ? ":%02X" : "%02X", octets[i]);
        text += pair;
    }
    return text;
}

// The names of the bits set in `flags`, bit n named names[n].
std::string BitNames(WORD flags, const std::vector<const char*>& names) {
    std::string text;
    for (std::size_t n = 0; n < names.size(); ++n)
        if (flags & (1u << n)) text += (text.empty() ? "" : ", ") + std::string(names[n]);
    return text;
}

std::string Address(const CByteArray& octets) {
    const int size = octets.GetSize(), half = size == 8 || size == 32 ? size / 2 : size;
    std::string text;
    for (int i = 0; i < size; ++i) {
        char part[8];
        if (half == 4)
            std::snprintf(part, sizeof part, i % 4 ? ".%d" : "%d", octets[i]);
        else
            std::snprintf(part, sizeof part, i % 16 == 0 ? "%02X" : i % 2 ? "%02X" : ":%02X", octets[i]);
        if (i == half) text += "/";
        text += part;
    }
    return text;
}

// A GeneralName as openssl prints one: "email:a@example.org", "DNS:example.org" ...
std::string NameText(const CGeneralName& name) {
    switch (name.m_kind) {
        case CGeneralName::kRfc822Name: return "email:" + name.m_strText.str();
        case CGeneralName::kDNSName: return "DNS:" + name.m_strText.str();
        case CGeneralName::kURI: return "URI:" + name.m_strText.str();
        case CGeneralName::kIPAddress: return "IP:" + Address(name.m_abOctets);
        case CGeneralName::kDirectoryName: return "DirName:" + name.m_directoryName.GetOneLine().str();
        case CGeneralName::kRegisteredID: return "RID:" + name.m_strText.str();
        case CGeneralName::kOtherName: return "othername:" + ColonHex(name.m_abOctets);
        case CGeneralName::kX400Address: return "X400Name:" + ColonHex(name.m_abOctets);
        case CGeneralName::kEdiPartyName: return "EdiPartyName:" + ColonHex(name.m_abOctets);
    }
    return "?";
}

std::string NamesText(const CGeneralNames& names) {
    std::string text;
    for (const CGeneralName& name : names) text += (text.empty() ? "" : ", ") + NameText(name);
    return text;
}

std::string PurposeText(const CString& dotted) {
    static const std::pair<const char*, const char*> kPurposes[] = {
        {"1.3.6.1.5.5.7.3.1", "serverAuth"},     {"1.3.6.1.5.5.7.3.2", "clientAuth"},
        {"1.3.6.1.5.5.7.3.3", "codeSigning"},    {"1.3.6.1.5.5.7.3.4", "emailProtection"},
        {"1.3.6.1.5.5.7.3.8", "timeStamping"},   {"1.3.6.1.5.5.7.3.9", "OCSPSigning"},
        {"2.5.29.37.0", "anyExtendedKeyUsage"}};
    for (const auto& [identifier, name] : kPurposes)
        if (dotted == identifier) return name;
    return dotted.str();
}

// The lines of a typed value below its extension's line, each "      <field>: <value>"; the
// basicConstraints value goes on the extension's line itself.
std::vector<std::string> ValueLines(const CCertificateExtensions& v) {
    static const std::vector<const char*> kUsages = {"digitalSignature", "nonRepudiation", "keyEncipherment",
                                                     "dataEncipherment", "keyAgreement",   "keyCertSign",
                                                     "cRLSign",          "encipherOnly",   "decipherOnly"};
    static const std::vector<const char*> kReasons = {"unused",     "keyCompromise",        "cACompromise",
                                                      "affiliationChanged", "superseded",  "cessationOfOperation",
                                                      "certificateHold",    "privilegeWithdrawn", "aACompromise"};
    std::vector<std::string> lines;
    const auto line = [&](const std::string& field, const std::string& value) { lines.push_back("      " + field + ": " + value); };
    if (v.keyUsage) line("keyUsage", BitNames(*v.keyUsage, kUsages));
    if (v.extendedKeyUsage) {
        std::string purposes;
        for (const CString& purpose : *v.extendedKeyUsage) purposes += (purposes.empty() ? "" : ", ") + PurposeText(purpose);
        line("extendedKeyUsage", purposes);
    }
    if (v.subjectKeyIdentifier.GetSize()) line("subjectKeyIdentifier", ColonHex(v.subjectKeyIdentifier));
    if (const auto& aki = v.authorityKeyIdentifier) {
        if (aki->keyIdentifier.GetSize()) line("keyIdentifier", ColonHex(aki->keyIdentifier));
        if (!aki->issuer.empty()) line("authorityCertIssuer", NamesText(aki->issuer));
        if (aki->serialNumber) line("authorityCertSerialNumber", CString(*aki->serialNumber).str());
    }
    if (v.subjectAltName) line("subjectAltName", NamesText(*v.subjectAltName));
    if (v.certificatePolicies) {
        std::string policies;
        for (const CString& policy : *v.certificatePolicies) policies += (policies.empty() ? "" : ", ") + policy.str();
        line("certificatePolicies", policies);
    }
    if (v.nameConstraints) {
        if (!v.nameConstraints->permitted.empty()) line("permittedSubtrees", NamesText(v.nameConstraints->permitted));
        if (!v.nameConstraints->excluded.empty()) line("excludedSubtrees", NamesText(v.nameConstraints->excluded));
    }
    for (const SDistributionPoint& point : v.crlDistributionPoints.value_or(std::vector<SDistributionPoint>())) {
        std::string text = NamesText(point.fullName);
        if (point.relativeName) {
            CDistinguishedName relative;
            relative.Add(new CRelativeDN(*point.relativeName));
            text = "relative " + relative.GetOneLine().str();
        }
        if (point.reasons) text += " (reasons " + BitNames(*point.reasons, kReasons) + ")";
        if (!point.crlIssuer.empty()) text += " (cRLIssuer " + NamesText(point.crlIssuer) + ")";
        line("distributionPoint", text);
    }
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
        std::vector<std::string> lines;
        try {
            CCertificateExtensionArray one;
            one.Add(extension);
            const CCertificateExtensions value(one);
            if (const auto& basic = value.basicConstraints) {
                line += std::string(", cA: ") + (basic->ca ? "TRUE" : "FALSE");
                if (basic->pathLength >= 0) line += ", pathLenConstraint: " + std::to_string(basic->pathLength);
            }
            lines = ValueLines(value);
        } catch (CException* e) {
            lines = {"      not readable: " + Describe(e)};
        }
        std::printf("%s\n", line.c_str());
        for (const std::string& detail : lines) std::printf("%s\n", detail.c_str());
    }
}

// One level: the issuer given (or the certificate itself), and the one list of that issuer.
void VerifyIssuedBy(const CCertificate& certificate, const std::string& path, const std::string& issuerPath,
                    const std::string& crlPath) {
    const CCertificate issuer = issuerPath.empty() ? certificate : ReadCertificate(issuerPath);
    VerifyIssued(certificate, path, issuer, issuerPath);
    if (!crlPath.empty()) {
        const CCertificateRevocationList crl = ReadCRL(crlPath);
        VerifyCRL(crl, crlPath, issuer, issuerPath.empty() ? path : issuerPath);
        const int entry = FindRevocation(crl, crlPath, certificate, path);
        if (entry >= 0)
            throw Failure(path + ": revoked on " + crl.m_entries[entry]->m_revocationDate.GetTimeAsString(1, 0).str() +
                          " (" + crlPath + ")");
    }
    std::printf("%s: OK\n", path.c_str());
}

// With --issuer, or for a self-signed certificate without path options, the one-level check; else
// the whole path to a trust anchor.
void Verify(const std::string& path, const std::string& issuerPath, const PathOptions& options) {
    if (!issuerPath.empty() && options.PathAsked())
        throw Failure("--issuer checks one level; --CAfile, --untrusted, --crl-check-all and --at validate a path");
    const CByteArray der = ReadDER(path, "CERTIFICATE");  // once: the path may be standard input
    if (!issuerPath.empty() || !options.PathAsked()) {
        CCertificate certificate;
        try {
            Decoded<CASN1_Certificate>(der, path)->SetDataTo(certificate);
        } catch (CException* e) {
            throw Failure(path + ": " + Describe(e));
        }
        if (!issuerPath.empty() || certificate.IsSelfSigned()) {
            if (options.crls.size() > 1) throw Failure("--issuer takes one --crl, the issuer's");
            VerifyIssuedBy(certificate, path, issuerPath, options.crls.empty() ? "" : options.crls.front());
            return;
        }
    }
    const PathInputs inputs(options);
    const std::string lines = ValidatePath(inputs.Validator(), der, path);
    std::printf("%s: OK\n%s", path.c_str(), lines.c_str());
}

struct SignOptions {
    bool self = false;
    bool ca = false;
    std::string email;
    std::string request;
    std::string issuer;
    std::string key;
    std::string subject;
    unsigned days = 365;
    std::string md;
    std::string outform;
    std::string out;
};

// The extensions of a CA (`ca`) or of an S/MIME user of `email`, for `certificate` issued by
// the holder of `issuerKeyIdentifier`: version 3.
void AddProfile(CCertificate& certificate, bool ca, const std::string& email, const CByteArray& issuerKeyIdentifier) {
    const SBasicConstraints constraints{ca, -1};
    std::vector<CCertificateExtension> extensions = {BasicConstraintsExtension(constraints)};
    if (ca) {
        extensions.push_back(KeyUsageExtension(kKeyCertSign | kCRLSign));
    } else {
        CGeneralName address;
        address.m_kind = CGeneralName::kRfc822Name;
        address.m_strText = email.c_str();
        extensions.push_back(KeyUsageExtension(kDigitalSignature | kNonRepudiation | kKeyEncipherment));
        extensions.push_back(ExtendedKeyUsageExtension({vorlan::oid::kEmailProtection}));
        extensions.push_back(SubjectAltNameExtension({address}));
    }
    extensions.push_back(SubjectKeyIdentifierExtension(KeyIdentifierOf(certificate)));
    extensions.push_back(AuthorityKeyIdentifierExtension(issuerKeyIdentifier));
    certificate.m_bVersion = 2;
    for (const CCertificateExtension& extension : extensions) certificate.m_extensions.Add(extension);
}

void Sign(const SignOptions& o) {
    if (o.self == !o.request.empty()) throw Failure("cert sign needs either --self or --req");
    if (o.self ? o.subject.empty() : o.issuer.empty())
        throw Failure(o.self ? "--self needs --subject" : "--req needs --issuer-cert");
    if (o.ca && !o.email.empty()) throw Failure("cert sign takes --ca or --email, not both");
    const std::unique_ptr<CRSAPrivateKey> key = LoadPrivateKey(o.key);
    CCertificate certificate;
    CDistinguishedName issuerName;
    CByteArray issuerKeyIdentifier;
    if (o.self) {
        certificate.m_subject = ParseSubject(o.subject);
        certificate.GetDataFrom(*key);
        issuerName = certificate.m_subject;
        issuerKeyIdentifier = KeyIdentifierOf(certificate);
    } else {
        TakeRequest(*Decoded<CASN1_CertificationRequest>(o.request, "CERTIFICATE REQUEST"), o.request, certificate);
        if (!o.subject.empty()) certificate.m_subject = ParseSubject(o.subject);
        const CCertificate issuer = ReadCertificate(o.issuer);
        RequireKeyOf(*key, o.key, issuer, o.issuer);
        issuerName = issuer.m_subject;
        if (o.ca || !o.email.empty()) {
            try {
                issuerKeyIdentifier = IssuerKeyIdentifierOf(issuer);
            } catch (CException* e) {
                throw Failure(o.issuer + ": " + Describe(e));
            }
        }
    }
    if (o.ca || !o.email.empty()) AddProfile(certificate, o.ca, o.email, issuerKeyIdentifier);
    Issue(certificate, issuerName, *key, o.days, o.md);
    CByteArray der;
    certificate.GetEncoding(der);
    WriteEncoded(o.out, der, "CERTIFICATE", o.outform);
    std::printf("certificate for %s issued by %s saved to %s\n", certificate.m_subject.GetOneLine().str().c_str(),
                certificate.m_issuer.GetOneLine().str().c_str(), o.out.c_str());
}

}  // namespace

void AddCertCommands(CLI::App& app) {
    auto* cert = app.add_subcommand("cert", "Show, verify and sign X.509 certificates (DER or PEM)");
    cert->require_subcommand(1);

    auto* show = cert->add_subcommand("show", "Print a certificate's fields and its extensions");
    auto showPath = std::make_shared<std::string>();
    show->add_option("file", *showPath, "certificate, DER or PEM, \"-\" for standard input")->required();
    show->callback([showPath] { Show(*showPath); });

    auto* verify = cert->add_subcommand(
        "verify",
        "Validate a certificate's path to a trust anchor (RFC 5280: signatures, validity, basic constraints, key "
        "usage, name constraints, revocation lists), or with --issuer check one level: the issuer's name, signature "
        "and validity now, and that a list does not revoke it");
    auto verifyPath = std::make_shared<std::string>();
    auto issuer = std::make_shared<std::string>();
    auto pathOptions = std::make_shared<PathOptions>();
    verify->add_option("file", *verifyPath, "certificate, DER or PEM, \"-\" for standard input")->required();
    verify->add_option("--issuer", *issuer,
                       "check one level with the issuer's certificate (without it, a self-signed certificate is "
                       "checked with its own key unless a path option is given)");
    verify->add_option("--crl", pathOptions->crls,
                       "a revocation list: with --issuer the issuer's, checked with its key and for the serial; for a "
                       "path, repeatable, each certificate's found by its issuer's name");
    AddPathOptions(verify, *pathOptions);
    verify->callback([verifyPath, issuer, pathOptions] { Verify(*verifyPath, *issuer, *pathOptions); });

    auto* sign = cert->add_subcommand(
        "sign",
        "Issue a certificate signed with RSA: self-signed, or from a request with a CA's key "
        "(as openssl x509 -req); version 1, or version 3 with the extensions of --ca or --email");
    auto options = std::make_shared<SignOptions>();
    sign->add_flag("--self", options->self, "self-signed: issuer and subject are the same, the key is --key's");
    sign->add_flag("--ca", options->ca,
                   "a version 3 CA certificate: basicConstraints cA and keyUsage keyCertSign, cRLSign (both "
                   "critical), subject and authority key identifiers");
    sign->add_option("--email", options->email,
                     "a version 3 S/MIME certificate for this address: basicConstraints not a CA, keyUsage "
                     "digitalSignature, nonRepudiation, keyEncipherment (critical), extendedKeyUsage emailProtection, "
                     "subjectAltName rfc822Name, key identifiers");
    sign->add_option("--req", options->request, "certificate request (DER or PEM) giving subject and key");
    sign->add_option("--issuer-cert", options->issuer, "with --req: the CA's certificate, whose subject is the issuer");
    sign->add_option("--key", options->key, "the signer's private key: keygen's file or PEM (PKCS #1, PKCS #8)")
        ->required();
    sign->add_option("--subject", options->subject,
                     "subject as in openssl -subj: /C=DE/O=Example/CN=Erika (with --req: replaces the request's)");
    AddMd(sign, options->md);
    sign->add_option("--days", options->days, "days of validity from now")
        ->capture_default_str()
        ->check(CLI::Range(1u, 100000u));
    AddOutform(sign, options->outform);
    sign->add_option("-o,--output", options->out, "certificate file to write")->required();
    sign->callback([options] { Sign(*options); });
}

}  // namespace cli
