// Shared pieces of the vorlan command-line program: failures as one line, a terminal
// progress bar fed by the library's progress messages, input reading and output files
// that appear only when complete.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "vorlan/support/wipe.h"
#include "vorlan/vorlan.h"

namespace cli {

// A failure reported as one line on standard error with exit status 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// An answer that ends the program with `status` after what it printed (no message).
struct Exit {
    int status;
};

// The one-line text of a library exception; releases it.
std::string Describe(CException* e);
// " (<reason>)": why the last check of the calling thread that gave 0 failed.
std::string Because();

// Draws a bar on standard error when it is a terminal. The expected total is in hint
// units; 0 takes the total from the range the library sets up.
class TerminalProgress : public CMessageReceiver {
public:
    explicit TerminalProgress(std::string label, unsigned long long expectedHints = 0);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL PostMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // A CProgress that sends to this bar; null when standard error is not a terminal.
    CProgress* Progress() { return m_enabled ? &m_progress : nullptr; }
    // A CProgress that always sends here: messages are counted even when nothing is drawn.
    CProgress* Receiver() { return &m_progress; }
    unsigned long Messages() const { return m_messages; }
    void Finish();

private:
    void Draw();

    std::string m_label;
    unsigned long long m_expected;
    unsigned long long m_total = 0;
    unsigned long long m_position = 0;
    int m_drawnPercent = -1;
    unsigned long m_messages = 0;
    bool m_enabled;
    bool m_finished = false;
    CProgress m_progress;
};

// Opens a file for reading or fails with the file error's text.
void OpenInput(CFile& file, const std::string& path);

// The whole of a file, or of standard input for "-".
std::vector<unsigned char> ReadAll(const std::string& path);

// Appends the PEM blocks of a file (or standard input), or, when it holds none, one unlabelled
// block of its octets as they are (DER).
void ReadBlocks(const std::string& path, CArray<SPemBlock>& blocks);
// The DER of a file: its first PEM block labelled `label`, or its octets when it holds no PEM.
CByteArray ReadDER(const std::string& path, const char* label);

// The value of class `Value` decoded from the DER of a file (see ReadDER), which must hold that one
// element; the encoding lives as long as the value. A decoding failure reads "<path>: <the library's
// reason>".
template <class Value>
class Decoded {
public:
    Decoded(const std::string& path, const char* label) : Decoded(ReadDER(path, label), path) {}
    // From octets; `name` opens the failure's text.
    Decoded(const CByteArray& der, const std::string& name) : m_der(der), m_encoding(0, m_der) {
        m_encoding.AddRef();  // our own hold: the value tree shares the encoding
        try {
            m_value = std::make_unique<Value>(m_encoding);
        } catch (CException* e) {
            throw Failure(name + ": " + Describe(e));
        }
        // One element is the whole input: octets after it would pass unsigned and unseen.
        if (const unsigned long trailing = m_encoding.Remaining())
            throw Failure(name + ": " + std::to_string(trailing) +
                          (trailing == 1 ? " trailing octet" : " trailing octets") + " after the DER");
    }
    Decoded(const Decoded&) = delete;
    Decoded& operator=(const Decoded&) = delete;
    Value& operator*() const { return *m_value; }
    Value* operator->() const { return m_value.get(); }

private:
    CByteArray m_der;  // the octets may be secret (a key store's): wiped when freed
    CDEREncoding m_encoding;
    std::unique_ptr<Value> m_value;
};

// A certificate or a revocation list read from DER or PEM; "<path>: <reason>" when it is not one.
CCertificate ReadCertificate(const std::string& path);
CCertificateRevocationList ReadCRL(const std::string& path);

// The RSA key of an archive written by keygen (private) or of a public key archive, or an RSA
// private key in PEM as openssl writes it (PKCS #1 "RSA PRIVATE KEY", unencrypted PKCS #8 "PRIVATE KEY").
std::unique_ptr<CRSAPublicKey> LoadKey(const std::string& path);
// The same, refused unless it is a private key.
std::unique_ptr<CRSAPrivateKey> LoadPrivateKey(const std::string& path);
// Fails unless `key` is the key of `certificate`: what it signed would never verify.
void RequireKeyOf(const CRSAPrivateKey& key, const std::string& keyPath, const CCertificate& certificate,
                  const std::string& certificatePath);
// Fails unless `issuer` (read from `issuerPath`; empty: the certificate itself) names and signed the
// certificate and the certificate is valid now.
void VerifyIssued(const CCertificate& certificate, const std::string& path, const CCertificate& issuer,
                  const std::string& issuerPath);
// Fails unless `crl` names `issuer`'s subject, its signature verifies with that key and it is current.
void VerifyCRL(const CCertificateRevocationList& crl, const std::string& crlPath, const CCertificate& issuer,
               const std::string& issuerPath);
// Fails when `crl` has a critical extension the library does not apply (a delta list, an issuing
// distribution point, an entry of another issuer ...): such a list must not decide revocation.
void RequireDecisive(const CCertificateRevocationList& crl, const std::string& crlPath);
// The index of the entry of `crl` revoking the certificate, -1 when there is none; fails when
// the list is of another issuer or cannot decide revocation.
int FindRevocation(const CCertificateRevocationList& crl, const std::string& crlPath, const CCertificate& certificate,
                   const std::string& certificatePath);

// Path validation as `cert verify` and `smime verify` run it: trust anchors from --CAfile (a bundle,
// a file or a folder of PEM and DER files; the system's bundle by default), intermediates from
// --untrusted, lists from --crl (repeatable; every certificate needs one with --crl-check-all),
// and the validation time --at.
struct PathOptions {
    std::string caFile;
    std::string untrusted;
    std::vector<std::string> crls;
    bool crlCheckAll = false;
    std::string at;
    // Whether any option but --crl asks for a path.
    bool PathAsked() const { return !caFile.empty() || !untrusted.empty() || crlCheckAll || !at.empty(); }
};
void AddPathOptions(CLI::App* command, PathOptions& options);
// The anchors, intermediates and lists of the options, read once.
class PathInputs {
public:
    explicit PathInputs(const PathOptions& options);
    // A validator over them, at the time and with the list requirement of the options.
    CPathValidator Validator() const;
    // Certificates that may complete a path beside --untrusted (a message's own).
    CCertificateStore& Intermediates() { return m_intermediates; }

private:
    CCertificateStore m_anchors;
    CCertificateStore m_intermediates;
    CRevocationLists m_lists;
    SPathOptions m_options;
};
// The path of the certificate whose DER is `der`, validated; fails with "<name>: <which certificate
// failed and why>". Returns the path's lines: each certificate's depth and subject, the anchor last.
std::string ValidatePath(const CPathValidator& validator, const CByteArray& der, const std::string& name);

// The library's texts end lines with CR LF; a shell wants LF.
std::string Lines(const CString& text);
// A name in the openssl -subj form: "/C=DE/O=Example/CN=Erika", several attributes of one
// RDN joined by "+", "\" taking the next character as it is.
CDistinguishedName ParseSubject(const std::string& text);
// A digest maker by name (md2, md5, sha1, sha256, sha384, sha512), its digest size and the
// octets of its blocks (one progress hint each).
struct Digest {
    std::unique_ptr<CDigestMaker> maker;
    int size;
    int block;
};
Digest MakeDigest(const std::string& name);

// A key field's octets from the first non-zero one, in hexadecimal.
std::string FieldHex(const BYTE* field, size_t size);
// A fresh positive serial number of 16 random octets (RFC 5280 allows 20).
CSerialNumber RandomSerial();
// `from` now and `until` `days` later; fails when the end cannot be written as a UTCTime.
void SetValidity(CUTCTime& from, CUTCTime& until, unsigned days);
// A new serial number, validity from now for `days`, the issuer's name and the signature (RSA with
// the --md digest `md`) of `signer`.
void Issue(CCertificate& certificate, const CDistinguishedName& issuer, const CRSAPrivateKey& signer, unsigned days,
           const std::string& md = "sha1");
// The DER of a PKCS #10 request for `subject` and the key, signed with it (RSA with the --md digest `md`).
CByteArray MakeRequest(const CDistinguishedName& subject, const CRSAPrivateKey& key, const std::string& md = "sha1");
// Subject and key of a request whose signature verifies with the key it carries.
void TakeRequest(const CASN1_CertificationRequest& request, const std::string& name, CCertificate& certificate);
// A version 2 list of `issuer` revoking `serials` now, signed with its key (RSA with the --md digest
// `md`), the next update `days` later; with the issuer's key identifier and the CRL number `number`
// (none: the second of its last update since 1970). The decoding exception for malformed
// extensions of the issuer.
CCertificateRevocationList RevocationList(const CCertificate& issuer, const CRSAPrivateKey& key,
                                          const std::vector<CSerialNumber>& serials, unsigned days,
                                          const std::string& md = "sha1",
                                          std::optional<std::uint64_t> number = std::nullopt);
// The --outform option (pem or der) and DER written as such, complete or not at all.
void AddOutform(CLI::App* command, std::string& outform);
// --md: the digest that signatures are made with, sha1 (the default), sha256, sha384 or sha512.
void AddMd(CLI::App* command, std::string& md);
// The signature algorithm (CSignedObject::m_nSignatureAlgorithm) of RSA with an --md digest.
int SignatureAlgorithmOf(const std::string& md);
void WriteEncoded(const std::string& path, const CByteArray& der, const char* label, const std::string& outform);

// Octets from hexadecimal text; fails with `what` in the message unless it holds exactly `length` octets
// (any length when `length` is 0).
std::vector<unsigned char> ParseHex(const std::string& text, size_t length, const char* what);

// An output file that appears under its path only when Commit() succeeds, synced to disk with
// its folder; dropped without trace otherwise, even when the program is killed (it is written
// without a name, or under a temporary name removed on SIGHUP, SIGINT and SIGTERM where the file
// system has no unnamed files). Secrets are saved with mode 0600; the umask applies.
class OutputFile {
public:
    explicit OutputFile(std::string path, unsigned mode = 0644);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    CFile& File() { return m_file; }
    void Commit();

private:
    std::string m_path;
    std::string m_temporary;  // the file's name beside the path while it has one
    CFile m_file;
    bool m_committed = false;
};

// Registration of each command with the program's parser.
void AddDemoCommand(CLI::App& app);
void AddDumpCommand(CLI::App& app);
void AddDigestCommand(CLI::App& app);
void AddCryptCommands(CLI::App& app);
void AddKeyCommands(CLI::App& app);
void AddCertCommands(CLI::App& app);
void AddLdapCommands(CLI::App& app);
void AddCrlCommands(CLI::App& app);
void AddReqCommands(CLI::App& app);
void AddSmimeCommands(CLI::App& app);
void AddKeystoreCommands(CLI::App& app);

// PKCS #7 messages as the smime commands make and open them; `name` opens the failures' texts.
// Signed data holding the content, the signer's certificate and those of `chain`, signed with RSA and
// the --md digest `md` and, with `attributes`, over the signed attributes contentType and messageDigest.
CByteArray SignMessage(const std::vector<unsigned char>& content, const CCertificate& signer, const CRSAPrivateKey& key,
                       const std::string& md, bool attributes, const std::vector<CCertificate>& chain = {});
// The content of signed data (the detached content when given) once every signer's signature
// verifies with its certificate in the message; those certificates are appended to `signers`.
std::vector<unsigned char> VerifyMessage(const CASN1_ContentInfo& message, const std::vector<unsigned char>* detached,
                                         const std::string& name, std::vector<CCertificate>& signers);
// Enveloped data: the content under a fresh key and IV of the algorithm, the key wrapped for each recipient.
CByteArray EncryptMessage(const std::vector<unsigned char>& content, const std::vector<CCertificate>& recipients,
                          EContentEncryption algorithm = aes256_cbc);
// The content of enveloped data for the recipient, written to `out`.
void DecryptMessage(const CASN1_ContentInfo& message, const CCertificate& recipient, const CRSAPrivateKey& key,
                    const std::string& name, CFile& out);

// Key store files (see `keystore --help`): the store sealed under a password with a fresh salt,
// and opened again; `name` opens the failures' texts. Counts read from a store above the cap are
// refused as damage.
constexpr std::uint32_t kKeyStoreIterations = 100000;
constexpr std::uint32_t kKeyStoreMaxIterations = 10000000;
std::vector<unsigned char> SealKeyStore(const CASN1_KCDNs& store, const std::string& password,
                                        std::uint32_t iterations = kKeyStoreIterations);
std::unique_ptr<Decoded<CASN1_KCDNs>> OpenKeyStore(const std::vector<unsigned char>& file, const std::string& password,
                                                   const std::string& name);
// PBKDF2 (RFC 8018) with HMAC-SHA-256 built on the library's SHA-256: `length` octets from the
// password and salt after `iterations` rounds.
void DeriveKey(const std::string& password, const unsigned char* salt, size_t saltLength, std::uint32_t iterations,
               unsigned char* out, size_t length);

}  // namespace cli
