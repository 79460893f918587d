/// \file
/// Extended operations (with the names and values standard servers use beside the older
/// ones), intermediate responses and the protected password.
#pragma once

#include "vorlan/asn1/tagged.h"
#include "vorlan/ldap/result.h"

/// requestValue is optional (RFC 4511): WhoAmI and others carry none.
class CASN1_ExtendedRequest : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_ExtendedRequest, ASN1ApplicationTag(23))
    ASN1_MEMBER(CASN1_TAGGED, requestName)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, requestValue)
};

/// requestName [0] and response [1] as first described; servers send responseName [10] and
/// responseValue [11] (RFC 4511).
class CASN1_ExtendedResponse : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_ExtendedResponse, ASN1ApplicationTag(24))
    LDAP_RESULT_MEMBERS
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, requestName)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, response)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, responseName)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, responseValue)
};

/// IntermediateResponse ::= [APPLICATION 25] SEQUENCE { responseName [0] OPTIONAL, responseValue
/// [1] OPTIONAL } (RFC 4511 4.13).
class CASN1_IntermediateResponse : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_IntermediateResponse, ASN1ApplicationTag(25))
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, responseName)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, responseValue)
};

/// The protected password: optional times and random values, then the protected octets.
class CASN1_ProtectedPassword : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_ProtectedPassword, kASN1Sequence)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, time1)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, time2)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, random1)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, random2)
    ASN1_MEMBER(CASN1_TAGGED, protected)
};
