#include "vorlan/ldap/bind.h"

constexpr ASN1_COMPONENT_INFO CASN1_SaslCredentials::m_compInfoList[] = {
    ASN1Row("mechanism", kASN1OctetString),
    ASN1Row("credentials", kASN1OctetString),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_SaslCredentials, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_MEMBER(CASN1_SaslCredentials, CASN1_OCTET_STRING, mechanism)
IMPLEMENT_ASN1_MEMBER(CASN1_SaslCredentials, CASN1_OCTET_STRING, credentials)

constexpr ASN1_COMPONENT_INFO CASN1_AuthenticationChoice::m_alternativesList[] = {
    ASN1Row("simple", ASN1ContextTag(0)),
    ASN1TypedRow<CASN1_SaslCredentials>("sasl", ASN1ContextTag(3), TAGGING_IMPLICIT),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_CHOICE(CASN1_AuthenticationChoice)
IMPLEMENT_ASN1_ALTERNATIVE(CASN1_AuthenticationChoice, simple)
IMPLEMENT_ASN1_ALTERNATIVE(CASN1_AuthenticationChoice, sasl)

constexpr ASN1_COMPONENT_INFO CASN1_BindRequest::m_compInfoList[] = {
    ASN1Row("version", kASN1Integer),
    ASN1Row("name", kASN1OctetString),
    ASN1ChoiceRow<CASN1_AuthenticationChoice>("authentication"),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_BindRequest, CASN1_TAGGED)
IMPLEMENT_ASN1_MEMBER(CASN1_BindRequest, CASN1_INTEGER, version)
IMPLEMENT_ASN1_MEMBER(CASN1_BindRequest, CASN1_OCTET_STRING, name)
IMPLEMENT_ASN1_CHOICE_MEMBER(CASN1_BindRequest, CASN1_AuthenticationChoice, authentication)

constexpr ASN1_COMPONENT_INFO CASN1_BindResponse::m_compInfoList[] = {
    LDAP_RESULT_ROWS,
    ASN1Row("supportedVersion", ASN1ContextTag(5), EASN1Presence::optional),
    ASN1Row("serverURL", ASN1ContextTag(6), EASN1Presence::optional),
    ASN1TypedRow<CASN1_AuthenticationChoice>("serverCreds", ASN1ContextTag(7), TAGGING_IMPLICIT,
                                             EASN1Presence::optional),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_BindResponse, CASN1_TAGGED)
IMPLEMENT_LDAP_RESULT_MEMBERS(CASN1_BindResponse)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_BindResponse, CASN1_TAGGED, supportedVersion)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_BindResponse, CASN1_TAGGED, serverURL)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_BindResponse, CASN1_TAGGED, serverCreds)
