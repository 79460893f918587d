#include "vorlan/ldap/extended.h"

constexpr ASN1_COMPONENT_INFO CASN1_ExtendedRequest::m_compInfoList[] = {
    ASN1Row("requestName", ASN1ContextTag(0)),
    ASN1Row("requestValue", ASN1ContextTag(1), EASN1Presence::optional),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_ExtendedRequest, CASN1_TAGGED)
IMPLEMENT_ASN1_MEMBER(CASN1_ExtendedRequest, CASN1_TAGGED, requestName)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_ExtendedRequest, CASN1_TAGGED, requestValue)

constexpr ASN1_COMPONENT_INFO CASN1_ExtendedResponse::m_compInfoList[] = {
    LDAP_RESULT_ROWS,
    ASN1Row("requestName", ASN1ContextTag(0), EASN1Presence::optional),
    ASN1Row("response", ASN1ContextTag(1), EASN1Presence::optional),
    ASN1Row("responseName", ASN1ContextTag(10), EASN1Presence::optional),
    ASN1Row("responseValue", ASN1ContextTag(11), EASN1Presence::optional),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_ExtendedResponse, CASN1_TAGGED)
IMPLEMENT_LDAP_RESULT_MEMBERS(CASN1_ExtendedResponse)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_ExtendedResponse, CASN1_TAGGED, requestName)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_ExtendedResponse, CASN1_TAGGED, response)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_ExtendedResponse, CASN1_TAGGED, responseName)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_ExtendedResponse, CASN1_TAGGED, responseValue)

constexpr ASN1_COMPONENT_INFO CASN1_IntermediateResponse::m_compInfoList[] = {
    ASN1Row("responseName", ASN1ContextTag(0), EASN1Presence::optional),
    ASN1Row("responseValue", ASN1ContextTag(1), EASN1Presence::optional),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_IntermediateResponse, CASN1_TAGGED)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_IntermediateResponse, CASN1_TAGGED, responseName)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_IntermediateResponse, CASN1_TAGGED, responseValue)

constexpr ASN1_COMPONENT_INFO CASN1_ProtectedPassword::m_compInfoList[] = {
    ASN1Row("time1", ASN1ContextTag(0), EASN1Presence::optional),
    ASN1Row("time2", ASN1ContextTag(1), EASN1Presence::optional),
    ASN1Row("random1", ASN1ContextTag(2), EASN1Presence::optional),
    ASN1Row("random2", ASN1ContextTag(3), EASN1Presence::optional),
    ASN1Row("protected", ASN1ContextTag(4)),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_ProtectedPassword, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_ProtectedPassword, CASN1_TAGGED, time1)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_ProtectedPassword, CASN1_TAGGED, time2)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_ProtectedPassword, CASN1_TAGGED, random1)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_ProtectedPassword, CASN1_TAGGED, random2)
IMPLEMENT_ASN1_MEMBER(CASN1_ProtectedPassword, CASN1_TAGGED, protected)
