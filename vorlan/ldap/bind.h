/// \file
/// Bind: the request with its authentication CHOICE and SASL credentials, and the response.
#pragma once

#include "vorlan/asn1/tagged.h"
#include "vorlan/ldap/result.h"

class CASN1_SaslCredentials : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_SaslCredentials, kASN1Sequence)
    ASN1_MEMBER(CASN1_OCTET_STRING, mechanism)
    ASN1_MEMBER(CASN1_OCTET_STRING, credentials)
};

class CASN1_AuthenticationChoice : public CASN1ChoiceView {
    DECLARE_ASN1_CHOICE(CASN1_AuthenticationChoice)
    ASN1_ALTERNATIVE(simple)
    ASN1_ALTERNATIVE(sasl)
};

class CASN1_BindRequest : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_BindRequest, ASN1ApplicationTag(0))
    ASN1_MEMBER(CASN1_INTEGER, version)
    ASN1_MEMBER(CASN1_OCTET_STRING, name)
    ASN1_CHOICE_MEMBER(CASN1_AuthenticationChoice, authentication)
};

class CASN1_BindResponse : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_BindResponse, ASN1ApplicationTag(1))
    LDAP_RESULT_MEMBERS
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, supportedVersion)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, serverURL)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, serverCreds)
};
