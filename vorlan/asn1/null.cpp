#include "vorlan/asn1/null.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_NULL, CASN1_PRIMITIVE_TYPE)

void CASN1_NULL::setContents(CDEREncoding&, unsigned long size) {
    if (size != 0) ___throwDERDecodingException("Encoded NULL value has invalid length");
}
