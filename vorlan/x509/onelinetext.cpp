#include "vorlan/x509/onelinetext.h"

#include <cstring>
#include <string>

#include "vorlan/asn1/definiteheader.h"
#include "vorlan/asn1/primitive.h"
#include "vorlan/support/hex.h"
#include "vorlan/support/utf8.h"

namespace {

void appendHexEscape(std::string& out, unsigned char octet) {
    static const char digits[] = "0123456789ABCDEF";
    out += '\\';
    out += digits[octet >> 4];
    out += digits[octet & 15];
}

std::string escapedValue(const std::string& value, bool utf8) {
    std::string out;
    const auto* octets = reinterpret_cast<const unsigned char*>(value.data());
    const size_t n = value.size();
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = octets[i];
        if (c < 0x20 || c == 0x7F) {
            appendHexEscape(out, c);
        } else if (std::strchr(",+\"\\<>;", c) || (i == 0 && (c == ' ' || c == '#')) || (i == n - 1 && c == ' ')) {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (!utf8) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (const size_t length = vorlan::detail::Utf8SequenceLength(octets + i, n - i)) {
            out.append(value, i, length);
            i += length - 1;
        } else {
            appendHexEscape(out, c);
        }
    }
    return out;
}

// "#" and the hexadecimal of the value's DER: identifier (the string type), length, octets.
std::string encodedValue(const CAttributeValue& attribute) {
    const auto length = static_cast<unsigned long>(attribute.m_strValue.GetLength());
    unsigned char header[vorlan::detail::kMaxHeaderOctets];
    const unsigned count = vorlan::detail::definiteHeaderOctets(length);
    vorlan::detail::putDefiniteHeader(header, static_cast<unsigned char>(attribute.m_nStringType), length, count);
    return "#" + OctetsToHexChars(header, static_cast<int>(count)).str() +
           OctetsToHexChars(reinterpret_cast<const unsigned char*>(attribute.m_strValue.str().data()),
                            attribute.m_strValue.GetLength())
               .str();
}

}  // namespace

CString vorlan::detail::OneLineAttribute(const CAttributeValue& attribute) {
    const int type = AttributeTypeOfLabel(attribute.m_strLabel);
    const char* shortName = AttributeShortName(type, attribute.m_abTypeOID);
    std::string text;
    if (shortName && AttributeValueText(attribute, text)) return CString(shortName) + "=" + CString(escapedValue(text, true));
    CString typeText;
    if (shortName) {
        typeText = shortName;
    } else if (attribute.m_abTypeOID.GetSize() > 0) {
        CASN1_OBJECT_IDENTIFIER identifier;
        identifier.Copy(attribute.m_abTypeOID);
        identifier.GetDecimalDottedString(typeText);
    } else {
        typeText = CString(escapedValue(attribute.m_strLabel.str(), false));
    }
    return typeText + "=" + CString(encodedValue(attribute));
}
