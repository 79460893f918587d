/// \file
/// Plain C++ values out of decoded messages: strings, numbers and the result every response
/// carries.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "vorlan/asn1/asn1type.h"
#include "vorlan/ldap/enums.h"

/// The octets of a primitive OCTET STRING, tagged or other primitive value where they lie in
/// memory (valid while the value lives); the decoding exception for a constructed value or one
/// whose octets are in a file.
std::string_view LDAPOctets(const CASN1Type& value);
/// The clear contents of any string value, copied.
std::string LDAPString(const CASN1Type& value);
/// An INTEGER or ENUMERATED value of at most 32 bits; the decoding exception otherwise.
unsigned long LDAPNumber(const CASN1Type& value);

/// The fields of an LDAPResult as plain values.
struct SLDAPResult {
    ELDAPResultCode resultCode;  ///< the result code
    std::string matchedDN;  ///< the matched DN, often empty
    std::string errorMessage;  ///< the diagnostic message, often empty
    std::vector<std::string> referral;  ///< the referral URIs, none without a referral
};

/// The leading LDAPResult fields of any response value (an LDAPResult, a response record that
/// extends it, or either under an operation's tag); the decoding exception for anything else.
SLDAPResult ReadLDAPResult(const CASN1Type& response);
