#include "vorlan/ldap/update.h"

constexpr ASN1_COMPONENT_INFO CASN1_LDAPAttributeTypeAndValues::m_compInfoList[] = {LDAP_ATTRIBUTE_ROWS, ASN1EndRow()};
IMPLEMENT_ASN1_NAMED(CASN1_LDAPAttributeTypeAndValues, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_LDAP_ATTRIBUTE_MEMBERS(CASN1_LDAPAttributeTypeAndValues)

constexpr ASN1_COMPONENT_INFO CASN1_LDAPAttribute::m_compInfoList[] = {LDAP_ATTRIBUTE_ROWS, ASN1EndRow()};
IMPLEMENT_ASN1_NAMED(CASN1_LDAPAttribute, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_LDAP_ATTRIBUTE_MEMBERS(CASN1_LDAPAttribute)

constexpr ASN1_COMPONENT_INFO CASN1_ModificationEntry::m_compInfoList[] = {
    ASN1Row("operation", kASN1Enumerated),
    ASN1TypedRow<CASN1_LDAPAttributeTypeAndValues>("modification", kASN1Sequence, TAGGING_NONE),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_ModificationEntry, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_MEMBER(CASN1_ModificationEntry, CASN1_ENUMERATED, operation)
IMPLEMENT_ASN1_MEMBER(CASN1_ModificationEntry, CASN1_LDAPAttributeTypeAndValues, modification)

constexpr ASN1_COMPONENT_INFO CASN1_ModificationList::m_compInfoList[] = {
    ASN1TypedRow<CASN1_ModificationEntry>("", kASN1Sequence, TAGGING_NONE, EASN1Presence::repeated),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_ModificationList, CASN1_CONSTRUCTED_TYPE)

constexpr ASN1_COMPONENT_INFO CASN1_ModifyRequest::m_compInfoList[] = {
    ASN1Row("object", kASN1OctetString),
    ASN1TypedRow<CASN1_ModificationList>("modification", kASN1Sequence, TAGGING_NONE),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_ModifyRequest, CASN1_TAGGED)
IMPLEMENT_ASN1_MEMBER(CASN1_ModifyRequest, CASN1_OCTET_STRING, object)
IMPLEMENT_ASN1_MEMBER(CASN1_ModifyRequest, CASN1_ModificationList, modification)

constexpr ASN1_COMPONENT_INFO CASN1_LDAPAttributeList::m_compInfoList[] = {
    ASN1TypedRow<CASN1_LDAPAttributeTypeAndValues>("", kASN1Sequence, TAGGING_NONE, EASN1Presence::repeated),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_LDAPAttributeList, CASN1_CONSTRUCTED_TYPE)

constexpr ASN1_COMPONENT_INFO CASN1_AddRequest::m_compInfoList[] = {
    ASN1Row("entry", kASN1OctetString),
    ASN1TypedRow<CASN1_LDAPAttributeList>("attributes", kASN1Sequence, TAGGING_NONE),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_AddRequest, CASN1_TAGGED)
IMPLEMENT_ASN1_MEMBER(CASN1_AddRequest, CASN1_OCTET_STRING, entry)
IMPLEMENT_ASN1_MEMBER(CASN1_AddRequest, CASN1_LDAPAttributeList, attributes)

constexpr ASN1_COMPONENT_INFO CASN1_ModifyDNRequest::m_compInfoList[] = {
    ASN1Row("entry", kASN1OctetString),
    ASN1Row("newrdn", kASN1OctetString),
    ASN1Row("deleteoldrdn", kASN1Boolean),
    ASN1Row("newSuperior", ASN1ContextTag(0), EASN1Presence::optional),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_ModifyDNRequest, CASN1_TAGGED)
IMPLEMENT_ASN1_MEMBER(CASN1_ModifyDNRequest, CASN1_OCTET_STRING, entry)
IMPLEMENT_ASN1_MEMBER(CASN1_ModifyDNRequest, CASN1_OCTET_STRING, newrdn)
IMPLEMENT_ASN1_MEMBER(CASN1_ModifyDNRequest, CASN1_BOOLEAN, deleteoldrdn)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_ModifyDNRequest, CASN1_TAGGED, newSuperior)

constexpr ASN1_COMPONENT_INFO CASN1_CompareRequest::m_compInfoList[] = {
    ASN1Row("entry", kASN1OctetString),
    ASN1TypedRow<CASN1_LDAPAttributeValueAssertion>("ava", kASN1Sequence, TAGGING_NONE),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_CompareRequest, CASN1_TAGGED)
IMPLEMENT_ASN1_MEMBER(CASN1_CompareRequest, CASN1_OCTET_STRING, entry)
IMPLEMENT_ASN1_MEMBER(CASN1_CompareRequest, CASN1_LDAPAttributeValueAssertion, ava)

constexpr ASN1_COMPONENT_INFO CASN1_CompareResponse::m_compInfoList[] = {
    LDAP_RESULT_ROWS,
    ASN1Row("matchedSubtype", ASN1ContextTag(9), EASN1Presence::optional),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_CompareResponse, CASN1_TAGGED)
IMPLEMENT_LDAP_RESULT_MEMBERS(CASN1_CompareResponse)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_CompareResponse, CASN1_TAGGED, matchedSubtype)
