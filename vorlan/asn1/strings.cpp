#include "vorlan/asn1/strings.h"

#include "vorlan/asn1/filters.h"

namespace {

int allPrintable(const unsigned char* octets, unsigned long count) {
    for (unsigned long i = 0; i < count; ++i)
        if (octets[i] < 0x20 || octets[i] > 0x7E) return 0;
    return 1;
}

int allDigitsOrSpaces(const unsigned char* octets, unsigned long count) {
    for (unsigned long i = 0; i < count; ++i)
        if (octets[i] != ' ' && (octets[i] < '0' || octets[i] > '9')) return 0;
    return 1;
}

int allBelow80(const unsigned char* octets, unsigned long count) {
    for (unsigned long i = 0; i < count; ++i)
        if (octets[i] >= 0x80) return 0;
    return 1;
}

// One checked string type: an octet rule or a length multiple, and its decoding message.
struct StringRule {
    unsigned char identifier;
    int (*octetsAccepted)(const unsigned char*, unsigned long);
    unsigned long lengthMultiple;
    const char* message;
};

constexpr StringRule kPrintable{0x13, allPrintable, 0, "PrintableString contents is not valid"};
constexpr StringRule kNumeric{0x12, allDigitsOrSpaces, 0, "NumericString contents is not valid"};
constexpr StringRule kVisible{0x1A, allPrintable, 0, "VisibleString contents is not valid"};
constexpr StringRule kIA5{0x16, allBelow80, 0, "IA5String contents is not valid"};
constexpr StringRule kBMP{0x1E, nullptr, 2, "BMPString contents is not valid"};
constexpr StringRule kUniversal{0x1C, nullptr, 4, "UniversalString contents is not valid"};

int isValidString(const StringRule& rule, const CASN1Type* value, int anyTag) {
    if (!anyTag && value->identifier != rule.identifier) return 0;
    const auto* primitive = dynamic_cast<const CASN1_PRIMITIVE_TYPE*>(value);
    if (primitive && !value->m_bConstructed && value->identifier == rule.identifier) {
        const auto n = static_cast<unsigned long>(primitive->GetSize());
        return rule.octetsAccepted ? rule.octetsAccepted(primitive->GetData(), n) : n % rule.lengthMultiple == 0;
    }
    if (rule.octetsAccepted) return vorlan::detail::checkClearContents(*value, rule.octetsAccepted);
    return value->getClearContentsLength() % rule.lengthMultiple == 0;
}

}  // namespace

#define VORLAN_ASN1_STRING_CONSTRUCTOR(X)                                   \
    IMPLEMENT_ASN1_VALUE_FAMILY(X, CASN1_CONSTRUCTED_TYPE)                  \
    X::X(const unsigned char* data, unsigned long size) : X() {             \
        SetSize(static_cast<int>(size));                                    \
        if (size) std::memcpy(GetData(), data, size);                       \
    }

// Checked on decoding: the octets are read, then the class's rule must hold.
#define VORLAN_ASN1_CHECKED_STRING(X, RULE)                                                   \
    VORLAN_ASN1_STRING_CONSTRUCTOR(X)                                                         \
    int X::isValid(const CASN1Type* value, int anyTag) { return isValidString(RULE, value, anyTag); } \
    void X::setContents(CDEREncoding& der, unsigned long size) {                              \
        CASN1_PRIMITIVE_TYPE::setContents(der, size);                                         \
        if (!isValid(this, 0)) ___throwDERDecodingException("%s", RULE.message);              \
    }

VORLAN_ASN1_STRING_CONSTRUCTOR(CASN1_T61String)
VORLAN_ASN1_STRING_CONSTRUCTOR(CASN1_UTF8String)
VORLAN_ASN1_CHECKED_STRING(CASN1_PrintableString, kPrintable)
VORLAN_ASN1_CHECKED_STRING(CASN1_IA5String, kIA5)
VORLAN_ASN1_CHECKED_STRING(CASN1_NumericString, kNumeric)
VORLAN_ASN1_CHECKED_STRING(CASN1_VisibleString, kVisible)
VORLAN_ASN1_CHECKED_STRING(CASN1_BMPString, kBMP)
VORLAN_ASN1_CHECKED_STRING(CASN1_UniversalString, kUniversal)
