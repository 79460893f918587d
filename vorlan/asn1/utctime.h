// CASN1_UTCTime: the text YYMMDDhhmm[ss] followed by Z or by + or - and HHMM.
#pragma once

#include "vorlan/asn1/constructed.h"

class CASN1_UTCTime : public CASN1_CONSTRUCTED_TYPE {
public:
    CASN1_UTCTime() { identifier = kASN1UTCTime; }
    DECLARE_ASN1_VALUE_FAMILY(CASN1_UTCTime)

    // The shape of the text (length 11, 13, 15 or 17, digits and zone character); ranges unchecked.
    static int isValid(const CASN1Type* value, int anyTag);
};
