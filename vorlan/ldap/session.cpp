#include "vorlan/ldap/session.h"

constexpr ASN1_COMPONENT_INFO CASN1_ControlsEntry::m_compInfoList[] = {
    ASN1Row("controlType", kASN1OctetString),
    ASN1Row("criticality", kASN1Boolean, EASN1Presence::optional),
    ASN1Row("controlValue", kASN1OctetString),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_ControlsEntry, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_MEMBER(CASN1_ControlsEntry, CASN1_OCTET_STRING, controlType)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_ControlsEntry, CASN1_BOOLEAN, criticality)
IMPLEMENT_ASN1_MEMBER(CASN1_ControlsEntry, CASN1_OCTET_STRING, controlValue)

constexpr ASN1_COMPONENT_INFO CASN1_Controls::m_compInfoList[] = {
    ASN1TypedRow<CASN1_ControlsEntry>("", kASN1Sequence, TAGGING_NONE, EASN1Presence::repeated),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_Controls, CASN1_CONSTRUCTED_TYPE)

constexpr ASN1_COMPONENT_INFO CASN1_SequenceOfLDAPString::m_compInfoList[] = {
    ASN1Row("", kASN1OctetString, EASN1Presence::repeated),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_SequenceOfLDAPString, CASN1_CONSTRUCTED_TYPE)

constexpr ASN1_COMPONENT_INFO CASN1_SessionResponse::m_compInfoList[] = {
    LDAP_RESULT_ROWS,
    ASN1TypedRow<CASN1_SequenceOfLDAPString>("unsupportedCtls", ASN1ContextTag(12), TAGGING_IMPLICIT),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_SessionResponse, CASN1_TAGGED)
IMPLEMENT_LDAP_RESULT_MEMBERS(CASN1_SessionResponse)
IMPLEMENT_ASN1_MEMBER(CASN1_SessionResponse, CASN1_TAGGED, unsupportedCtls)

constexpr ASN1_COMPONENT_INFO CASN1_ResumeRequest::m_compInfoList[] = {
    ASN1Row("searchRequestID", ASN1ContextTag(0)),
    ASN1Row("startAtEntry", ASN1ContextTag(1)),
    ASN1Row("entriesToReturn", ASN1ContextTag(2)),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_ResumeRequest, CASN1_TAGGED)
IMPLEMENT_ASN1_MEMBER(CASN1_ResumeRequest, CASN1_TAGGED, searchRequestID)
IMPLEMENT_ASN1_MEMBER(CASN1_ResumeRequest, CASN1_TAGGED, startAtEntry)
IMPLEMENT_ASN1_MEMBER(CASN1_ResumeRequest, CASN1_TAGGED, entriesToReturn)
