/// \file
/// The search request and the types of its filter, attribute list and sort keys.
#pragma once

#include "vorlan/asn1/boolean.h"
#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/namedtype.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/asn1/set.h"

/// Filter ::= CHOICE { and [0], or [1], not [2], equalityMatch [3], substrings [4],
/// greaterOrEqual [5], lessOrEqual [6], present [7], approxMatch [8], extensibleMatch [9] }
/// (RFC 4511 4.5.1), seen through a view.
class CASN1_Filter : public CASN1ChoiceView {
    DECLARE_ASN1_CHOICE(CASN1_Filter)
    ASN1_ALTERNATIVE(and)
    ASN1_ALTERNATIVE(or)
    ASN1_ALTERNATIVE(not )
    ASN1_ALTERNATIVE(equalityMatch)
    ASN1_ALTERNATIVE(substrings)
    ASN1_ALTERNATIVE(greaterOrEqual)
    ASN1_ALTERNATIVE(lessOrEqual)
    ASN1_ALTERNATIVE(present)
    ASN1_ALTERNATIVE(approxMatch)
    ASN1_ALTERNATIVE(extensibleMatch)
};

/// The filters of an and or or filter.
class CASN1_SetOfFilter : public CASN1_SET {
    DECLARE_ASN1_NAMED(CASN1_SetOfFilter, kASN1Set)
    ASN1_CHOICE_ELEMENTS(CASN1_Filter)
};

/// assertionValue is optional here; requests that go out always carry it (RFC 4511).
class CASN1_LDAPAttributeValueAssertion : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_LDAPAttributeValueAssertion, kASN1Sequence)
    ASN1_MEMBER(CASN1_OCTET_STRING, attributeDesc)
    ASN1_OPTIONAL_MEMBER(CASN1_OCTET_STRING, assertionValue)
};

/// One piece of a substrings filter: initial [0], any [1] or final [2].
class CASN1_SubstringChoice : public CASN1ChoiceView {
    DECLARE_ASN1_CHOICE(CASN1_SubstringChoice)
    ASN1_ALTERNATIVE(initial)
    ASN1_ALTERNATIVE(any)
    ASN1_ALTERNATIVE(final)
};

/// The pieces of a substrings filter, in order.
class CASN1_SequenceOfSubstringChoice : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_SequenceOfSubstringChoice, kASN1Sequence)
    ASN1_CHOICE_ELEMENTS(CASN1_SubstringChoice)
};

/// SubstringFilter ::= SEQUENCE { type, substrings } (RFC 4511 4.5.1).
class CASN1_SubstringFilter : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_SubstringFilter, kASN1Sequence)
    ASN1_MEMBER(CASN1_OCTET_STRING, type)
    ASN1_MEMBER(CASN1_SequenceOfSubstringChoice, substrings)
};

/// MatchingRuleAssertion ::= SEQUENCE { matchingRule [1] OPTIONAL, type [2] OPTIONAL,
/// matchValue [3], dnAttributes [4] DEFAULT FALSE } (RFC 4511 4.5.1).
class CASN1_MatchingRuleAssertion : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_MatchingRuleAssertion, kASN1Sequence)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, matchingRule)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, type)
    ASN1_MEMBER(CASN1_TAGGED, matchValue)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, dnAttributes)
};

/// The attributes a search asks for.
class CASN1_LDAPAttributeDescriptionList : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_LDAPAttributeDescriptionList, kASN1Sequence)
    ASN1_ELEMENTS(CASN1_OCTET_STRING)
};

/// A sort key of a search request: attributeType, orderingRule, reverseOrder.
class CASN1_SortKey : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_SortKey, kASN1Sequence)
    ASN1_MEMBER(CASN1_OCTET_STRING, attributeType)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, orderingRule)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, reverseOrder)
};

/// The sort keys of a search request.
class CASN1_SortKeyList : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_SortKeyList, kASN1Sequence)
    ASN1_ELEMENTS(CASN1_SortKey)
};

/// SearchRequest ::= [APPLICATION 3] SEQUENCE (RFC 4511 4.5.1), with the optional page size and
/// sort keys of the older protocol.
class CASN1_SearchRequest : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_SearchRequest, ASN1ApplicationTag(3))
    ASN1_MEMBER(CASN1_OCTET_STRING, baseObject)
    ASN1_MEMBER(CASN1_ENUMERATED, scope)
    ASN1_MEMBER(CASN1_ENUMERATED, derefAliases)
    ASN1_MEMBER(CASN1_INTEGER, sizeLimit)
    ASN1_MEMBER(CASN1_INTEGER, timeLimit)
    ASN1_MEMBER(CASN1_BOOLEAN, typesOnly)
    ASN1_CHOICE_MEMBER(CASN1_Filter, filter)
    ASN1_MEMBER(CASN1_LDAPAttributeDescriptionList, attributes)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, pageSizeLimit)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, sortKeys)
};
