#include "vorlan/x509/rdnsequence.h"

#include <algorithm>
#include <span>

#include "vorlan/asn1/bitstring.h"
#include "vorlan/asn1/decoder.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/asn1/strings.h"
#include "vorlan/framework/memfile.h"
#include "vorlan/support/utf8.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_AttributeValueAssertion, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_RelativeDistinguishedName, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_RDNSequence, CASN1_CONSTRUCTED_TYPE)

namespace {

// The components of a constructed value, or null for a primitive one.
const CASN1_CONSTRUCTED_TYPE* constructed(const CASN1Type* value) {
    return value->m_bConstructed ? dynamic_cast<const CASN1_CONSTRUCTED_TYPE*>(value) : nullptr;
}

// Constructed with the identifier (unless anyTag) and every component passing `element`.
int isListOf(const CASN1Type* value, int anyTag, BYTE identifier, int (*element)(const CASN1Type*, int)) {
    const auto* list = constructed(value);
    if (!list || (!anyTag && value->identifier != identifier)) return 0;
    for (int i = 0; i < list->GetCount(); ++i) {
        const CASN1Type* component = list->GetComponents()[i];
        if (!component || !element(component, 0)) return 0;
    }
    return 1;
}

CString octetsOf(const CASN1Type& value) {
    CString text;
    value.GetString(text);
    return text;
}

// The value of an attribute as it is kept: the octets of a string, the contents of a BIT STRING.
CString valueOf(const CASN1Type& value) {
    if (value.identifier != kASN1BitString) return octetsOf(value);
    CMemFile contents;
    value.encodeTo(contents, 1);
    return CString(std::string(reinterpret_cast<const char*>(contents.GetBuffer()), contents.GetLength()));
}

const unsigned char* octets(const CString& text) { return reinterpret_cast<const unsigned char*>(static_cast<const char*>(text)); }

template <class String>
std::unique_ptr<CASN1Type> newString(const CString& text) {
    return std::make_unique<String>(octets(text), static_cast<unsigned long>(text.GetLength()));
}

// The unused-bits octet (0-7, 0 when no bits follow), then the bits.
std::unique_ptr<CASN1Type> newBits(const CString& contents) {
    const auto n = static_cast<unsigned long>(contents.GetLength());
    const unsigned unused = n ? octets(contents)[0] : 8;
    if (unused > 7 || (n == 1 && unused != 0)) return nullptr;
    return std::make_unique<CASN1_BIT_STRING>(octets(contents) + 1, (n - 1) * 8 - unused, 1);
}

// A primitive UTF8String is checked where its octets are; another form once gathered.
int isUtf8String(const CASN1Type* value, int) {
    const auto* string = dynamic_cast<const CASN1_UTF8String*>(value);
    if (string && !string->m_bConstructed)
        return vorlan::detail::IsUtf8({reinterpret_cast<const char*>(string->GetData()), static_cast<std::size_t>(string->GetSize())});
    return vorlan::detail::IsUtf8(octetsOf(*value).str());
}

// A value type of names: how a value of it is built, and the rule it must keep to read back.
struct SValueType {
    int identifier;
    std::unique_ptr<CASN1Type> (*build)(const CString&);
    int (*readsBack)(const CASN1Type*, int);
};

constexpr SValueType kValueTypes[] = {
    {kASN1PrintableString, newString<CASN1_PrintableString>, CASN1_PrintableString::isValid},
    {kASN1IA5String, newString<CASN1_IA5String>, CASN1_IA5String::isValid},
    {kASN1T61String, newString<CASN1_T61String>, nullptr},
    {kASN1UTF8String, newString<CASN1_UTF8String>, isUtf8String},
    {kASN1OctetString, newString<CASN1_OCTET_STRING>, nullptr},
    {kASN1NumericString, newString<CASN1_NumericString>, CASN1_NumericString::isValid},
    {kASN1VisibleString, newString<CASN1_VisibleString>, CASN1_VisibleString::isValid},
    {kASN1BMPString, newString<CASN1_BMPString>, CASN1_BMPString::isValid},
    {kASN1UniversalString, newString<CASN1_UniversalString>, CASN1_UniversalString::isValid},
    {kASN1BitString, newBits, nullptr},
};

// The reads of values their isValid has passed: each value is checked once, by the outermost read.
void readValid(const CASN1Type& value, CAttributeValue& attribute) {
    const auto& pair = static_cast<const CASN1_CONSTRUCTED_TYPE&>(value);
    const CASN1Type& string = pair.GetComponent(1);
    const CString contents = octetsOf(pair.GetComponent(0));
    const std::span<const BYTE> identifier(octets(contents), contents.str().size());

    const int type = vorlan::detail::AttributeTypeOfIdentifier(identifier);
    attribute.m_strLabel = type >= 0 ? vorlan::detail::AttributeLabel(type) : kUnknownAttributeLabel;
    attribute.m_abTypeOID.RemoveAll();
    if (type < 0) {
        attribute.m_abTypeOID.SetSize(static_cast<int>(identifier.size()));
        std::copy(identifier.begin(), identifier.end(), attribute.m_abTypeOID.GetData());
    }
    attribute.m_strValue = valueOf(string);
    attribute.m_nStringType = string.identifier;
}

void readValid(const CASN1Type& value, CRelativeDN& rdn) {
    const auto& set = static_cast<const CASN1_CONSTRUCTED_TYPE&>(value);
    rdn.m_attributes.RemoveAll();
    for (int i = 0; i < set.GetCount(); ++i) {
        auto attribute = std::make_unique<CAttributeValue>();
        readValid(set.GetComponent(i), *attribute);
        rdn.Add(attribute.release());
    }
}

}  // namespace

