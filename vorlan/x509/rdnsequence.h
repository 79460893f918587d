/// \file
/// The ASN.1 forms of names: RDNSequence (SEQUENCE OF RelativeDistinguishedName),
/// RelativeDistinguishedName (SET OF AttributeValueAssertion) and AttributeValueAssertion
/// (attribute type, string value), each converting to and from its client class. The static
/// readers take any value of the shape, as decoded inside a larger structure.
#pragma once

#include <memory>

#include "vorlan/asn1/objectidentifier.h"
#include "vorlan/asn1/set.h"
#include "vorlan/x509/distinguishedname.h"

/// AttributeTypeAndValue ::= SEQUENCE { type, value }: one attribute of a name.
class CASN1_AttributeValueAssertion : public CASN1_SEQUENCE {
public:
    CASN1_AttributeValueAssertion() = default;
    /// The two components, owned from now on.
    CASN1_AttributeValueAssertion(CASN1_OBJECT_IDENTIFIER* type, CASN1Type* value);
    /// The attribute written as GetDataFrom does.
    explicit CASN1_AttributeValueAssertion(const CAttributeValue& attribute);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_AttributeValueAssertion)

    /// Constructed, tag 16 unless anyTag, an OBJECT IDENTIFIER and a value of a type names
    /// may hold (vorlan::detail::IsNameValueType); a UTF8String must be well-formed UTF-8.
    static int isValid(const CASN1Type* value, int anyTag);
    /// The label of the type ("Unknown", its identifier kept, for a type not in the table),
    /// the value's octets (a BIT STRING's contents) and its tag; the decoding exception for a value that fails isValid(value, 1).
    static void Read(const CASN1Type& value, CAttributeValue& attribute);

    /// Read(*this, attribute).
    void SetDataTo(CAttributeValue& attribute) const { Read(*this, attribute); }
    /// Throws the decoding exception for an attribute that cannot be written so that it
    /// reads back: a label outside the table without a kept identifier, a string type not
    /// listed above, or octets that break the string type's rule.
    void GetDataFrom(const CAttributeValue& attribute);
};

/// RelativeDistinguishedName ::= SET OF AttributeTypeAndValue.
class CASN1_RelativeDistinguishedName : public CASN1_SET {
public:
    CASN1_RelativeDistinguishedName() = default;
    /// The RDN written as GetDataFrom does.
    explicit CASN1_RelativeDistinguishedName(const CRelativeDN& rdn);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_RelativeDistinguishedName)

    /// Constructed, tag 17 unless anyTag, every element a valid assertion (none is valid).
    static int isValid(const CASN1Type* value, int anyTag);
    /// The decoding exception for a value that fails isValid(value, 1).
    static void Read(const CASN1Type& value, CRelativeDN& rdn);

    /// Read(*this, rdn).
    void SetDataTo(CRelativeDN& rdn) const { Read(*this, rdn); }
    /// Replaces the components by the RDN's attributes; the decoding exception for an attribute
    /// that cannot be written (see CASN1_AttributeValueAssertion::GetDataFrom).
    void GetDataFrom(const CRelativeDN& rdn);
};

/// RDNSequence ::= SEQUENCE OF RelativeDistinguishedName: a distinguished name.
class CASN1_RDNSequence : public CASN1_SEQUENCE {
public:
    CASN1_RDNSequence() = default;
    /// The name written as GetDataFrom does.
    explicit CASN1_RDNSequence(const CDistinguishedName& name);
    /// Decodes, then checks the shape: "RDNSequence contents is not valid" and cleared otherwise.
    explicit CASN1_RDNSequence(CDEREncoding& der);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_RDNSequence)

    /// Constructed, tag 16 unless anyTag, every element a valid RDN (none is valid).
    static int isValid(const CASN1Type* value, int anyTag);
    /// The name of any value that passes isValid(value, 1); the decoding exception otherwise.
    static void Read(const CASN1Type& value, CDistinguishedName& name);

    /// Read(*this, name).
    void SetDataTo(CDistinguishedName& name) const { Read(*this, name); }
    /// Replaces the components by the name's RDNs; the decoding exception for an attribute that
    /// cannot be written.
    void GetDataFrom(const CDistinguishedName& name);
    /// The name, as Read gives it.
    operator CDistinguishedName() const;  // NOLINT: the client converts implicitly
};

namespace vorlan::detail {
/// The ASN.1 value an attribute is written as; the decoding exception when it cannot be.
std::unique_ptr<CASN1Type> NewAttributeValueElement(const CAttributeValue& attribute);
}  // namespace vorlan::detail
