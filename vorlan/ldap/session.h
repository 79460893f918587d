/// \file
/// The session and resume operations, beyond the standard set: the session request's controls,
/// the session response and the request that resumes a search.
#pragma once

#include "vorlan/asn1/boolean.h"
#include "vorlan/asn1/tagged.h"
#include "vorlan/ldap/result.h"

/// One control of a session request: controlType, criticality, controlValue.
class CASN1_ControlsEntry : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_ControlsEntry, kASN1Sequence)
    ASN1_MEMBER(CASN1_OCTET_STRING, controlType)
    ASN1_OPTIONAL_MEMBER(CASN1_BOOLEAN, criticality)
    ASN1_MEMBER(CASN1_OCTET_STRING, controlValue)
};

/// The controls of a session request.
class CASN1_Controls : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_Controls, kASN1Sequence)
    ASN1_ELEMENTS(CASN1_ControlsEntry)
};

/// A list of strings.
class CASN1_SequenceOfLDAPString : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_SequenceOfLDAPString, kASN1Sequence)
    ASN1_ELEMENTS(CASN1_OCTET_STRING)
};

/// The session response, [APPLICATION 18]: an LDAPResult and the controls the server does not
/// support.
class CASN1_SessionResponse : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_SessionResponse, ASN1ApplicationTag(18))
    LDAP_RESULT_MEMBERS
    ASN1_MEMBER(CASN1_TAGGED, unsupportedCtls)
};

/// The request that resumes a search, [APPLICATION 20]: the search, the entry to start at and how
/// many entries to return.
class CASN1_ResumeRequest : public CASN1_TAGGED {
    DECLARE_ASN1_NAMED(CASN1_ResumeRequest, ASN1ApplicationTag(20))
    ASN1_MEMBER(CASN1_TAGGED, searchRequestID)
    ASN1_MEMBER(CASN1_TAGGED, startAtEntry)
    ASN1_MEMBER(CASN1_TAGGED, entriesToReturn)
};
