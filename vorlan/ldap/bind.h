/// \file
/// Bind: the request with its authentication CHOICE and SASL credentials, and the response.
#pragma once

#include "vorlan/asn1/tagged.h"
#include "vorlan/ldap/result.h"

/// SaslCredentials ::= SEQUENCE { mechanism, credentials } (credentials required here).
class CASN1_SaslCredentials : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_SaslCredentials, kASN1Sequence)
    ASN1_MEMBER(CASN1_OCTET_STRING, mechanism)
    ASN1_MEMBER(CASN1_OCTET_STRING, credentials)
};

/// AuthenticationChoice ::= CHOICE { simple [0], sasl [3] } (RFC 4511 4.2).
class CASN1_AuthenticationChoice : public CASN1ChoiceView {
    DECLARE_ASN1_CHOICE(CASN1_AuthenticationChoice)
    ASN1_ALTERNATIVE(simple)
    ASN1_ALTERNATIVE(sasl)
};

/// BindRequest ::= [APPLICATION 0] SEQUENCE { version, name, authentication } (RFC 4511 4.2).
class CASN1_BindRequest : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_BindRequest, ASN1ApplicationTag(0))
    ASN1_MEMBER(CASN1_INTEGER, version)
    ASN1_MEMBER(CASN1_OCTET_STRING, name)
    ASN1_CHOICE_MEMBER(CASN1_AuthenticationChoice, authentication)
};

/// BindResponse ::= [APPLICATION 1]: an LDAPResult, then the optional supportedVersion [5],
/// serverURL [6] and serverCreds [7].
class CASN1_BindResponse : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_BindResponse, ASN1ApplicationTag(1))
    LDAP_RESULT_MEMBERS
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, supportedVersion)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, serverURL)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, serverCreds)
};
