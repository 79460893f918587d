#include "vorlan/ldap/search.h"

namespace {

constexpr ASN1_COMPONENT_INFO assertionRow(const char* name, unsigned number) {
    return ASN1TypedRow<CASN1_LDAPAttributeValueAssertion>(name, ASN1ContextTag(number), TAGGING_IMPLICIT);
}

}  // namespace

constexpr ASN1_COMPONENT_INFO CASN1_Filter::m_alternativesList[] = {
    ASN1TypedRow<CASN1_SetOfFilter>("and", ASN1ContextTag(0), TAGGING_IMPLICIT),
    ASN1TypedRow<CASN1_SetOfFilter>("or", ASN1ContextTag(1), TAGGING_IMPLICIT),
    ASN1TypedRow<CASN1_Filter>("not", ASN1ContextTag(2), TAGGING_EXPLICIT),
    assertionRow("equalityMatch", 3),
    ASN1TypedRow<CASN1_SubstringFilter>("substrings", ASN1ContextTag(4), TAGGING_IMPLICIT),
    assertionRow("greaterOrEqual", 5),
    assertionRow("lessOrEqual", 6),
    ASN1Row("present", ASN1ContextTag(7)),
    assertionRow("approxMatch", 8),
    ASN1TypedRow<CASN1_MatchingRuleAssertion>("extensibleMatch", ASN1ContextTag(9), TAGGING_IMPLICIT),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_CHOICE(CASN1_Filter)
IMPLEMENT_ASN1_ALTERNATIVE(CASN1_Filter, and)
IMPLEMENT_ASN1_ALTERNATIVE(CASN1_Filter, or)
IMPLEMENT_ASN1_ALTERNATIVE(CASN1_Filter, not )
IMPLEMENT_ASN1_ALTERNATIVE(CASN1_Filter, equalityMatch)
IMPLEMENT_ASN1_ALTERNATIVE(CASN1_Filter, substrings)
IMPLEMENT_ASN1_ALTERNATIVE(CASN1_Filter, greaterOrEqual)
IMPLEMENT_ASN1_ALTERNATIVE(CASN1_Filter, lessOrEqual)
IMPLEMENT_ASN1_ALTERNATIVE(CASN1_Filter, present)
IMPLEMENT_ASN1_ALTERNATIVE(CASN1_Filter, approxMatch)
IMPLEMENT_ASN1_ALTERNATIVE(CASN1_Filter, extensibleMatch)

constexpr ASN1_COMPONENT_INFO CASN1_SetOfFilter::m_compInfoList[] = {
    ASN1ChoiceRow<CASN1_Filter>("", EASN1Presence::repeated),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_SetOfFilter, CASN1_CONSTRUCTED_TYPE)

constexpr ASN1_COMPONENT_INFO CASN1_LDAPAttributeValueAssertion::m_compInfoList[] = {
    ASN1Row("attributeDesc", kASN1OctetString),
    ASN1Row("assertionValue", kASN1OctetString, EASN1Presence::optional),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_LDAPAttributeValueAssertion, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_MEMBER(CASN1_LDAPAttributeValueAssertion, CASN1_OCTET_STRING, attributeDesc)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_LDAPAttributeValueAssertion, CASN1_OCTET_STRING, assertionValue)

constexpr ASN1_COMPONENT_INFO CASN1_SubstringChoice::m_alternativesList[] = {
    ASN1Row("initial", ASN1ContextTag(0)),
    ASN1Row("any", ASN1ContextTag(1)),
    ASN1Row("final", ASN1ContextTag(2)),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_CHOICE(CASN1_SubstringChoice)
IMPLEMENT_ASN1_ALTERNATIVE(CASN1_SubstringChoice, initial)
IMPLEMENT_ASN1_ALTERNATIVE(CASN1_SubstringChoice, any)
IMPLEMENT_ASN1_ALTERNATIVE(CASN1_SubstringChoice, final)

constexpr ASN1_COMPONENT_INFO CASN1_SequenceOfSubstringChoice::m_compInfoList[] = {
    ASN1ChoiceRow<CASN1_SubstringChoice>("", EASN1Presence::repeated),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_SequenceOfSubstringChoice, CASN1_CONSTRUCTED_TYPE)

constexpr ASN1_COMPONENT_INFO CASN1_SubstringFilter::m_compInfoList[] = {
    ASN1Row("type", kASN1OctetString),
    ASN1TypedRow<CASN1_SequenceOfSubstringChoice>("substrings", kASN1Sequence, TAGGING_NONE),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_SubstringFilter, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_MEMBER(CASN1_SubstringFilter, CASN1_OCTET_STRING, type)
IMPLEMENT_ASN1_MEMBER(CASN1_SubstringFilter, CASN1_SequenceOfSubstringChoice, substrings)

constexpr ASN1_COMPONENT_INFO CASN1_MatchingRuleAssertion::m_compInfoList[] = {
    ASN1Row("matchingRule", ASN1ContextTag(1), EASN1Presence::optional),
    ASN1Row("type", ASN1ContextTag(2), EASN1Presence::optional),
    ASN1Row("matchValue", ASN1ContextTag(3)),
    ASN1Row("dnAttributes", ASN1ContextTag(4), EASN1Presence::optional),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_MatchingRuleAssertion, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_MatchingRuleAssertion, CASN1_TAGGED, matchingRule)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_MatchingRuleAssertion, CASN1_TAGGED, type)
IMPLEMENT_ASN1_MEMBER(CASN1_MatchingRuleAssertion, CASN1_TAGGED, matchValue)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_MatchingRuleAssertion, CASN1_TAGGED, dnAttributes)

constexpr ASN1_COMPONENT_INFO CASN1_LDAPAttributeDescriptionList::m_compInfoList[] = {
    ASN1Row("", kASN1OctetString, EASN1Presence::repeated),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_LDAPAttributeDescriptionList, CASN1_CONSTRUCTED_TYPE)

constexpr ASN1_COMPONENT_INFO CASN1_SortKey::m_compInfoList[] = {
    ASN1Row("attributeType", kASN1OctetString),
    ASN1Row("orderingRule", ASN1ContextTag(0), EASN1Presence::optional),
    ASN1Row("reverseOrder", ASN1ContextTag(1), EASN1Presence::optional),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_SortKey, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_MEMBER(CASN1_SortKey, CASN1_OCTET_STRING, attributeType)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_SortKey, CASN1_TAGGED, orderingRule)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_SortKey, CASN1_TAGGED, reverseOrder)

