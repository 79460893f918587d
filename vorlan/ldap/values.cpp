#include "vorlan/ldap/values.h"

#include "vorlan/asn1/componentreader.h"
#include "vorlan/asn1/componenttable.h"
#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/asn1/sharedstream.h"

std::string_view LDAPOctets(const CASN1Type& value) {
    if (!value.m_bConstructed) {
        const CASN1_TAGGED* tagged = vorlan::detail::valueAs<CASN1_OCTET_STRING>(value);
        if (!tagged) tagged = vorlan::detail::valueAs<CASN1_TAGGED>(value);
        if (tagged) {
            if (!tagged->m_pEncoding) return {};
            const unsigned char* octets = tagged->m_pEncoding->MemoryWindow(tagged->m_dwPosition, tagged->m_dwLength);
            if (octets) return {reinterpret_cast<const char*>(octets), tagged->m_dwLength};
        } else if (const auto* primitive = vorlan::detail::valueAs<CASN1_PRIMITIVE_TYPE>(value)) {
            return {reinterpret_cast<const char*>(primitive->GetData()), static_cast<size_t>(primitive->GetSize())};
        }
    }
    ___throwDERDecodingException("LDAP value: octets not held in place in memory");
}

std::string LDAPString(const CASN1Type& value) {
    std::string text(value.getClearContentsLength(), '\0');
    if (!text.empty()) value.GetClearData(reinterpret_cast<unsigned char*>(text.data()), text.size(), 1, 0);
    return text;
}

unsigned long LDAPNumber(const CASN1Type& value) {
    const auto* number = vorlan::detail::valueAs<CASN1_INTEGER>(value);
    unsigned long result = 0;
    if (!number || number->m_bConstructed || number->GetSize() == 0 || !number->GetInteger(result))
        ___throwDERDecodingException("LDAP value: no number of at most 32 bits");
    return result;
}

SLDAPResult ReadLDAPResult(const CASN1Type& response) {
    const auto* constructed = vorlan::detail::valueAs<CASN1_CONSTRUCTED_TYPE>(response);
    if (!constructed || !response.m_bConstructed) ___throwDERDecodingException("LDAP result: no constructed value");
    CASN1ComponentReader reader(*constructed);
    SLDAPResult result;
    result.resultCode = static_cast<ELDAPResultCode>(LDAPNumber(reader.Next(kASN1Enumerated, "resultCode")));
    result.matchedDN = LDAPString(reader.Next(kASN1OctetString, "matchedDN"));
    result.errorMessage = LDAPString(reader.Next(kASN1OctetString, "errorMessage"));
    if (const CASN1Type* referral = reader.Optional(ASN1ContextTag(3))) {
        const CASN1ComponentArray* uris = vorlan::detail::componentsOf(*referral);
        for (int i = 0; uris && i < uris->GetSize(); ++i) result.referral.push_back(LDAPString(*(*uris)[i]));
    }
    return result;
}
