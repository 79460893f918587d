/// \file
/// CASN1_BOOLEAN: one contents octet, 0x00 or 0xFF.
#pragma once

#include "vorlan/asn1/primitive.h"

/// BOOLEAN: one contents octet, 0x00 or 0xFF.
class CASN1_BOOLEAN : public CASN1_PRIMITIVE_TYPE {
public:
    /// 0xFF for a non-zero `value`, else 0x00.
    explicit CASN1_BOOLEAN(int value);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_BOOLEAN)

    /// 1 when the first contents octet is non-zero (0 without contents).
    int GetBoolean() const { return GetSize() > 0 && GetAt(0) != 0; }
    void Dump(unsigned long indent, CFile* file) const override;

protected:
    void setContents(CDEREncoding& der, unsigned long size) override;
};
