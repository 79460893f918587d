/// \file
/// The numbers an LDAP client writes into requests and reads out of responses: the operations
/// by identifier octet, result codes, search scopes, alias dereferencing and modify operations.
/// The codec gives them no meaning; they spare a client magic numbers.
#pragma once

#include <cstdint>

/// The identifier octet of each operation (constructed bit cleared), in the order of the
/// alternatives of CASN1_ProtocolOpChoice.
enum class ELDAPOperation : std::uint8_t {
    bindRequest = 0x40,
    bindResponse = 0x41,
    unbindRequest = 0x42,
    searchRequest = 0x43,
    searchResEntry = 0x44,
    searchResDone = 0x45,
    searchResRef = 0x53,
    searchResFull = 0x10,
    modifyRequest = 0x46,
    modifyResponse = 0x47,
    addRequest = 0x48,
    addResponse = 0x49,
    delRequest = 0x4A,
    delResponse = 0x4B,
    modDNRequest = 0x4C,
    modDNResponse = 0x4D,
    compareRequest = 0x4E,
    compareResponse = 0x4F,
    abandonRequest = 0x50,
    sessionRequest = 0x51,
    sessionResponse = 0x52,
    resumeRequest = 0x54,
    resumeError = 0x55,
    extendedReq = 0x57,
    extendedResp = 0x58,
    intermediateResponse = 0x59,
};

/// resultCode of LDAPResult (RFC 4511 section 4.1.9).
enum class ELDAPResultCode : std::uint32_t {
    success = 0,
    operationsError = 1,
    protocolError = 2,
    timeLimitExceeded = 3,
    sizeLimitExceeded = 4,
    compareFalse = 5,
    compareTrue = 6,
    authMethodNotSupported = 7,
    strongerAuthRequired = 8,
    referral = 10,
    adminLimitExceeded = 11,
    unavailableCriticalExtension = 12,
    confidentialityRequired = 13,
    saslBindInProgress = 14,
    noSuchAttribute = 16,
    undefinedAttributeType = 17,
    inappropriateMatching = 18,
    constraintViolation = 19,
    attributeOrValueExists = 20,
    invalidAttributeSyntax = 21,
    noSuchObject = 32,
    aliasProblem = 33,
    invalidDNSyntax = 34,
    aliasDereferencingProblem = 36,
    inappropriateAuthentication = 48,
    invalidCredentials = 49,
    insufficientAccessRights = 50,
    busy = 51,
    unavailable = 52,
    unwillingToPerform = 53,
    loopDetect = 54,
    namingViolation = 64,
    objectClassViolation = 65,
    notAllowedOnNonLeaf = 66,
    notAllowedOnRDN = 67,
    entryAlreadyExists = 68,
    objectClassModsProhibited = 69,
    affectsMultipleDSAs = 71,
    other = 80,
};

/// scope of a search request (RFC 4511 4.5.1.2).
enum class ELDAPSearchScope : std::uint8_t { baseObject = 0, singleLevel = 1, wholeSubtree = 2 };

/// derefAliases of a search request (RFC 4511 4.5.1.3).
enum class ELDAPDerefAliases : std::uint8_t {
    neverDerefAliases = 0,
    derefInSearching = 1,
    derefFindingBaseObj = 2,
    derefAlways = 3,
};

/// operation of a ModifyRequest change (RFC 4511 add, delete, replace).
enum class ELDAPModifyOperation : std::uint8_t { addValues = 0, deleteValues = 1, replaceValues = 2 };
