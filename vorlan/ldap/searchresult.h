/// \file
/// The results of a search: entries with their attributes, the closing result, and the full
/// result that carries all of them in one SEQUENCE.
#pragma once

#include "vorlan/asn1/set.h"
#include "vorlan/asn1/tagged.h"
#include "vorlan/ldap/result.h"

/// The values of an attribute.
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

/// PartialAttribute ::= SEQUENCE { type, vals } (RFC 4511 4.1.7).
class CASN1_PartialAttribute : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_PartialAttribute, kASN1Sequence)
    LDAP_ATTRIBUTE_MEMBERS
};

/// The attributes of a search result entry.
class CASN1_PartialAttributeList : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_PartialAttributeList, kASN1Sequence)
    ASN1_ELEMENTS(CASN1_PartialAttribute)
};

/// SearchResultEntry ::= [APPLICATION 4] SEQUENCE { objectName, attributes } (RFC 4511 4.5.2).
class CASN1_SearchResultEntry : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_SearchResultEntry, ASN1ApplicationTag(4))
    ASN1_MEMBER(CASN1_OCTET_STRING, objectName)
    ASN1_MEMBER(CASN1_PartialAttributeList, attributes)
};

/// SearchResultDone ::= [APPLICATION 5] LDAPResult, with the optional total count of the older
/// protocol.
class CASN1_SearchResultDone : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_SearchResultDone, ASN1ApplicationTag(5))
    LDAP_RESULT_MEMBERS
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, totalCount)
};

/// One element of a full search result: an entry, a reference or the closing result.
class CASN1_SearchResultChoice : public CASN1ChoiceView {
    DECLARE_ASN1_CHOICE(CASN1_SearchResultChoice)
    ASN1_TYPED_ALTERNATIVE(CASN1_SearchResultEntry, entry)
    ASN1_ALTERNATIVE(reference)
    ASN1_TYPED_ALTERNATIVE(CASN1_SearchResultDone, resultCode)
};

/// The full search result: entries, references and the closing result in one SEQUENCE.
class CASN1_SearchResultFull : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_SearchResultFull, kASN1Sequence)
    ASN1_CHOICE_ELEMENTS(CASN1_SearchResultChoice)
};
