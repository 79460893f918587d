// vorlan req new|show|verify: PKCS #10 certificate requests made from a key of keygen and a
// subject, printed, and checked with the key they carry.
#include <memory>

#include "tools/vorlan/cli.h"

namespace cli {
namespace {

const char kLabel[] = "CERTIFICATE REQUEST";

struct NewOptions {
    std::string key;
    std::string subject;
    std::string md;
    std::string outform;
    std::string out;
};

void New(const NewOptions& o) {
    const std::unique_ptr<CRSAPrivateKey> key = LoadPrivateKey(o.key);
    const CDistinguishedName subject = ParseSubject(o.subject);
    WriteEncoded(o.out, MakeRequest(subject, *key, o.md), kLabel, o.outform);
    std::printf("request for %s saved to %s\n", subject.GetOneLine().str().c_str(), o.out.c_str());
}

// The dotted identifier that opens a SEQUENCE (an attribute, an algorithm), "?" when there is none.
std::string Identifier(const CASN1Type& value) {
    const auto* sequence = dynamic_cast<const CASN1_SEQUENCE*>(&value);
    const auto* identifier = sequence && sequence->GetCount() > 0
                                 ? dynamic_cast<const CASN1_OBJECT_IDENTIFIER*>(&sequence->GetComponent(0))
                                 : nullptr;
    return identifier ? CString(*identifier).str() : "?";
}

void Show(const std::string& path) {
    const Decoded<CASN1_CertificationRequest> request(path, kLabel);
    const CASN1_CertificationRequestInfo& info = request->GetCertificationRequestInfo();
    CDistinguishedName subject;
    CCertificate holder;  // the request's key, RSA or EC, read as a certificate's is
    CRSAPublicKey key;
    try {
        info.GetSubject().SetDataTo(subject);
        info.GetSubjectPublicKeyInfo().SetDataTo(holder);
        if (!holder.HasECKey()) holder.SetDataTo(key);
    } catch (CException* e) {
        throw Failure(path + ": " + Describe(e));
    }
    std::printf("Certificate request\nSubject: %s\n%s", subject.GetOneLine().str().c_str(), Lines(subject).c_str());
    if (holder.HasECKey())
        std::printf("Public key: EC P-%u\npoint: %s\n", holder.m_wKeyBits,
                    FieldHex(holder.m_abKeyPoint.GetData(), static_cast<std::size_t>(holder.m_abKeyPoint.GetSize())).c_str());
    else
        std::printf("Public key: %u bits\npublicExponent: %s\nmodulus: %s\n", key.bits,
                    FieldHex(key.publicExponent, sizeof key.publicExponent).c_str(),
                    FieldHex(key.modulus, sizeof key.modulus).c_str());
    const std::unique_ptr<CASN1_SET> attributes(info.GetAttributes());
    std::printf("Attributes:%s\n", attributes->GetCount() ? "" : " none");
    for (int i = 0; i < attributes->GetCount(); ++i)
        std::printf("   %s\n", Identifier(attributes->GetComponent(i)).c_str());
    std::printf("Signature algorithm: %s\nSignature: %s\n", Identifier(request->GetSignatureAlgorithm()).c_str(),
                request->IsSignatureOK() ? "verifies with the request's key" : "DOES NOT VERIFY");
}

void Verify(const std::string& path) {
    const Decoded<CASN1_CertificationRequest> request(path, kLabel);
    if (!request->IsSignatureOK())
        throw Failure(path + ": the signature does not verify with the request's key" + Because());
    std::printf("%s: OK\n", path.c_str());
}

}  // namespace

void AddReqCommands(CLI::App& app) {
    auto* req = app.add_subcommand("req", "Make, show and verify PKCS #10 certificate requests (DER or PEM)");
    req->require_subcommand(1);
    const char* requestHelp = "certificate request, DER or PEM, \"-\" for standard input";

    auto* make = req->add_subcommand("new", "Make a request signed with RSA, as openssl req -new");
    auto options = std::make_shared<NewOptions>();
    make->add_option("--key", options->key, "private key: keygen's file or PEM (PKCS #1, PKCS #8)")->required();
    make->add_option("--subject", options->subject, "subject as in openssl -subj: /C=DE/O=Example/CN=Erika")
        ->required();
    AddMd(make, options->md);
    AddOutform(make, options->outform);
    make->add_option("-o,--output", options->out, "request file to write")->required();
    make->callback([options] { New(*options); });

    auto* show = req->add_subcommand("show", "Print a request's subject, key, attributes and signature check");
    auto showPath = std::make_shared<std::string>();
    show->add_option("file", *showPath, requestHelp)->required();
    show->callback([showPath] { Show(*showPath); });

    auto* verify = req->add_subcommand("verify", "Check a request's signature with the key it carries");
    auto verifyPath = std::make_shared<std::string>();
    verify->add_option("file", *verifyPath, requestHelp)->required();
    verify->callback([verifyPath] { Verify(*verifyPath); });
}

}  // namespace cli
