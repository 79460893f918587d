/// \file
/// CAttributeValue: one attribute of a distinguished name as the client sees it: the
/// readable label of its type, the value text and the ASN.1 string type of the value.
#pragma once

#include "vorlan/framework/array.h"
#include "vorlan/framework/bytearray.h"
#include "vorlan/x509/attributetypes.h"

/// One attribute of a distinguished name as the client sees it: the readable label of its type,
/// the value text and the ASN.1 string type of the value. A plain value.
class CAttributeValue : public CObject {
    DECLARE_SERIAL(CAttributeValue)
public:
    /// Empty label and value, PrintableString.
    CAttributeValue() = default;
    /// The type's label and the value in a string type that holds it: PrintableString, or
    /// IA5String for an e-mail address (made lower case); T61String when the octets do not fit
    /// those. An enumerator outside the table throws CNotSupportedException.
    CAttributeValue(DNAttrNameEnum type, const char* value);
    /// A copy of every field.
    CAttributeValue(const CAttributeValue& other);
    /// Copies every field.
    CAttributeValue& operator=(const CAttributeValue& other);
    ~CAttributeValue() override = default;

    /// Label, ": ", value (a BMPString or UniversalString as UTF-8).
    operator CString() const;  // NOLINT: the client's text conversion

    /// Octet 0, label, value, string type as one octet; an attribute of an unknown type is
    /// written with octet 1 and its type's identifier contents after them.
    void Serialize(CArchive& ar) override;

    CString m_strLabel;  ///< the type's label, "Common Name" say (AttributeLabel)
    CString m_strValue;  ///< the value's octets
    /// Universal tag of the value: 19 PrintableString, 22 IA5String, 20 T61String,
    /// 12 UTF8String, 4 OCTET STRING; as received also 18 NumericString, 26 VisibleString,
    /// 30 BMPString, 28 UniversalString (the octets of the string, not converted) and
    /// 3 BIT STRING (its contents: the unused-bits octet, then the bits).
    int m_nStringType = 19;
    /// The OBJECT IDENTIFIER contents of a decoded type that the table does not know (label
    /// "Unknown"), kept so that the attribute compares and encodes as it arrived; else empty.
    CByteArray m_abTypeOID;
};

/// Label, value, string type and the identifier of an unknown type equal, octet for octet.
int operator==(const CAttributeValue& a, const CAttributeValue& b);

namespace vorlan::detail {
/// A universal type a name's value may have: the string types above, OCTET STRING and BIT STRING.
bool IsNameValueType(int identifier);
/// The value as UTF-8: a UTF8String as it stands, BMPString and UniversalString converted, the
/// octets of the other string types taken as Latin-1; false for a value without text (OCTET
/// STRING, BIT STRING, a code point that UTF-8 cannot carry).
bool AttributeValueText(const CAttributeValue& attribute, std::string& text);
}  // namespace vorlan::detail

/// attributes by pointer; the array owns them
using CAttributeValueArray = CArray<CAttributeValue*, CAttributeValue*>;

///@{
/// An owning array: removing or destroying an element deletes it; loading creates the
/// missing elements before they read themselves.
void DestructElements(CAttributeValue** elements, int count);
void SerializeElements(CArchive& ar, CAttributeValue** elements, int count);
///@}
