/// \file
/// Builders of the filters of a search request: each gives one alternative of CASN1_Filter
/// as the implicitly (or, for not, explicitly) tagged value that goes on the wire. They refuse,
/// with the decoding exception, what standard servers drop the connection for.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vorlan/asn1/identifier.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/asn1/tagged.h"

/// The filter alternatives that compare an attribute with one value.
enum class ELDAPAssertion : unsigned char {
    equalityMatch = ASN1ContextTag(3),
    greaterOrEqual = ASN1ContextTag(5),
    lessOrEqual = ASN1ContextTag(6),
    approxMatch = ASN1ContextTag(8),
};

/// The pieces of a substrings filter: at least one, none empty.
struct SLDAPSubstrings {
    std::optional<std::string> initial;  ///< the piece the value starts with
    std::vector<std::string> any;  ///< pieces in between, in order
    std::optional<std::string> final;  ///< the piece the value ends with
};

using LDAPFilterPtr = std::unique_ptr<CASN1_TAGGED>;  ///< a filter as the builders give it; the holder owns it
using LDAPFilterList = std::vector<LDAPFilterPtr>;  ///< the filters of an and or or filter

///@{
/// The filter that all (and) or any (or) of `filters` match; a null one is the decoding
/// exception. The filters become part of the result.
LDAPFilterPtr BuildAndFilter(LDAPFilterList filters);
LDAPFilterPtr BuildOrFilter(LDAPFilterList filters);
///@}
/// The filter that `filter` does not match; the decoding exception for a null one.
LDAPFilterPtr BuildNotFilter(LDAPFilterPtr filter);
/// `attribute` compared with `value` as `kind` says; the decoding exception for an empty
/// attribute.
LDAPFilterPtr BuildAssertionFilter(ELDAPAssertion kind, std::string_view attribute, std::string_view value);
/// `attribute` is present; the decoding exception when it is empty.
LDAPFilterPtr BuildPresentFilter(std::string_view attribute);
/// `attribute` matches the pieces; the decoding exception for an empty attribute, no piece or
/// an empty one.
LDAPFilterPtr BuildSubstringsFilter(std::string_view attribute, const SLDAPSubstrings& pieces);
/// matchingRule and type may be empty (absent), not both.
LDAPFilterPtr BuildExtensibleFilter(std::string_view matchingRule, std::string_view type, std::string_view value,
                                    bool dnAttributes);

namespace vorlan::detail {
/// The strings every builder writes: an OCTET STRING, and one implicitly tagged, both primitive
/// as RFC 4511 requires of every string.
CASN1_OCTET_STRING* LDAPOctetString(std::string_view text);
CASN1_TAGGED* LDAPTaggedString(unsigned char tag, std::string_view text);
}  // namespace vorlan::detail
