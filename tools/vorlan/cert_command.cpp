// vorlan cert show|verify|sign: X.509 certificates read from DER or PEM, checked against an
// issuer and its revocation list, issued self-signed or from a request with a CA's key.
#include <memory>

#include "tools/vorlan/cli.h"

namespace cli {
namespace {

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
    std::string request;
    std::string issuer;
    std::string key;
    std::string subject;
    unsigned days = 365;
    std::string md;
    std::string outform;
    std::string out;
};

void Sign(const SignOptions& o) {
    if (o.self == !o.request.empty()) throw Failure("cert sign needs either --self or --req");
    if (o.self ? o.subject.empty() : o.issuer.empty())
        throw Failure(o.self ? "--self needs --subject" : "--req needs --issuer-cert");
    const std::unique_ptr<CRSAPrivateKey> key = LoadPrivateKey(o.key);
    CCertificate certificate;
    CDistinguishedName issuerName;
    if (o.self) {
        certificate.m_subject = ParseSubject(o.subject);
        certificate.GetDataFrom(*key);
        issuerName = certificate.m_subject;
    } else {
        TakeRequest(*Decoded<CASN1_CertificationRequest>(o.request, "CERTIFICATE REQUEST"), o.request, certificate);
        if (!o.subject.empty()) certificate.m_subject = ParseSubject(o.subject);
        const CCertificate issuer = ReadCertificate(o.issuer);
        RequireKeyOf(*key, o.key, issuer, o.issuer);
        issuerName = issuer.m_subject;
    }
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
        "(as openssl x509 -req)");
    auto options = std::make_shared<SignOptions>();
    sign->add_flag("--self", options->self, "self-signed: issuer and subject are the same, the key is --key's");
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
