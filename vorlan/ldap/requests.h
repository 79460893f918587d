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

struct SLDAPAttribute {
    std::string type;
    std::vector<std::string> values;
};

struct SLDAPModification {
    ELDAPModifyOperation operation;
    SLDAPAttribute modification;
};

struct SLDAPControl {
    std::string type;
    bool critical = false;
    std::optional<std::string> value;
};

struct SLDAPSearch {
    std::string baseObject;
    ELDAPSearchScope scope = ELDAPSearchScope::wholeSubtree;
    ELDAPDerefAliases derefAliases = ELDAPDerefAliases::neverDerefAliases;
    unsigned long sizeLimit = 0;
    unsigned long timeLimit = 0;
    bool typesOnly = false;
    std::vector<std::string> attributes;
};

/// Version 3, simple authentication.
std::unique_ptr<CASN1_BindRequest> BuildSimpleBindRequest(std::string_view name, std::string_view password);
std::unique_ptr<CASN1_SearchRequest> BuildSearchRequest(const SLDAPSearch& search, LDAPFilterPtr filter);
std::unique_ptr<CASN1_AddRequest> BuildAddRequest(std::string_view entry,
                                                  const std::vector<SLDAPAttribute>& attributes);
std::unique_ptr<CASN1_ModifyRequest> BuildModifyRequest(std::string_view object,
                                                        const std::vector<SLDAPModification>& changes);
std::unique_ptr<CASN1_ModifyDNRequest> BuildModifyDNRequest(std::string_view entry, std::string_view newrdn,
                                                            bool deleteoldrdn,
                                                            std::optional<std::string_view> newSuperior = {});
std::unique_ptr<CASN1_CompareRequest> BuildCompareRequest(std::string_view entry, std::string_view attribute,
                                                          std::string_view value);
std::unique_ptr<CASN1_TAGGED> BuildDeleteRequest(std::string_view entry);
std::unique_ptr<CASN1_TAGGED> BuildAbandonRequest(unsigned long messageID);
std::unique_ptr<CASN1_TAGGED> BuildUnbindRequest();
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
