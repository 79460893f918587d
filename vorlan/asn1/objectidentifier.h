/// \file
/// CASN1_OBJECT_IDENTIFIER: the first octet holds the first two arcs (40 x first +
/// second), each further arc is base 128, high bit set on all but its last octet.
#pragma once

#include "vorlan/asn1/primitive.h"

/// OBJECT IDENTIFIER: the first octet holds the first two arcs (40 x first + second), each
/// further arc is base 128, high bit set on all but its last octet.
class CASN1_OBJECT_IDENTIFIER : public CASN1_PRIMITIVE_TYPE {
public:
    /// The identifier 0.0.
    CASN1_OBJECT_IDENTIFIER();
    /// One octet, first x 40 + second in eight-bit arithmetic.
    CASN1_OBJECT_IDENTIFIER(unsigned char first, unsigned char second);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_OBJECT_IDENTIFIER)

    /// Appends an arc.
    void AddIDComponent(unsigned long arc);
    /// "first.second.arc..."; empty without contents.
    void GetDecimalDottedString(CString& text) const;
    /// The dotted text, as GetDecimalDottedString gives it.
    operator CString() const;

    void Dump(unsigned long indent, CFile* file) const override;

protected:
    void setContents(CDEREncoding& der, unsigned long size) override;
};

/// 1 when the contents octets are equal.
int operator==(const CASN1_OBJECT_IDENTIFIER& a, const CASN1_OBJECT_IDENTIFIER& b);
