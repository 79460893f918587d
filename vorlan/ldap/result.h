/// \file
/// LDAPResult and Referral: the result every response carries, and the fields shared by the
/// responses that extend it.
#pragma once

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/namedtype.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/asn1/sequence.h"

/// SEQUENCE SIZE (1..MAX) OF URI (RFC 4511): the first row makes an empty referral invalid.
class CASN1_Referral : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_Referral, kASN1Sequence)
    ASN1_ELEMENTS(CASN1_OCTET_STRING)
};

/// The rows and accessors every result-shaped record begins with.
#define LDAP_RESULT_ROWS                                                            \
    ASN1Row("resultCode", kASN1Enumerated), ASN1Row("matchedDN", kASN1OctetString), \
        ASN1Row("errorMessage", kASN1OctetString),                                  \
        ASN1TypedRow<CASN1_Referral>("referral", ASN1ContextTag(3), TAGGING_IMPLICIT, EASN1Presence::optional)
/// The accessors of the rows of LDAP_RESULT_ROWS.
#define LDAP_RESULT_MEMBERS                       \
    ASN1_MEMBER(CASN1_ENUMERATED, resultCode)     \
    ASN1_MEMBER(CASN1_OCTET_STRING, matchedDN)    \
    ASN1_MEMBER(CASN1_OCTET_STRING, errorMessage) \
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, referral)
/// Defines the accessors of LDAP_RESULT_MEMBERS for X.
#define IMPLEMENT_LDAP_RESULT_MEMBERS(X)                       \
    IMPLEMENT_ASN1_MEMBER(X, CASN1_ENUMERATED, resultCode)     \
    IMPLEMENT_ASN1_MEMBER(X, CASN1_OCTET_STRING, matchedDN)    \
    IMPLEMENT_ASN1_MEMBER(X, CASN1_OCTET_STRING, errorMessage) \
    IMPLEMENT_ASN1_OPTIONAL_MEMBER(X, CASN1_TAGGED, referral)

/// LDAPResult ::= SEQUENCE { resultCode, matchedDN, diagnosticMessage, referral [3] OPTIONAL }
/// (RFC 4511 4.1.9).
class CASN1_LDAPResult : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_LDAPResult, kASN1Sequence)
    LDAP_RESULT_MEMBERS
};
