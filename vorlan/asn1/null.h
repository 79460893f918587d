/// \file
/// CASN1_NULL: no contents.
#pragma once

#include "vorlan/asn1/primitive.h"

/// NULL: no contents; decoding refuses any.
class CASN1_NULL : public CASN1_PRIMITIVE_TYPE {
public:
    CASN1_NULL() { identifier = kASN1Null; }
    DECLARE_ASN1_VALUE_FAMILY(CASN1_NULL)

protected:
    void setContents(CDEREncoding& der, unsigned long size) override;
};