constexpr ASN1_COMPONENT_INFO CASN1_SortKeyList::m_compInfoList[] = {
    ASN1TypedRow<CASN1_SortKey>("", kASN1Sequence, TAGGING_NONE, EASN1Presence::repeated),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_SortKeyList, CASN1_CONSTRUCTED_TYPE)

constexpr ASN1_COMPONENT_INFO CASN1_SearchRequest::m_compInfoList[] = {
    ASN1Row("baseObject", kASN1OctetString),
    ASN1Row("scope", kASN1Enumerated),
    ASN1Row("derefAliases", kASN1Enumerated),
    ASN1Row("sizeLimit", kASN1Integer),
    ASN1Row("timeLimit", kASN1Integer),
    ASN1Row("typesOnly", kASN1Boolean),
    ASN1ChoiceRow<CASN1_Filter>("filter"),
    ASN1TypedRow<CASN1_LDAPAttributeDescriptionList>("attributes", kASN1Sequence, TAGGING_NONE),
    ASN1Row("pageSizeLimit", ASN1ContextTag(0), EASN1Presence::optional),
    ASN1TypedRow<CASN1_SortKeyList>("sortKeys", ASN1ContextTag(1), TAGGING_IMPLICIT, EASN1Presence::optional),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_SearchRequest, CASN1_TAGGED)
IMPLEMENT_ASN1_MEMBER(CASN1_SearchRequest, CASN1_OCTET_STRING, baseObject)
IMPLEMENT_ASN1_MEMBER(CASN1_SearchRequest, CASN1_ENUMERATED, scope)
IMPLEMENT_ASN1_MEMBER(CASN1_SearchRequest, CASN1_ENUMERATED, derefAliases)
IMPLEMENT_ASN1_MEMBER(CASN1_SearchRequest, CASN1_INTEGER, sizeLimit)
IMPLEMENT_ASN1_MEMBER(CASN1_SearchRequest, CASN1_INTEGER, timeLimit)
IMPLEMENT_ASN1_MEMBER(CASN1_SearchRequest, CASN1_BOOLEAN, typesOnly)
IMPLEMENT_ASN1_CHOICE_MEMBER(CASN1_SearchRequest, CASN1_Filter, filter)
IMPLEMENT_ASN1_MEMBER(CASN1_SearchRequest, CASN1_LDAPAttributeDescriptionList, attributes)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_SearchRequest, CASN1_TAGGED, pageSizeLimit)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_SearchRequest, CASN1_TAGGED, sortKeys)
