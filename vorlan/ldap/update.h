/// \file
/// The requests that change the directory or compare with it: modify, add, modify DN and
/// compare, with the compare response.
#pragma once

#include "vorlan/asn1/boolean.h"
#include "vorlan/ldap/search.h"
#include "vorlan/ldap/searchresult.h"

class CASN1_LDAPAttributeTypeAndValues : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_LDAPAttributeTypeAndValues, kASN1Sequence)
    LDAP_ATTRIBUTE_MEMBERS
};

class CASN1_ModificationEntry : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_ModificationEntry, kASN1Sequence)
    ASN1_MEMBER(CASN1_ENUMERATED, operation)
    ASN1_MEMBER(CASN1_LDAPAttributeTypeAndValues, modification)
};

class CASN1_ModificationList : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_ModificationList, kASN1Sequence)
    ASN1_ELEMENTS(CASN1_ModificationEntry)
};

class CASN1_ModifyRequest : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_ModifyRequest, ASN1ApplicationTag(6))
    ASN1_MEMBER(CASN1_OCTET_STRING, object)
    ASN1_MEMBER(CASN1_ModificationList, modification)
};

class CASN1_LDAPAttributeList : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_LDAPAttributeList, kASN1Sequence)
    ASN1_ELEMENTS(CASN1_LDAPAttributeTypeAndValues)
};

class CASN1_LDAPAttribute : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_LDAPAttribute, kASN1Sequence)
    LDAP_ATTRIBUTE_MEMBERS
};

class CASN1_AddRequest : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_AddRequest, ASN1ApplicationTag(8))
    ASN1_MEMBER(CASN1_OCTET_STRING, entry)
    ASN1_MEMBER(CASN1_LDAPAttributeList, attributes)
};

class CASN1_ModifyDNRequest : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_ModifyDNRequest, ASN1ApplicationTag(12))
    ASN1_MEMBER(CASN1_OCTET_STRING, entry)
    ASN1_MEMBER(CASN1_OCTET_STRING, newrdn)
    ASN1_MEMBER(CASN1_BOOLEAN, deleteoldrdn)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, newSuperior)
};

class CASN1_CompareRequest : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_CompareRequest, ASN1ApplicationTag(14))
    ASN1_MEMBER(CASN1_OCTET_STRING, entry)
    ASN1_MEMBER(CASN1_LDAPAttributeValueAssertion, ava)
};

class CASN1_CompareResponse : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_CompareResponse, ASN1ApplicationTag(15))
    LDAP_RESULT_MEMBERS
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, matchedSubtype)
};
