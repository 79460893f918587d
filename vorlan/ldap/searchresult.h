/// \file
/// The results of a search: entries with their attributes, the closing result, and the full
/// result that carries all of them in one SEQUENCE.
#pragma once

#include "vorlan/asn1/set.h"
#include "vorlan/asn1/tagged.h"
#include "vorlan/ldap/result.h"

class CASN1_SetOfLDAPAttributeValue : public CASN1_SET {
    DECLARE_ASN1_NAMED(CASN1_SetOfLDAPAttributeValue, kASN1Set)
    ASN1_ELEMENTS(CASN1_OCTET_STRING)
};

/// type and vals: an attribute with its values, as the search results, add and modify requests
/// carry it.
#define LDAP_ATTRIBUTE_ROWS \
    ASN1Row("type", kASN1OctetString), ASN1TypedRow<CASN1_SetOfLDAPAttributeValue>("vals", kASN1Set, TAGGING_NONE)
/// The accessors of the rows of LDAP_ATTRIBUTE_ROWS.
#define LDAP_ATTRIBUTE_MEMBERS            \
    ASN1_MEMBER(CASN1_OCTET_STRING, type) \
    ASN1_MEMBER(CASN1_SetOfLDAPAttributeValue, vals)
/// Defines the accessors of LDAP_ATTRIBUTE_MEMBERS for X.
#define IMPLEMENT_LDAP_ATTRIBUTE_MEMBERS(X)            \
    IMPLEMENT_ASN1_MEMBER(X, CASN1_OCTET_STRING, type) \
    IMPLEMENT_ASN1_MEMBER(X, CASN1_SetOfLDAPAttributeValue, vals)

class CASN1_PartialAttribute : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_PartialAttribute, kASN1Sequence)
    LDAP_ATTRIBUTE_MEMBERS
};

class CASN1_PartialAttributeList : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_PartialAttributeList, kASN1Sequence)
    ASN1_ELEMENTS(CASN1_PartialAttribute)
};

class CASN1_SearchResultEntry : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_SearchResultEntry, ASN1ApplicationTag(4))
    ASN1_MEMBER(CASN1_OCTET_STRING, objectName)
    ASN1_MEMBER(CASN1_PartialAttributeList, attributes)
};

class CASN1_SearchResultDone : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_SearchResultDone, ASN1ApplicationTag(5))
    LDAP_RESULT_MEMBERS
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, totalCount)
};

class CASN1_SearchResultChoice : public CASN1ChoiceView {
    DECLARE_ASN1_CHOICE(CASN1_SearchResultChoice)
    ASN1_TYPED_ALTERNATIVE(CASN1_SearchResultEntry, entry)
    ASN1_ALTERNATIVE(reference)
    ASN1_TYPED_ALTERNATIVE(CASN1_SearchResultDone, resultCode)
};

class CASN1_SearchResultFull : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_SearchResultFull, kASN1Sequence)
    ASN1_CHOICE_ELEMENTS(CASN1_SearchResultChoice)
};