std::unique_ptr<CASN1Type> vorlan::detail::NewAttributeValueElement(const CAttributeValue& attribute) {
    const SValueType* type = std::find_if(std::begin(kValueTypes), std::end(kValueTypes),
                                          [&](const SValueType& row) { return row.identifier == attribute.m_nStringType; });
    if (type == std::end(kValueTypes))
        ___throwDERDecodingException("Attribute string type %d cannot be written", attribute.m_nStringType);
    std::unique_ptr<CASN1Type> value = type->build(attribute.m_strValue);
    if (!value || (type->readsBack && !type->readsBack(value.get(), 0)))
        ___throwDERDecodingException("Attribute value does not fit its string type %d", attribute.m_nStringType);
    return value;
}

CASN1_AttributeValueAssertion::CASN1_AttributeValueAssertion(CASN1_OBJECT_IDENTIFIER* type, CASN1Type* value) {
    AddObject(type);
    AddObject(value);
}

CASN1_AttributeValueAssertion::CASN1_AttributeValueAssertion(const CAttributeValue& attribute) {
    GetDataFrom(attribute);
}

int CASN1_AttributeValueAssertion::isValid(const CASN1Type* value, int anyTag) {
    const auto* pair = constructed(value);
    if (!pair || (!anyTag && value->identifier != kASN1Sequence) || pair->GetCount() != 2) return 0;
    const CASN1Type* type = pair->GetComponents()[0];
    const CASN1Type* string = pair->GetComponents()[1];
    return type && string && type->identifier == kASN1ObjectIdentifier && !type->m_bConstructed &&
           vorlan::detail::IsNameValueType(string->identifier) &&
           (string->identifier != kASN1UTF8String || isUtf8String(string, 0));
}

void CASN1_AttributeValueAssertion::Read(const CASN1Type& value, CAttributeValue& attribute) {
    if (!isValid(&value, 1)) ___throwDERDecodingException("AttributeValueAssertion contents is not valid");
    readValid(value, attribute);
}

void CASN1_AttributeValueAssertion::GetDataFrom(const CAttributeValue& attribute) {
    clear();
    const int type = vorlan::detail::AttributeTypeOfLabel(attribute.m_strLabel);
    std::unique_ptr<CASN1_OBJECT_IDENTIFIER> identifier;
    if (type >= 0) {
        identifier = vorlan::detail::AttributeIdentifier(type);
    } else if (attribute.m_strLabel == CString(kUnknownAttributeLabel) && attribute.m_abTypeOID.GetSize() > 0) {
        identifier = std::make_unique<CASN1_OBJECT_IDENTIFIER>();
        identifier->Copy(attribute.m_abTypeOID);
    } else {
        ___throwDERDecodingException("Attribute type of label \"%s\" is not known", static_cast<const char*>(attribute.m_strLabel));
    }
    std::unique_ptr<CASN1Type> value = vorlan::detail::NewAttributeValueElement(attribute);
    AddObject(identifier.release());
    AddObject(value.release());
}

CASN1_RelativeDistinguishedName::CASN1_RelativeDistinguishedName(const CRelativeDN& rdn) { GetDataFrom(rdn); }

int CASN1_RelativeDistinguishedName::isValid(const CASN1Type* value, int anyTag) {
    return isListOf(value, anyTag, kASN1Set, CASN1_AttributeValueAssertion::isValid);
}

void CASN1_RelativeDistinguishedName::Read(const CASN1Type& value, CRelativeDN& rdn) {
    if (!isValid(&value, 1)) ___throwDERDecodingException("RelativeDistinguishedName contents is not valid");
    readValid(value, rdn);
}

void CASN1_RelativeDistinguishedName::GetDataFrom(const CRelativeDN& rdn) {
    clear();
    for (int i = 0; i < rdn.m_attributes.GetSize(); ++i)
        AddObject(new CASN1_AttributeValueAssertion(*rdn.m_attributes[i]));
}

CASN1_RDNSequence::CASN1_RDNSequence(const CDistinguishedName& name) { GetDataFrom(name); }

CASN1_RDNSequence::CASN1_RDNSequence(CDEREncoding& der) {
    ___buildFromEncoding(*this, der);
    if (!isValid(this, 0)) {
        clear();
        ___throwDERDecodingException("RDNSequence contents is not valid");
    }
}

int CASN1_RDNSequence::isValid(const CASN1Type* value, int anyTag) {
    return isListOf(value, anyTag, kASN1Sequence, CASN1_RelativeDistinguishedName::isValid);
}

void CASN1_RDNSequence::Read(const CASN1Type& value, CDistinguishedName& name) {
    if (!isValid(&value, 1)) ___throwDERDecodingException("RDNSequence contents is not valid");
    const auto& sequence = static_cast<const CASN1_CONSTRUCTED_TYPE&>(value);
    name.RemoveAll();
    for (int i = 0; i < sequence.GetCount(); ++i) {
        auto rdn = std::make_unique<CRelativeDN>("Set");
        readValid(sequence.GetComponent(i), *rdn);
        name.Add(rdn.release());
    }
}

void CASN1_RDNSequence::GetDataFrom(const CDistinguishedName& name) {
    clear();
    for (int i = 0; i < name.GetSize(); ++i) AddObject(new CASN1_RelativeDistinguishedName(*name[i]));
}

CASN1_RDNSequence::operator CDistinguishedName() const {
    CDistinguishedName name;
    SetDataTo(name);
    return name;
}
