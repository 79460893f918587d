#include "vorlan/asn1/sequence.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_SEQUENCE, CASN1_CONSTRUCTED_TYPE)

CASN1_SEQUENCE::CASN1_SEQUENCE() {
    identifier = kASN1Sequence;
    m_bConstructed = 1;
}
