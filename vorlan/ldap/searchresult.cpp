#include "vorlan/ldap/searchresult.h"

constexpr ASN1_COMPONENT_INFO CASN1_SetOfLDAPAttributeValue::m_compInfoList[] = {
    ASN1Row("", kASN1OctetString, EASN1Presence::repeated),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_SetOfLDAPAttributeValue, CASN1_CONSTRUCTED_TYPE)

constexpr ASN1_COMPONENT_INFO CASN1_PartialAttribute::m_compInfoList[] = {LDAP_ATTRIBUTE_ROWS, ASN1EndRow()};
IMPLEMENT_ASN1_NAMED(CASN1_PartialAttribute, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_LDAP_ATTRIBUTE_MEMBERS(CASN1_PartialAttribute)

constexpr ASN1_COMPONENT_INFO CASN1_PartialAttributeList::m_compInfoList[] = {
    ASN1TypedRow<CASN1_PartialAttribute>("", kASN1Sequence, TAGGING_NONE, EASN1Presence::repeated),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_PartialAttributeList, CASN1_CONSTRUCTED_TYPE)

constexpr ASN1_COMPONENT_INFO CASN1_SearchResultEntry::m_compInfoList[] = {
    ASN1Row("objectName", kASN1OctetString),
    ASN1TypedRow<CASN1_PartialAttributeList>("attributes", kASN1Sequence, TAGGING_NONE),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_SearchResultEntry, CASN1_TAGGED)
IMPLEMENT_ASN1_MEMBER(CASN1_SearchResultEntry, CASN1_OCTET_STRING, objectName)
IMPLEMENT_ASN1_MEMBER(CASN1_SearchResultEntry, CASN1_PartialAttributeList, attributes)

constexpr ASN1_COMPONENT_INFO CASN1_SearchResultDone::m_compInfoList[] = {
    LDAP_RESULT_ROWS,
    ASN1Row("totalCount", ASN1ContextTag(8), EASN1Presence::optional),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_SearchResultDone, CASN1_TAGGED)
IMPLEMENT_LDAP_RESULT_MEMBERS(CASN1_SearchResultDone)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_SearchResultDone, CASN1_TAGGED, totalCount)

constexpr ASN1_COMPONENT_INFO CASN1_SearchResultChoice::m_alternativesList[] = {
    ASN1TypedRow<CASN1_SearchResultEntry>("entry", ASN1ApplicationTag(4), TAGGING_IMPLICIT),
    ASN1TypedRow<CASN1_Referral>("reference", ASN1ApplicationTag(19), TAGGING_IMPLICIT),
    ASN1TypedRow<CASN1_SearchResultDone>("resultCode", ASN1ApplicationTag(5), TAGGING_IMPLICIT),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_CHOICE(CASN1_SearchResultChoice)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_SearchResultChoice, CASN1_SearchResultEntry, entry)
IMPLEMENT_ASN1_ALTERNATIVE(CASN1_SearchResultChoice, reference)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_SearchResultChoice, CASN1_SearchResultDone, resultCode)

constexpr ASN1_COMPONENT_INFO CASN1_SearchResultFull::m_compInfoList[] = {
    ASN1ChoiceRow<CASN1_SearchResultChoice>("", EASN1Presence::repeated),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_SearchResultFull, CASN1_CONSTRUCTED_TYPE)
