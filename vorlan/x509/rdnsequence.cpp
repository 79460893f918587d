#include "vorlan/x509/rdnsequence.h"

#include "vorlan/asn1/decoder.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/asn1/strings.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_AttributeValueAssertion, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_RelativeDistinguishedName, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_RDNSequence, CASN1_CONSTRUCTED_TYPE)

namespace {

bool isAttributeString(BYTE identifier) {
    return identifier == kASN1PrintableString || identifier == kASN1IA5String || identifier == kASN1T61String ||
           identifier == kASN1UTF8String || identifier == kASN1OctetString;
}

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

template <class String>
std::unique_ptr<CASN1Type> newString(const CString& text) {
    return std::make_unique<String>(reinterpret_cast<const unsigned char*>(static_cast<const char*>(text)),
                                    static_cast<unsigned long>(text.GetLength()));
}

}  // namespace

std::unique_ptr<CASN1Type> vorlan::detail::NewAttributeValueElement(const CAttributeValue& attribute) {
    const CString& text = attribute.m_strValue;
    std::unique_ptr<CASN1Type> value;
    switch (attribute.m_nStringType) {
        case kASN1PrintableString: value = newString<CASN1_PrintableString>(text); break;
        case kASN1IA5String: value = newString<CASN1_IA5String>(text); break;
        case kASN1T61String: value = newString<CASN1_T61String>(text); break;
        case kASN1UTF8String: value = newString<CASN1_UTF8String>(text); break;
        case kASN1OctetString: value = newString<CASN1_OCTET_STRING>(text); break;
        default: ___throwDERDecodingException("Attribute string type %d cannot be written", attribute.m_nStringType);
    }
    const bool readsBack = attribute.m_nStringType == kASN1PrintableString ? CASN1_PrintableString::isValid(value.get(), 0)
                           : attribute.m_nStringType == kASN1IA5String ? CASN1_IA5String::isValid(value.get(), 0)
                                                                        : true;
    if (!readsBack) ___throwDERDecodingException("Attribute value does not fit its string type %d", attribute.m_nStringType);
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
           isAttributeString(string->identifier);
}

void CASN1_AttributeValueAssertion::Read(const CASN1Type& value, CAttributeValue& attribute) {
    if (!isValid(&value, 1)) ___throwDERDecodingException("AttributeValueAssertion contents is not valid");
    const auto& pair = dynamic_cast<const CASN1_CONSTRUCTED_TYPE&>(value);
    const CASN1Type& string = pair.GetComponent(1);
    CByteArray identifier;
    const CString contents = octetsOf(pair.GetComponent(0));
    identifier.SetSize(contents.GetLength());
    std::copy(contents.str().begin(), contents.str().end(), identifier.GetData());

    const int type = vorlan::detail::AttributeTypeOfIdentifier(identifier);
    attribute.m_strLabel = type >= 0 ? vorlan::detail::AttributeLabel(type) : kUnknownAttributeLabel;
    attribute.m_abTypeOID.RemoveAll();
    if (type < 0) attribute.m_abTypeOID.Copy(identifier);
    attribute.m_strValue = octetsOf(string);
    attribute.m_nStringType = string.identifier;
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
    const auto& set = dynamic_cast<const CASN1_CONSTRUCTED_TYPE&>(value);
    rdn.m_attributes.RemoveAll();
    for (int i = 0; i < set.GetCount(); ++i) {
        auto attribute = std::make_unique<CAttributeValue>();
        CASN1_AttributeValueAssertion::Read(set.GetComponent(i), *attribute);
        rdn.Add(attribute.release());
    }
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
    const auto& sequence = dynamic_cast<const CASN1_CONSTRUCTED_TYPE&>(value);
    name.RemoveAll();
    for (int i = 0; i < sequence.GetCount(); ++i) {
        auto rdn = std::make_unique<CRelativeDN>("Set");
        CASN1_RelativeDistinguishedName::Read(sequence.GetComponent(i), *rdn);
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
