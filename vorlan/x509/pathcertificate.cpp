#include "vorlan/x509/pathcertificate.h"

#include <algorithm>

#include "vorlan/asn1/derencoding.h"
#include "vorlan/asn1/wellknownoids.h"
#include "vorlan/x509/asn1certificate.h"
#include "vorlan/x509/certificatedata.h"
#include "vorlan/x509/signaturealgorithm.h"

namespace {

// The significant octets of a key field.
std::string Significant(const BYTE* field, int size) {
    int first = 0;
    while (first < size - 1 && field[first] == 0) ++first;
    return std::string(reinterpret_cast<const char*>(field) + first, static_cast<size_t>(size - first));
}

// The certificate's key as octets: its curve and point, or its exponent and modulus.
std::string KeyOf(const CCertificate& certificate) {
    if (certificate.HasECKey())
        return "ec" + std::to_string(certificate.m_bKeyCurve) + ":" +
               std::string(reinterpret_cast<const char*>(certificate.m_abKeyPoint.GetData()),
                           static_cast<size_t>(certificate.m_abKeyPoint.GetSize()));
    const std::string exponent = Significant(certificate.m_publicExponent, CSignedObject::kFieldSize);
    return "rsa" + std::to_string(exponent.size()) + ":" + exponent +
           Significant(certificate.m_modulus, CSignedObject::kFieldSize);
}

const CASN1_OBJECT_IDENTIFIER* AlgorithmOf(const CASN1Type& algorithmIdentifier) {
    const auto* sequence = dynamic_cast<const CASN1_CONSTRUCTED_TYPE*>(&algorithmIdentifier);
    if (!sequence || sequence->GetCount() < 1) return nullptr;
    return dynamic_cast<const CASN1_OBJECT_IDENTIFIER*>(&sequence->GetComponent(0));
}

}  // namespace

std::string vorlan::detail::ReleasedReason(CException* e) {
    char text[512] = {};
    if (!e->GetErrorMessage(text, sizeof text)) text[0] = '\0';
    e->Delete();
    return text;
}

CPathCertificate::CPathCertificate(const BYTE* der, int length) : m_der(reinterpret_cast<const char*>(der), length) {
    CDEREncoding encoding(0, const_cast<BYTE*>(der), static_cast<unsigned long>(length), 0, 0);
    encoding.AddRef();  // our own hold: the value tree shares the encoding
    {
        const CASN1_Certificate value(encoding);
        if (encoding.Remaining()) ___throwDERDecodingException("Certificate is followed by other octets");
        value.SetDataTo(m_certificate);
    }
    m_subjectKey = CNameKey(m_certificate.m_subject);
    m_issuerKey = CNameKey(m_certificate.m_issuer);
    CCertificateExtensionArray extensions;
    try {
        m_certificate.GetExtensions(extensions);
        m_extensions = CCertificateExtensions(extensions);
    } catch (CException* e) {
        m_extensionsFault = vorlan::detail::ReleasedReason(e);
        if (m_extensionsFault.empty()) m_extensionsFault = "malformed extensions";
    }
}

bool CPathCertificate::IsOfUnsupportedAlgorithm(const BYTE* der, int length) {
    try {
        CDEREncoding encoding(0, const_cast<BYTE*>(der), static_cast<unsigned long>(length), 0, 0);
        encoding.AddRef();
        const CASN1_Certificate value(encoding);
        const CASN1_OBJECT_IDENTIFIER* signature = AlgorithmOf(value.GetComponent(1));
        if (signature && !vorlan::detail::FindSignatureAlgorithm(*signature)) return true;
        const vorlan::detail::STBSCertificate fields =
            vorlan::detail::WalkTBSCertificate(value.GetComponent(0), 1, "TBSCertificate", nullptr);
        const auto& info = dynamic_cast<const CASN1_CONSTRUCTED_TYPE&>(*fields.subjectPublicKeyInfo);
        const CASN1_OBJECT_IDENTIFIER* key = AlgorithmOf(info.GetComponent(0));
        static const CASN1_rsaEncryption rsaEncryption;
        return key && !(*key == rsaEncryption);
    } catch (CException* e) {
        e->Delete();
    } catch (const std::bad_cast&) {
    }
    return false;
}

std::vector<std::string> CPathCertificate::EmailAddresses() const {
    std::vector<std::string> addresses;
    if (m_extensions.subjectAltName)
        for (const CGeneralName& name : *m_extensions.subjectAltName)
            if (name.m_kind == CGeneralName::kRfc822Name) addresses.push_back(name.m_strText.str());
    const CDistinguishedName& subject = m_certificate.m_subject;
    for (int i = 0; i < subject.GetSize(); ++i)
        for (int j = 0; j < subject[i]->m_attributes.GetSize(); ++j) {
            const CAttributeValue& attribute = *subject[i]->m_attributes[j];
            if (attribute.m_strLabel == vorlan::detail::AttributeLabel(dnEmailAddress))
                addresses.push_back(attribute.m_strValue.str());
        }
    return addresses;
}

bool vorlan::detail::CSignatureVerdicts::Get(const CCertificate& issuer,
                                             bool (*check)(const void*, const CCertificate&),
                                             const void* signedObject) const {
    const std::string key = KeyOf(issuer);
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        for (const auto& [known, verdict] : m_verdicts)
            if (known == key) return verdict;
    }
    const bool verdict = check(signedObject, issuer);
    const std::lock_guard<std::mutex> hold(m_lock);
    m_verdicts.emplace_back(key, verdict);
    return verdict;
}

bool CPathCertificate::HasKeyIdentifier(const CByteArray& identifier) const {
    const CByteArray& own = m_extensions.subjectKeyIdentifier;
    return identifier.GetSize() && own.GetSize() == identifier.GetSize() &&
           std::equal(own.GetData(), own.GetData() + own.GetSize(), identifier.GetData());
}

bool CPathCertificate::IsSignedBy(const CPathCertificate& issuer) const {
    return m_verdicts.Get(
        issuer.m_certificate,
        [](const void* self, const CCertificate& key) {
            return static_cast<const CCertificate*>(self)->IsSignatureOKFor(key) != 0;
        },
        &m_certificate);
}
