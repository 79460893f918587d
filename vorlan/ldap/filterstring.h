/// \file
/// Search filters in their RFC 4515 string form, "(&(objectClass=person)(cn=Ann*))", to and
/// from the tagged values of CASN1_Filter.
#pragma once

#include <string>
#include <string_view>

#include "vorlan/ldap/builders.h"

/// Filters nest at most this deep, which keeps a search request within the decoder's depth.
inline constexpr int kMaxLDAPFilterNesting = 100;

/// The filter of a string; the decoding exception, with the offset in the reason, for any
/// departure from the grammar (unbalanced parentheses, a bad escape, an empty substring, …).
LDAPFilterPtr ParseLDAPFilter(std::string_view text);

/// 1 when the whole text is an attribute description of RFC 4512 section 2.5: a descriptor or a
/// numeric OID, then options, each ";" and one or more of ALPHA / DIGIT / "-".
bool IsLDAPAttributeDescription(std::string_view text);

/// The string of a filter value, octets outside printable ASCII and the five specials escaped
/// as `\xx`; the decoding exception for a value that is no well-formed filter.
std::string FormatLDAPFilter(const CASN1Type& filter);
