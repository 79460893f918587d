// vorlan smime sign|verify|encrypt|decrypt: PKCS #7 signed and enveloped messages in the form
// of `openssl smime ... -binary -outform DER` (or PEM), RSA with SHA-1, SHA-256, SHA-384 or SHA-512,
// AES-CBC or triple DES.
#include <algorithm>
#include <iostream>
#include <memory>
#include <utility>

#include "tools/vorlan/cli.h"

namespace cli {
namespace {

const char kLabel[] = "PKCS7";

std::vector<unsigned char> ClearData(const CASN1Type& value) {
    CByteArray octets;
    const_cast<CASN1Type&>(value).GetClearData(octets, 1);
    return {octets.GetData(), octets.GetData() + octets.GetSize()};
}

// The digests of signed messages: the name, a new identifier, and the digest under the signature.
struct SMessageDigest {
    const char* name;
    CASN1_OBJECT_IDENTIFIER* (*identifier)();
    EDigestAlgorithm signature;
};
template <class Identifier>
CASN1_OBJECT_IDENTIFIER* NewIdentifier() {
    return new Identifier;
}
const SMessageDigest kMessageDigests[] = {
    {"md5", NewIdentifier<CASN1_md5>, md5},          {"sha1", NewIdentifier<CASN1_sha1>, sha1},
    {"sha256", NewIdentifier<CASN1_sha256>, sha256}, {"sha384", NewIdentifier<CASN1_sha384>, sha384},
    {"sha512", NewIdentifier<CASN1_sha512>, sha512}};

const SMessageDigest& MessageDigestOf(const CASN1_OBJECT_IDENTIFIER& algorithm) {
    for (const SMessageDigest& row : kMessageDigests)
        if (algorithm == *std::unique_ptr<CASN1_OBJECT_IDENTIFIER>(row.identifier())) return row;
    throw Failure("the signer's digest algorithm " + CString(algorithm).str() +
                  " is not md5, sha1, sha256, sha384 or sha512");
}

// The digest of the content with the algorithm of the identifier.
std::vector<unsigned char> DigestWith(const CASN1_OBJECT_IDENTIFIER& algorithm,
                                      const std::vector<unsigned char>& content) {
    const Digest made = MakeDigest(MessageDigestOf(algorithm).name);
    made.maker->UpdateBlock(content.data(), static_cast<int>(content.size()), nullptr, 1, 1);
    std::vector<unsigned char> digest(static_cast<size_t>(made.size));
    made.maker->GetCurrentDigest(digest.data());
    return digest;
}

// Signature algorithms of signers seen in messages that are not RSA, by name.
constexpr std::pair<const char*, const char*> kOtherSignatureAlgorithms[] = {
    {"1.2.840.10040.4.1", "dsa"},
    {"1.2.840.10040.4.3", "dsa-with-sha1"},
    {"2.16.840.1.101.3.4.3.2", "dsa-with-sha256"},
    {"1.2.840.10045.4.1", "ecdsa-with-SHA1"},
    {"1.2.840.113549.1.1.10", "rsassa-pss"},
    {"1.3.101.112", "ed25519"},
};

// The signer's signature algorithm must be RSA PKCS #1 v1.5 (rsaEncryption or one of the
// sha*WithRSAEncryption family) or ECDSA (id-ecPublicKey or ecdsa-with-SHA256, -SHA384,
// -SHA512); the signature check then holds it to the signer's key and digest.
void RequireKnownSigner(const CASN1_SignerInfo& signer, const std::string& name) {
    CString dotted;
    if (const auto* algorithm = dynamic_cast<const CASN1_OBJECT_IDENTIFIER*>(&signer.GetDigestEncyptionAlgorithm().GetComponent(0)))
        algorithm->GetDecimalDottedString(dotted);
    const std::string text = dotted.str();
    if (text.rfind("1.2.840.113549.1.1.", 0) == 0 && text != "1.2.840.113549.1.1.10") return;
    if (text == "1.2.840.10045.2.1" || text == "1.2.840.10045.4.3.2" || text == "1.2.840.10045.4.3.3" ||
        text == "1.2.840.10045.4.3.4")
        return;
    std::string algorithmName = text;
    for (const auto& [identifier, label] : kOtherSignatureAlgorithms)
        if (text == identifier) algorithmName = std::string(label) + " (" + text + ")";
    throw Failure(name + ": unsupported signature algorithm " + algorithmName);
}

// The message's certificate of the signer (issuer and serial number). Certificates of the bag
// that cannot be used (malformed, not RSA) are passed over, each said once on standard error.
CCertificate SignerCertificate(CASN1_SignedData& signedData, const CASN1_SignerInfo& signer, const std::string& name) {
    const CASN1_IssuerAndSerialNumber& id = signer.GetIssuerAndSerialNumber();
    const CDistinguishedName issuer = id.GetIssuer();
    const CSerialNumber serial = id.GetSerialNumber();
    if (signedData.IsCertificates()) {
        const std::unique_ptr<CASN1_SET> certificates(signedData.GetCertificates(0));
        for (int i = 0; i < certificates->GetCount(); ++i) {
            CCertificate certificate;
            try {
                CByteArray octets;
                certificates->GetComponent(i).encodeTo(octets);
                CDEREncoding der(0, octets);
                CASN1_Certificate(der).SetDataTo(certificate);
            } catch (CException* e) {
                std::cerr << "vorlan: " << name << ": certificate " << i + 1 << " of the message is unusable ("
                          << Describe(e) << ")\n";
                continue;
            }
            if (certificate.m_issuer == issuer && certificate.m_serialNumber == serial) return certificate;
        }
    }
    throw Failure(name + ": the signer's certificate (serial " + CString(serial).str() + ") is not in the message");
}

}  // namespace

CByteArray SignMessage(const std::vector<unsigned char>& content, const CCertificate& certificate,
                       const CRSAPrivateKey& key, const std::string& md, bool attributes,
                       const std::vector<CCertificate>& chain) {
    // The certificates go in as they were read: their DER keeps what the fields do not (unique
    // identifiers). Each encoding is held beyond the message's life: the value tree shares it.
    std::vector<const CCertificate*> all{&certificate};
    for (const CCertificate& each : chain) all.push_back(&each);
    std::vector<std::unique_ptr<CDEREncoding>> encodings;
    for (const CCertificate* each : all) {
        CByteArray der;
        each->GetEncoding(der);
        encodings.push_back(std::make_unique<CDEREncoding>(0, der));
        encodings.back()->AddRef();
    }
    const auto row = std::find_if(std::begin(kMessageDigests), std::end(kMessageDigests),
                                  [&](const SMessageDigest& r) { return md == r.name; });
    if (row == std::end(kMessageDigests)) throw Failure("unknown digest \"" + md + "\"");
    CASN1_OBJECT_IDENTIFIER* algorithm = row->identifier();
    auto* signer = new CASN1_SignerInfo(
        new CASN1_IssuerAndSerialNumber(certificate), new CASN1_AlgorithmIdentifier(algorithm, new CASN1_NULL),
        new CASN1_AlgorithmIdentifier(new CASN1_rsaEncryption, new CASN1_NULL), new CASN1_OCTET_STRING);
    auto* signedData = new CASN1_SignedData(
        new CASN1_ContentInfo(new CASN1_data, new CASN1_OCTET_STRING(content.data(), content.size())));
    CASN1_ContentInfo message(new CASN1_signedData, signedData);  // owns what follows
    signedData->AddSignerInfo(signer);
    const std::vector<unsigned char> contentDigest = DigestWith(*algorithm, content);
    std::vector<unsigned char> signedDigest = contentDigest;
    if (attributes) {
        CASN1_SET set, type, digest;
        type.AddObject(new CASN1_data);
        digest.AddObject(new CASN1_OCTET_STRING(contentDigest.data(), contentDigest.size()));
        set.AddObject(new CASN1_Attribute(new CASN1_contentType, new CASN1_SET(type)));
        set.AddObject(new CASN1_Attribute(new CASN1_messageDigest, new CASN1_SET(digest)));
        signer->SetAuthenticatedAttributes(set);
        CByteArray covered;
        signer->GetAuthenticatedAttributesEncoding(covered);
        signedDigest = DigestWith(*algorithm, {covered.GetData(), covered.GetData() + covered.GetSize()});
    }
    CByteArray signature;
    key.LockDigest(row->signature, signedDigest.data(), signature);
    signer->GetEncryptedDigest() = CASN1_OCTET_STRING(signature.GetData(), signature.GetSize());
    CASN1_SET certificates;
    for (const auto& encoding : encodings) certificates.AddObject(new CASN1_Certificate(*encoding));
    signedData->SetCertificates(certificates);
    CByteArray der;
    message.encodeTo(der);
    return der;
}

std::vector<unsigned char> VerifyMessage(const CASN1_ContentInfo& message, const std::vector<unsigned char>* detached,
                                         const std::string& name, std::vector<CCertificate>& signers) {
    try {
        CASN1_SignedData signedData(message);
        const CASN1_ContentInfo& inner = signedData.GetContentInfo();
        if (inner.IsContent() == (detached != nullptr))
            throw Failure(name + (detached ? ": the message holds its content; --content is for detached ones"
                                           : ": the signature is detached; give the content with --content"));
        const std::vector<unsigned char> content = detached ? *detached : ClearData(inner.GetContent());
        const int count = signedData.GetSignerInfos().GetCount();
        if (count == 0) throw Failure(name + ": no signer");
        for (int i = 0; i < count; ++i) {
            const CASN1_SignerInfo& signer = signedData.GetSignerInfo(i);
            RequireKnownSigner(signer, name);
            const CCertificate certificate = SignerCertificate(signedData, signer, name);
            const auto* algorithm =
                dynamic_cast<const CASN1_OBJECT_IDENTIFIER*>(&signer.GetDigestAlgorithm().GetComponent(0));
            if (!algorithm) throw Failure(name + ": the signer's digest algorithm is not an object identifier");
            const std::vector<unsigned char> digest = DigestWith(*algorithm, content);
            if (!signer.IsSignatureOKFor(certificate, inner.GetContentType(), digest.data(), static_cast<int>(digest.size())))
                throw Failure(name + ": the signature of " + certificate.m_subject.GetOneLine().str() +
                              " does not verify" + Because());
            signers.push_back(certificate);
        }
        return content;
    } catch (CException* e) {
        throw Failure(name + ": " + Describe(e));
    }
}

CByteArray EncryptMessage(const std::vector<unsigned char>& content, const std::vector<CCertificate>& recipients,
                          EContentEncryption algorithm) {
    const CContentEncryption sealer(algorithm);
    auto* enveloped = new CASN1_EnvelopedData(
        sealer.Seal(new CASN1_data, content.data(), static_cast<unsigned long>(content.size())));
    CASN1_ContentInfo message(new CASN1_envelopedData, enveloped);
    for (const CCertificate& recipient : recipients) {
        CRSAPublicKey publicKey;
        recipient.SetDataTo(publicKey);
        CByteArray wrapped;
        publicKey.LockKey(sealer.GetKey(), wrapped);
        enveloped->AddRecipientInfo(
            new CASN1_RecipientInfo(new CASN1_IssuerAndSerialNumber(recipient),
                                    new CASN1_AlgorithmIdentifier(new CASN1_rsaEncryption, new CASN1_NULL),
                                    new CASN1_OCTET_STRING(wrapped.GetData(), wrapped.GetSize())));
    }
    CByteArray der;
    message.encodeTo(der);
    return der;
}

void DecryptMessage(const CASN1_ContentInfo& message, const CCertificate& certificate, const CRSAPrivateKey& privateKey,
                    const std::string& name, CFile& out) {
    try {
        const CASN1_EnvelopedData enveloped(message);
        const CASN1_RecipientInfo* mine = nullptr;
        for (int i = 0; i < enveloped.GetRecipientInfos().GetCount() && !mine; ++i) {
            const CASN1_RecipientInfo& recipient = enveloped.GetRecipientInfo(i);
            const CASN1_IssuerAndSerialNumber& id = recipient.GetIssuerAndSerialNumber();
            if (CDistinguishedName(id.GetIssuer()) == certificate.m_issuer &&
                CSerialNumber(id.GetSerialNumber()) == certificate.m_serialNumber)
                mine = &recipient;
        }
        if (!mine)
            throw Failure(name + ": not encrypted for " + certificate.m_subject.GetOneLine().str() + ", serial " +
                          CString(certificate.m_serialNumber).str());
        const CASN1_EncryptedContentInfo& encrypted = enveloped.GetEncryptedContentInfo();
        CContentEncryption opener(encrypted.GetContentEncryptionAlgorithm());
        if (!encrypted.IsEncryptedContent()) throw Failure(name + ": no encrypted content");
        CByteArray wrapped;
        mine->GetEncryptedKey().GetClearData(wrapped, 1);
        // A wrapped key that does not unwrap gives a random one, so a wrong key, a damaged
        // message and a forged one end alike: the content does not decrypt. One message for
        // all of them, so that none tells an attacker more than the others.
        try {
            privateKey.UnlockKey(wrapped, opener.GetKey(), privateKey.bits);
            opener.Open(encrypted, out);
        } catch (CException* e) {
            e->Delete();
            throw Failure(name + ": the content does not decrypt with this key");
        }
    } catch (CException* e) {
        throw Failure(name + ": " + Describe(e));
    }
}

namespace {

struct Options {
    std::string certificate;  // the signer's or the recipient's
    std::string key;
    std::string md = "sha1";
    bool noattr = false;
    std::string content;
    std::string issuer;
    PathOptions path;
    std::vector<std::string> recipients;
    std::vector<std::string> chain;  // certificates put in a signed message besides the signer's
    std::string cipher = "aes256";
    std::string in;
    std::string outform;
    std::string out;
};

void Sign(const Options& o) {
    const CCertificate certificate = ReadCertificate(o.certificate);
    const std::unique_ptr<CRSAPrivateKey> key = LoadPrivateKey(o.key);
    RequireKeyOf(*key, o.key, certificate, o.certificate);
    std::vector<CCertificate> chain;
    for (const std::string& path : o.chain) chain.push_back(ReadCertificate(path));
    WriteEncoded(o.out, SignMessage(ReadAll(o.in), certificate, *key, o.md, !o.noattr, chain), kLabel, o.outform);
}

// The certificates of signed data, each as its DER (for the pool of a path).
void AddMessageCertificates(const CASN1_ContentInfo& message, CCertificateStore& pool) {
    try {
        CASN1_SignedData signedData(message);
        if (!signedData.IsCertificates()) return;
        const std::unique_ptr<CASN1_SET> certificates(signedData.GetCertificates(0));
        for (int i = 0; i < certificates->GetCount(); ++i) {
            CByteArray octets;
            certificates->GetComponent(i).encodeTo(octets);
            pool.AddDer(octets.GetData(), octets.GetSize());
        }
    } catch (CException* e) {
        e->Delete();  // VerifyMessage has read the message: nothing here can fail that did not there
    }
}

// Every signer checked, their certificates too with --issuer or by their paths to a trust anchor
// (--CAfile, --untrusted, --crl, --at; the message's certificates may complete the paths); the content
// written to --output.
void Verify(const Options& o) {
    if (!o.issuer.empty() && (o.path.PathAsked() || !o.path.crls.empty()))
        throw Failure("--issuer checks one level; --CAfile, --untrusted, --crl, --crl-check-all and --at validate a path");
    const Decoded<CASN1_ContentInfo> message(o.in, kLabel);
    const std::vector<unsigned char> detached = o.content.empty() ? std::vector<unsigned char>() : ReadAll(o.content);
    std::vector<CCertificate> signers;
    const std::vector<unsigned char> content =
        VerifyMessage(*message, o.content.empty() ? nullptr : &detached, o.in, signers);
    const bool pathAsked = o.path.PathAsked() || !o.path.crls.empty();
    if (!o.issuer.empty()) {
        const CCertificate issuer = ReadCertificate(o.issuer);
        for (const CCertificate& signer : signers) VerifyIssued(signer, "the signer's certificate", issuer, o.issuer);
    } else if (pathAsked) {
        PathInputs inputs(o.path);
        AddMessageCertificates(*message, inputs.Intermediates());
        CPathValidator validator = inputs.Validator();
        validator.m_options.signer = validator.m_options.emailProtection = true;
        for (const CCertificate& signer : signers) {
            CByteArray der;
            signer.GetEncoding(der);
            ValidatePath(validator, der, "the signer's certificate");
        }
    }
    if (!o.out.empty()) {
        OutputFile out(o.out);
        out.File().Write(content.data(), static_cast<UINT>(content.size()));
        out.Commit();
    }
    if (!o.issuer.empty() || pathAsked) {
        std::printf("Verification successful\n");
        return;
    }
    // Anyone can sign with a certificate of their own making: without an issuer or trust anchors to
    // check the signer's certificate against, only the signature itself has been checked.
    for (const CCertificate& signer : signers)
        std::printf("The content matches the signature of %s, checked with the certificate in the message\n",
                    signer.m_subject.GetOneLine().str().c_str());
    std::printf("The signer is not verified as trusted: give --issuer to check the signer's certificate\n");
}

void Encrypt(const Options& o) {
    std::vector<CCertificate> recipients;
    for (const std::string& path : o.recipients) recipients.push_back(ReadCertificate(path));
    const EContentEncryption algorithm = o.cipher == "des3"     ? des_ede3_cbc
                                         : o.cipher == "aes128" ? aes128_cbc
                                         : o.cipher == "aes192" ? aes192_cbc
                                                                : aes256_cbc;
    WriteEncoded(o.out, EncryptMessage(ReadAll(o.in), recipients, algorithm), kLabel, o.outform);
}

void Decrypt(const Options& o) {
    const CCertificate certificate = ReadCertificate(o.certificate);
    const std::unique_ptr<CRSAPrivateKey> key = LoadPrivateKey(o.key);
    RequireKeyOf(*key, o.key, certificate, o.certificate);
    const Decoded<CASN1_ContentInfo> message(o.in, kLabel);
    OutputFile out(o.out);
    DecryptMessage(*message, certificate, *key, o.in, out.File());
    out.Commit();
}

}  // namespace

void AddSmimeCommands(CLI::App& app) {
    auto* smime = app.add_subcommand(
        "smime", "Sign, verify, encrypt and decrypt PKCS #7 messages as openssl smime -binary -outform DER|PEM");
    smime->require_subcommand(1);
    const char* inHelp = "input file, \"-\" for standard input";
    const char* messageHelp = "message, DER or PEM, \"-\" for standard input";
    const auto command = [&](const char* name, const char* help, void (*run)(const Options&)) {
        auto* sub = smime->add_subcommand(name, help);
        auto options = std::make_shared<Options>();
        sub->callback([options, run] { run(*options); });
        return std::make_pair(sub, options.get());
    };

    auto [sign, s] = command("sign", "Sign a file; the message holds it (openssl's -nodetach)", Sign);
    sign->add_option("file", s->in, inHelp)->required();
    sign->add_option("--signer", s->certificate, "the signer's certificate (put in the message)")->required();
    sign->add_option("--key", s->key, "the signer's private key: keygen's file or PEM (PKCS #1, PKCS #8)")->required();
    AddMd(sign, s->md);
    sign->add_flag("--noattr", s->noattr, "no signed attributes: the signature covers the content's digest");
    sign->add_option("--certfile", s->chain,
                     "certificates put in the message besides the signer's: the chain to a root (as openssl's -certfile)");
    AddOutform(sign, s->outform);
    sign->add_option("-o,--output", s->out, "message file to write")->required();

    auto [verify, v] = command("verify",
                                   "Check every signature of a signed message and write the content; with --issuer, or "
                                   "with the path options each signer's whole path, also the signers' certificates",
                                   Verify);
    verify->add_option("file", v->in, messageHelp)->required();
    verify->add_option("--content", v->content, "the signed file of a detached signature");
    verify->add_option("--issuer", v->issuer,
                       "also check each signer's certificate with this issuer's; without it or a path option the "
                       "signers are not verified as trusted");
    verify->add_option("--crl", v->path.crls,
                       "a revocation list for the signers' paths (repeatable), each certificate's found by its "
                       "issuer's name");
    AddPathOptions(verify, v->path);
    verify->add_option("-o,--output", v->out, "file to write the content to");

    auto [encrypt, e] =
        command("encrypt", "Encrypt a file for recipients' certificates (AES-256-CBC by default)", Encrypt);
    encrypt->add_option("file", e->in, inHelp)->required();
    encrypt->add_option("--cipher", e->cipher, "content cipher, CBC mode: aes128, aes192, aes256 or des3")
        ->capture_default_str()
        ->check(CLI::IsMember({"aes128", "aes192", "aes256", "des3"}));
    encrypt->add_option("recipient", e->recipients, "recipients' certificates, DER or PEM")->required();
    AddOutform(encrypt, e->outform);
    encrypt->add_option("-o,--output", e->out, "message file to write")->required();

    auto [decrypt, d] = command(
        "decrypt", "Decrypt an enveloped message (AES-128/192/256-CBC or triple DES) with a recipient's key", Decrypt);
    decrypt->add_option("file", d->in, messageHelp)->required();
    decrypt->add_option("--recip", d->certificate, "the recipient's certificate")->required();
    decrypt->add_option("--key", d->key, "the recipient's private key: keygen's file or PEM (PKCS #1, PKCS #8)")
        ->required();
    decrypt->add_option("-o,--output", d->out, "file to write the content to")->required();
}

}  // namespace cli
