#include "vorlan/x509/attributevalue.h"

#include <algorithm>

#include "vorlan/asn1/identifier.h"
#include "vorlan/framework/archive.h"
#include "vorlan/support/utf8.h"
#include "vorlan/x509/ownedelements.h"

IMPLEMENT_SERIAL(CAttributeValue, CObject, 0)

namespace {

constexpr BYTE kPlainRecord = 0;
constexpr BYTE kRecordWithType = 1;

bool fitsPrintable(const CString& text) {
    for (unsigned char c : text.str())
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

bool fitsIA5(const CString& text) {
    for (unsigned char c : text.str())
        if (c >= 0x80) return false;
    return true;
}

// The code points of a BMPString (2 octets each) or UniversalString (4), big-endian, as UTF-8.
bool wideToUtf8(const std::string& octets, std::size_t width, std::string& text) {
    if (octets.size() % width != 0) return false;
    for (std::size_t i = 0; i < octets.size(); i += width) {
        char32_t code = 0;
        for (std::size_t k = 0; k < width; ++k) code = (code << 8) | static_cast<unsigned char>(octets[i + k]);
        if (!vorlan::detail::AppendUtf8(text, code)) return false;
    }
    return true;
}

}  // namespace

bool vorlan::detail::IsNameValueType(int identifier) {
    static constexpr int kTypes[] = {kASN1PrintableString, kASN1IA5String, kASN1T61String, kASN1UTF8String,
                                     kASN1OctetString,     kASN1NumericString, kASN1VisibleString, kASN1BMPString,
                                     kASN1UniversalString, kASN1BitString};
    return std::find(std::begin(kTypes), std::end(kTypes), identifier) != std::end(kTypes);
}

bool vorlan::detail::AttributeValueText(const CAttributeValue& attribute, std::string& text) {
    const std::string& octets = attribute.m_strValue.str();
    text.clear();
    switch (attribute.m_nStringType) {
        case kASN1OctetString:
        case kASN1BitString: return false;
        case kASN1UTF8String: text = octets; return true;
        case kASN1BMPString: return wideToUtf8(octets, 2, text);
        case kASN1UniversalString: return wideToUtf8(octets, 4, text);
        default:
            for (const unsigned char c : octets) AppendUtf8(text, c);
            return true;
    }
}

CAttributeValue::CAttributeValue(DNAttrNameEnum type, const char* value) : m_strValue(value) {
    const char* label = vorlan::detail::AttributeLabel(type);
    if (!label) AfxThrowNotSupportedException();
    m_strLabel = label;
    // Never a string type that the value's octets break: the decoder would refuse the name.
    if (type == dnEmailAddress) {
        m_strValue.MakeLower();
        m_nStringType = fitsIA5(m_strValue) ? 22 : 20;
    } else {
        m_nStringType = fitsPrintable(m_strValue) ? 19 : 20;
    }
}

CAttributeValue::CAttributeValue(const CAttributeValue& other) : CObject() { *this = other; }

CAttributeValue& CAttributeValue::operator=(const CAttributeValue& other) {
    m_strLabel = other.m_strLabel;
    m_strValue = other.m_strValue;
    m_nStringType = other.m_nStringType;
    m_abTypeOID.Copy(other.m_abTypeOID);
    return *this;
}

CAttributeValue::operator CString() const {
    std::string text;
    const bool wide = m_nStringType == kASN1BMPString || m_nStringType == kASN1UniversalString;
    return m_strLabel + ": " + (wide && vorlan::detail::AttributeValueText(*this, text) ? CString(text) : m_strValue);
}

void CAttributeValue::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        const bool withType = m_abTypeOID.GetSize() > 0;
        ar << (withType ? kRecordWithType : kPlainRecord) << m_strLabel << m_strValue
           << static_cast<BYTE>(m_nStringType);
        if (withType) m_abTypeOID.Serialize(ar);
        return;
    }
    BYTE format = 0, stringType = 0;
    CAttributeValue loaded;
    ar >> format;
    if (format != kPlainRecord && format != kRecordWithType) AfxThrowArchiveException(CArchiveException::generic);
    ar >> loaded.m_strLabel >> loaded.m_strValue >> stringType;
    if (!vorlan::detail::IsNameValueType(stringType)) AfxThrowArchiveException(CArchiveException::generic);
    loaded.m_nStringType = stringType;
    if (format == kRecordWithType) {
        loaded.m_abTypeOID.Serialize(ar);
        // An identifier that the decoder refuses belongs to no name it could have read.
        if (loaded.m_abTypeOID.GetSize() == 0 || loaded.m_abTypeOID[0] > 119)
            AfxThrowArchiveException(CArchiveException::generic);
    }
    *this = loaded;
}

int operator==(const CAttributeValue& a, const CAttributeValue& b) {
    return a.m_strLabel == b.m_strLabel && a.m_strValue == b.m_strValue && a.m_nStringType == b.m_nStringType &&
           a.m_abTypeOID.GetSize() == b.m_abTypeOID.GetSize() &&
           std::equal(a.m_abTypeOID.GetData(), a.m_abTypeOID.GetData() + a.m_abTypeOID.GetSize(),
                      b.m_abTypeOID.GetData());
}

void DestructElements(CAttributeValue** elements, int count) { vorlan::detail::DeleteOwned(elements, count); }
void SerializeElements(CArchive& ar, CAttributeValue** elements, int count) {
    vorlan::detail::SerializeOwned(ar, elements, count);
}
