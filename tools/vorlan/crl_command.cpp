// vorlan crl show|verify|check|sign: revocation lists read from DER or PEM, checked against
// their issuer, asked about a certificate, and issued from serial numbers with a CA's key.
#include <cstdint>
#include <memory>
#include <optional>

#include "tools/vorlan/cli.h"

namespace cli {

void VerifyCRL(const CCertificateRevocationList& crl, const std::string& crlPath, const CCertificate& issuer,
               const std::string& issuerPath) {
    if (!(crl.m_issuer == issuer.m_subject))
        throw Failure(crlPath + ": its issuer is not the subject of " + issuerPath);
    if (!crl.IsSignatureOKFor(issuer))
        throw Failure(crlPath + ": the signature does not verify with the key of " + issuerPath + Because());
    const CUTCTime now;
    // A list that names no next update is never out of date by its dates.
    if (!(crl.m_lastUpdate <= now && (!crl.m_bHasNextUpdate || now <= crl.m_nextUpdate)))
        throw Failure(crlPath + ": not current (last update " + crl.m_lastUpdate.GetTimeAsString(1, 0).str() +
                      ", next update " + crl.m_nextUpdate.GetTimeAsString(1, 0).str() + ")");
}

void RequireDecisive(const CCertificateRevocationList& crl, const std::string& crlPath) {
    const CString unknown = crl.GetUnknownCriticalExtension();
    if (!unknown.IsEmpty())
        throw Failure(crlPath + ": its critical extension " + unknown.str() +
                      " is not applied here, so the list cannot decide revocation");
}

int FindRevocation(const CCertificateRevocationList& crl, const std::string& crlPath, const CCertificate& certificate,
                   const std::string& certificatePath) {
    if (!(crl.m_issuer == certificate.m_issuer))
        throw Failure(crlPath + ": not a list of the issuer of " + certificatePath);
    RequireDecisive(crl, crlPath);
    return crl.FindSerial(certificate.m_serialNumber);
}

CCertificateRevocationList RevocationList(const CCertificate& issuer, const CRSAPrivateKey& key,
                                          const std::vector<CSerialNumber>& serials, unsigned days,
                                          const std::string& md, std::optional<std::uint64_t> number) {
    CCertificateRevocationList crl;
    crl.m_issuer = issuer.m_subject;
    SetValidity(crl.m_lastUpdate, crl.m_nextUpdate, days);
    for (const CSerialNumber& serial : serials) crl.m_entries.Add(new CCRLEntry(serial, crl.m_lastUpdate));
    // Without a number given, the second of the last update: a later list has a greater one.
    std::uint64_t value = number.value_or(static_cast<std::uint64_t>(crl.m_lastUpdate.GetTime()));
    BYTE octets[8];
    for (int i = 7; i >= 0; --i, value >>= 8) octets[i] = static_cast<BYTE>(value);
    crl.m_bVersion = 1;
    crl.m_extensions.Add(AuthorityKeyIdentifierExtension(IssuerKeyIdentifierOf(issuer)));
    crl.m_extensions.Add(CRLNumberExtension(CSerialNumber(octets, sizeof octets)));
    crl.SignWith(key, SignatureAlgorithmOf(md));
    return crl;
}

namespace {

void Show(const std::string& path) {
    const CCertificateRevocationList crl = ReadCRL(path);
    std::printf("%s", Lines(crl).c_str());
}

void Verify(const std::string& path, const std::string& issuerPath) {
    const CCertificateRevocationList crl = ReadCRL(path);
    VerifyCRL(crl, path, ReadCertificate(issuerPath), issuerPath);
    RequireDecisive(crl, path);
    std::printf("%s: OK\n", path.c_str());
}

// Exit status 0 when the certificate is not revoked, 1 when it is (like a failed verify).
void Check(const std::string& path, const std::string& certificatePath, const std::string& issuerPath) {
    const CCertificateRevocationList crl = ReadCRL(path);
    if (!issuerPath.empty()) VerifyCRL(crl, path, ReadCertificate(issuerPath), issuerPath);
    const CCertificate certificate = ReadCertificate(certificatePath);
    const int entry = FindRevocation(crl, path, certificate, certificatePath);
    const std::string serial = CString(certificate.m_serialNumber).str();
    if (entry < 0) {
        std::printf("%s: serial %s not revoked\n", certificatePath.c_str(), serial.c_str());
        return;
    }
    std::printf("%s: serial %s revoked on %s\n", certificatePath.c_str(), serial.c_str(),
                crl.m_entries[entry]->m_revocationDate.GetTimeAsString(1, 0).str().c_str());
    throw Exit{1};
}

struct SignOptions {
    std::optional<std::uint64_t> number;
    std::string issuer;
    std::string key;
    std::vector<std::string> serials;
    unsigned days = 30;
    std::string md;
    std::string outform;
    std::string out;
};

// A serial number as openssl prints it: hexadecimal digits, optionally with ":" between octets.
CSerialNumber ParseSerial(const std::string& text) {
    std::string digits;
    for (const char c : text)
        if (c != ':') digits += c;
    if (digits.size() % 2) digits.insert(digits.begin(), '0');
    if (digits.empty() || digits.size() > 2 * CSerialNumber::kMaxOctets)
        throw Failure("serial \"" + text + "\" must be 1 to " + std::to_string(2 * CSerialNumber::kMaxOctets) +
                      " hexadecimal digits");
    const std::vector<unsigned char> octets = ParseHex(digits, 0, ("serial \"" + text + "\"").c_str());
    return CSerialNumber(octets.data(), static_cast<int>(octets.size()));
}

void Sign(const SignOptions& o) {
    const std::unique_ptr<CRSAPrivateKey> key = LoadPrivateKey(o.key);
    const CCertificate issuer = ReadCertificate(o.issuer);
    RequireKeyOf(*key, o.key, issuer, o.issuer);
    std::vector<CSerialNumber> serials;
    for (const std::string& serial : o.serials) serials.push_back(ParseSerial(serial));
    CCertificateRevocationList crl;
    try {
        crl = RevocationList(issuer, *key, serials, o.days, o.md, o.number);
    } catch (CDERDecodingException* e) {
        throw Failure(o.issuer + ": " + Describe(e));  // its extensions do not read
    }
    CByteArray der;
    CASN1_CertificateRevocationList(crl).encodeTo(der);
    WriteEncoded(o.out, der, "X509 CRL", o.outform);
    std::printf("revocation list of %s with %zu serial numbers saved to %s\n", crl.m_issuer.GetOneLine().str().c_str(),
                o.serials.size(), o.out.c_str());
}

}  // namespace

void AddCrlCommands(CLI::App& app) {
    auto* crl = app.add_subcommand("crl", "Show, verify, ask and sign certificate revocation lists (DER or PEM)");
    crl->require_subcommand(1);
    const char* listHelp = "revocation list, DER or PEM, \"-\" for standard input";

    auto* show = crl->add_subcommand("show", "Print a list's issuer, update times and revoked serial numbers");
    auto showPath = std::make_shared<std::string>();
    show->add_option("file", *showPath, listHelp)->required();
    show->callback([showPath] { Show(*showPath); });

    auto* verify = crl->add_subcommand("verify", "Check a list's issuer name, signature and that it is current");
    auto verifyPath = std::make_shared<std::string>();
    auto issuer = std::make_shared<std::string>();
    verify->add_option("file", *verifyPath, listHelp)->required();
    verify->add_option("--issuer", *issuer, "the issuer's certificate")->required();
    verify->callback([verifyPath, issuer] { Verify(*verifyPath, *issuer); });

    auto* check = crl->add_subcommand(
        "check", "Tell whether a list revokes a certificate, with the date; exit status 1 when it does");
    auto checkPath = std::make_shared<std::string>();
    auto certificate = std::make_shared<std::string>();
    auto checkIssuer = std::make_shared<std::string>();
    check->add_option("file", *checkPath, listHelp)->required();
    check->add_option("certificate", *certificate, "certificate to look up, DER or PEM")->required();
    check->add_option("--issuer", *checkIssuer, "verify the list with the issuer's certificate first");
    check->callback([checkPath, certificate, checkIssuer] { Check(*checkPath, *certificate, *checkIssuer); });

    auto* sign = crl->add_subcommand(
        "sign", "Issue a version 2 list revoking serial numbers now, with a CRL number and the CA's key identifier, "
                "signed with RSA");
    auto options = std::make_shared<SignOptions>();
    sign->add_option("serial", options->serials, "serial numbers to revoke, hexadecimal (as openssl prints them)");
    sign->add_option("--issuer-cert", options->issuer, "the CA's certificate, whose subject is the list's issuer")
        ->required();
    sign->add_option("--number", options->number,
                     "the list's CRL number, decimal (default: the seconds since 1970 of its last update, so that "
                     "a later list has a greater number)");
    sign->add_option("--key", options->key, "the CA's private key: keygen's file or PEM (PKCS #1, PKCS #8)")
        ->required();
    AddMd(sign, options->md);
    sign->add_option("--days", options->days, "days until the next update")
        ->capture_default_str()
        ->check(CLI::Range(1u, 100000u));
    AddOutform(sign, options->outform);
    sign->add_option("-o,--output", options->out, "list file to write")->required();
    sign->callback([options] { Sign(*options); });
}

}  // namespace cli
