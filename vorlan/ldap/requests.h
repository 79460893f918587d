/// \file
/// The requests a client sends, built in the forms standard servers accept (RFC 4511: strings
/// primitive, lengths definite, numbers within 0..2^31-1), and the message around one.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vorlan/ldap/builders.h"
#include "vorlan/ldap/enums.h"
#include "vorlan/ldap/message.h"

/// An attribute with its values, as add requests and modifications carry it.
struct SLDAPAttribute {
    std::string type;  ///< the attribute description, "cn" say
    std::vector<std::string> values;  ///< its values
};

/// One change of a modify request.
struct SLDAPModification {
    ELDAPModifyOperation operation;  ///< add, delete or replace
    SLDAPAttribute modification;  ///< the attribute and the values concerned
};

/// A control (RFC 4511 4.1.11) sent with a message.
struct SLDAPControl {
    std::string type;  ///< the control's object identifier, dotted
    bool critical = false;  ///< the server must refuse the operation when it does not know the control
    std::optional<std::string> value;  ///< the control's value, when it has one
};

/// The fields of a search request besides its filter.
struct SLDAPSearch {
    std::string baseObject;  ///< the entry the search starts at
    ELDAPSearchScope scope = ELDAPSearchScope::wholeSubtree;  ///< base object, one level or the whole subtree
    ELDAPDerefAliases derefAliases = ELDAPDerefAliases::neverDerefAliases;  ///< when aliases are followed
    unsigned long sizeLimit = 0;  ///< most entries to return, 0 for no limit (at most 2^31-1)
    unsigned long timeLimit = 0;  ///< most seconds to search, 0 for no limit (at most 2^31-1)
    bool typesOnly = false;  ///< attribute types without values
    std::vector<std::string> attributes;  ///< the attributes to return, none for all user attributes
};

/// Version 3, simple authentication.
std::unique_ptr<CASN1_BindRequest> BuildSimpleBindRequest(std::string_view name, std::string_view password);
/// A search request with `filter`; the decoding exception without a filter or with a limit above
/// 2^31-1.
std::unique_ptr<CASN1_SearchRequest> BuildSearchRequest(const SLDAPSearch& search, LDAPFilterPtr filter);
/// An add request for `entry` with its attributes.
std::unique_ptr<CASN1_AddRequest> BuildAddRequest(std::string_view entry,
                                                  const std::vector<SLDAPAttribute>& attributes);
/// A modify request applying `changes` to `object` in order.
std::unique_ptr<CASN1_ModifyRequest> BuildModifyRequest(std::string_view object,
                                                        const std::vector<SLDAPModification>& changes);
/// A modify DN request: `entry` gets the RDN `newrdn` (the old one deleted with deleteoldrdn),
/// under newSuperior when given.
std::unique_ptr<CASN1_ModifyDNRequest> BuildModifyDNRequest(std::string_view entry, std::string_view newrdn,
                                                            bool deleteoldrdn,
                                                            std::optional<std::string_view> newSuperior = {});
/// A compare request: does `entry` hold `value` for `attribute`.
std::unique_ptr<CASN1_CompareRequest> BuildCompareRequest(std::string_view entry, std::string_view attribute,
                                                          std::string_view value);
/// A delete request for `entry`, primitive as servers require.
std::unique_ptr<CASN1_TAGGED> BuildDeleteRequest(std::string_view entry);
/// An abandon request for the operation `messageID`; the decoding exception above 2^31-1.
std::unique_ptr<CASN1_TAGGED> BuildAbandonRequest(unsigned long messageID);
/// An unbind request (an empty primitive [APPLICATION 2]).
std::unique_ptr<CASN1_TAGGED> BuildUnbindRequest();
/// An extended request `name` (dotted object identifier) with its value when given.
std::unique_ptr<CASN1_ExtendedRequest> BuildExtendedRequest(std::string_view name,
                                                            std::optional<std::string_view> value = {});

/// The message with `operation` (one of the alternatives) and optional controls; the decoding
/// exception for an ID above 2^31-1, an operation the tables refuse, or one CheckLDAPSendable refuses.
std::unique_ptr<CASN1_LDAPMessage> BuildLDAPMessage(unsigned long messageID, std::unique_ptr<CASN1Type> operation,
                                                    const std::vector<SLDAPControl>& controls = {});

/// The decoding exception for a valid message in a form standard servers drop the connection
/// for: an indefinite length or a constructed string anywhere, unbind, delete or abandon (or any
/// other member of unchecked contents) in constructed form, a filter FormatLDAPFilter refuses
/// (substrings missing or out of order, an assertion without a value …), a compare without a
/// value. Decoding accepts these; sending does not.
void CheckLDAPSendable(const CASN1_LDAPMessage& message);
