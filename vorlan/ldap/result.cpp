#include "vorlan/ldap/result.h"

constexpr ASN1_COMPONENT_INFO CASN1_Referral::m_compInfoList[] = {
    ASN1Row("", kASN1OctetString),
    ASN1Row("", kASN1OctetString, EASN1Presence::repeated),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_Referral, CASN1_CONSTRUCTED_TYPE)

constexpr ASN1_COMPONENT_INFO CASN1_LDAPResult::m_compInfoList[] = {LDAP_RESULT_ROWS, ASN1EndRow()};
IMPLEMENT_ASN1_NAMED(CASN1_LDAPResult, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_LDAP_RESULT_MEMBERS(CASN1_LDAPResult)
