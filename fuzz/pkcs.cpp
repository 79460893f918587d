// PKCS #7 messages of every content type and PKCS #10 requests read from arbitrary DER:
// whatever passes its check must give every part through the typed accessors without a
// failure, write back to the octets it came from and read again.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "vorlan/asn1/wellknownoids.h"
#include "vorlan/pkcs/algorithmparameters.h"
#include "vorlan/pkcs/certificationrequest.h"
#include "vorlan/pkcs/digesteddata.h"
#include "vorlan/pkcs/signedandenvelopeddata.h"
#include "vorlan/pkcs/signeddata.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

// Failures of the parameter accessors are the refusals they exist for.
template <class Action>
void mayRefuse(Action&& action) {
    try {
        action();
    } catch (CDERDecodingException* e) {
        e->Delete();
    }
}

void checkSigner(const CASN1_SignerInfo& signer) {
    static_cast<void>(signer.GetIssuerAndSerialNumber().GetSerialNumber());
    static_cast<void>(signer.GetIssuerAndSerialNumber().GetIssuer());
    static_cast<void>(signer.GetDigestAlgorithm());
    static_cast<void>(signer.GetDigestEncyptionAlgorithm());
    const unsigned char digest[20] = {};
    static_cast<void>(signer.IsSignatureOKFor(CRSAPublicKey(), CASN1_data(), digest, 20));
    CASN1_SignerInfo copy(signer);
    if (copy.IsAuthenticatedAttributes()) {
        std::unique_ptr<CASN1_SET>(copy.GetAuthenticatedAttributes(1));
        CByteArray covered;
        signer.GetAuthenticatedAttributesEncoding(covered);
    }
    if (copy.IsUnauthenticatedAttributes()) std::unique_ptr<CASN1_SET>(copy.GetUnauthenticatedAttributes(0));
}

void checkEncrypted(const CASN1_EncryptedContentInfo& info) {
    static_cast<void>(info.GetContentType());
    const CASN1_AlgorithmIdentifier& algorithm = info.GetContentEncryptionAlgorithm();
    if (info.IsEncryptedContent()) static_cast<void>(info.GetEncryptedContent().getClearContentsLength());
    if (algorithm.GetCount() < 2) return;
    CByteArray iv;
    mayRefuse([&] {
        const CASN1_RC2AlgorithmParameter rc2(algorithm.GetComponent(1));
        static_cast<void>(rc2.GetEffectiveBits());
        rc2.GetIV(iv);
    });
    mayRefuse([&] {
        const CASN1_RC5AlgorithmParameter rc5(algorithm.GetComponent(1));
        static_cast<void>(rc5.GetRounds());
        rc5.GetIV(iv);
    });
}

template <class Signed>
void checkSigned(Signed& message) {
    for (int i = 0; i < message.GetSignerInfos().GetCount(); ++i) checkSigner(message.GetSignerInfo(i));
    static_cast<void>(message.GetDigestAlgorithms());
    if (message.IsCertificates()) std::unique_ptr<CASN1_SET>(message.GetCertificates(0));
    if (message.IsCRLs()) std::unique_ptr<CASN1_SET>(message.GetCRLs(1));
}

template <class Enveloped>
void checkRecipients(const Enveloped& message) {
    for (int i = 0; i < message.GetRecipientInfos().GetCount(); ++i) {
        const CASN1_RecipientInfo& recipient = message.GetRecipientInfo(i);
        static_cast<void>(recipient.GetIssuerAndSerialNumber().GetIssuer());
        static_cast<void>(recipient.GetKeyEncryptionAlgorithm());
        static_cast<void>(recipient.GetEncryptedKey());
    }
    checkEncrypted(message.GetEncryptedContentInfo());
}

// The content as T; null when it is refused as not of T's type or shape.
template <class T>
std::unique_ptr<T> contentOf(const CASN1_ContentInfo& message) {
    try {
        return std::make_unique<T>(message);
    } catch (CDERDecodingException* e) {
        e->Delete();
        return nullptr;
    }
}

void checkMessage(const CASN1_ContentInfo& message) {
    if (!message.IsContent()) return;
    if (auto content = contentOf<CASN1_SignedData>(message)) {
        static_cast<void>(content->GetContentInfo());
        checkSigned(*content);
    }
    if (auto content = contentOf<CASN1_EnvelopedData>(message)) checkRecipients(*content);
    if (auto content = contentOf<CASN1_SignedAndEnvelopedData>(message)) {
        checkRecipients(*content);
        checkSigned(*content);
    }
    if (auto content = contentOf<CASN1_DigestedData>(message)) {
        unsigned char digest[64];
        static_cast<void>(content->GetDigest(digest, 20));
        static_cast<void>(content->GetContentInfo().GetContentType());
    }
    if (auto content = contentOf<CASN1_EncryptedData>(message)) checkEncrypted(content->GetEncryptedContentInfo());
}

void checkRequest(const CASN1_CertificationRequest& request) {
    const CASN1_CertificationRequestInfo& info = request.GetCertificationRequestInfo();
    static_cast<void>(info.GetSubject());
    static_cast<void>(info.GetSubjectPublicKeyInfo());
    std::unique_ptr<CASN1_SET>(info.GetAttributes());
    static_cast<void>(request.GetSignatureAlgorithm());
    static_cast<void>(request.IsSignatureOK());
}

// Reads T from the data; what reads writes back as the same octets when it was DER.
template <class T, class Check>
void tryRead(const uint8_t* data, size_t size, Check&& check) {
    auto* der = new CDEREncoding(1, const_cast<uint8_t*>(data), size, 0, 1);
    der->AddRef();
    std::unique_ptr<T> value;
    try {
        value = std::make_unique<T>(*der);
    } catch (CDERDecodingException* e) {
        e->Delete();
    }
    der->Release();
    if (!value) return;
    check(*value);
    CByteArray written;
    T(*value).encodeTo(written);
    auto* again = new CDEREncoding(1, written.GetData(), static_cast<unsigned long>(written.GetSize()), 0, 1);
    again->AddRef();
    const T reread(*again);
    again->Release();
    require(T::isValid(&reread, 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tryRead<CASN1_ContentInfo>(data, size, checkMessage);
    tryRead<CASN1_CertificationRequest>(data, size, checkRequest);
    return 0;
}
