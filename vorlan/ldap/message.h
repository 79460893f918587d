/// \file
/// The LDAP message envelope: message ID, optional user name, one of the operations of
/// CASN1_ProtocolOpChoice, optional controls [0] (RFC 4511); and the owning decode of one
/// framed message.
#pragma once

#include <memory>

#include "vorlan/ldap/bind.h"
#include "vorlan/ldap/extended.h"
#include "vorlan/ldap/framing.h"
#include "vorlan/ldap/search.h"
#include "vorlan/ldap/searchresult.h"
#include "vorlan/ldap/session.h"
#include "vorlan/ldap/update.h"

/// Control ::= SEQUENCE { controlType, criticality BOOLEAN DEFAULT FALSE, controlValue OPTIONAL }.
class CASN1_LDAPControl : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_LDAPControl, kASN1Sequence)
    ASN1_MEMBER(CASN1_OCTET_STRING, controlType)
    ASN1_OPTIONAL_MEMBER(CASN1_BOOLEAN, criticality)
    ASN1_OPTIONAL_MEMBER(CASN1_OCTET_STRING, controlValue)
};

/// Controls ::= SEQUENCE OF Control.
class CASN1_LDAPControls : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_LDAPControls, kASN1Sequence)
    ASN1_ELEMENTS(CASN1_LDAPControl)
};

/// The 25 operations, then intermediateResponse; get_<alternative>() gives the value in the
/// class the decoder makes for it (an operation under another type's tag is a CASN1_TAGGED).
class CASN1_ProtocolOpChoice : public CASN1ChoiceView {
    DECLARE_ASN1_CHOICE(CASN1_ProtocolOpChoice)
    ASN1_TYPED_ALTERNATIVE(CASN1_BindRequest, bindRequest)
    ASN1_TYPED_ALTERNATIVE(CASN1_BindResponse, bindResponse)
    ASN1_TYPED_ALTERNATIVE(CASN1_TAGGED, unbindRequest)
    ASN1_TYPED_ALTERNATIVE(CASN1_SearchRequest, searchRequest)
    ASN1_TYPED_ALTERNATIVE(CASN1_SearchResultEntry, searchResEntry)
    ASN1_TYPED_ALTERNATIVE(CASN1_SearchResultDone, searchResDone)
    ASN1_TYPED_ALTERNATIVE(CASN1_TAGGED, searchResRef)
    ASN1_TYPED_ALTERNATIVE(CASN1_SearchResultFull, searchResFull)
    ASN1_TYPED_ALTERNATIVE(CASN1_ModifyRequest, modifyRequest)
    ASN1_TYPED_ALTERNATIVE(CASN1_TAGGED, modifyResponse)
    ASN1_TYPED_ALTERNATIVE(CASN1_AddRequest, addRequest)
    ASN1_TYPED_ALTERNATIVE(CASN1_TAGGED, addResponse)
    ASN1_TYPED_ALTERNATIVE(CASN1_TAGGED, delRequest)
    ASN1_TYPED_ALTERNATIVE(CASN1_TAGGED, delResponse)
    ASN1_TYPED_ALTERNATIVE(CASN1_ModifyDNRequest, modDNRequest)
    ASN1_TYPED_ALTERNATIVE(CASN1_TAGGED, modDNResponse)
    ASN1_TYPED_ALTERNATIVE(CASN1_CompareRequest, compareRequest)
    ASN1_TYPED_ALTERNATIVE(CASN1_CompareResponse, compareResponse)
    ASN1_TYPED_ALTERNATIVE(CASN1_TAGGED, abandonRequest)
    ASN1_TYPED_ALTERNATIVE(CASN1_TAGGED, sessionRequest)
    ASN1_TYPED_ALTERNATIVE(CASN1_SessionResponse, sessionResponse)
    ASN1_TYPED_ALTERNATIVE(CASN1_ResumeRequest, resumeRequest)
    ASN1_TYPED_ALTERNATIVE(CASN1_TAGGED, resumeError)
    ASN1_TYPED_ALTERNATIVE(CASN1_ExtendedRequest, extendedReq)
    ASN1_TYPED_ALTERNATIVE(CASN1_ExtendedResponse, extendedResp)
    ASN1_TYPED_ALTERNATIVE(CASN1_IntermediateResponse, intermediateResponse)
};

/// messageID must read as 0 to 2^31-1 (RFC 4511), so a response never answers another request.
class CASN1_LDAPMessage : public CASN1_SEQUENCE {
    DECLARE_ASN1_NAMED(CASN1_LDAPMessage, kASN1Sequence)
    ASN1_MEMBER(CASN1_INTEGER, messageID)
    ASN1_OPTIONAL_MEMBER(CASN1_OCTET_STRING, cldapUserName)
    ASN1_CHOICE_MEMBER(CASN1_ProtocolOpChoice, protocolOp)
    ASN1_OPTIONAL_MEMBER(CASN1_TAGGED, controls)

    /// messageID as a number; the decoding exception when it is out of range.
    unsigned long GetMessageID() const;
    /// The controls, 0 without any, and the control at `index` (checked).
    int getControlCount() const;
    /// The control at `index`; the decoding exception out of range.
    const CASN1_LDAPControl& getControl(int index) const;
};

/// One framed message from `size` octets (all of them): copied into an encoding the message
/// owns, decoded with definite lengths and primitive strings only (RFC 4511 section 5.1) and
/// validated; the decoding exception otherwise. A message the tables do not know fails here,
/// while GetMessageID and GetOperationTag (framing.h) still read it, so a client can skip it.
/// A message of more than `maxElements` elements (kMaxLDAPMessageElements, framing.h) is refused
/// before decoding, which bounds the memory one message takes.
std::unique_ptr<CASN1_LDAPMessage> DecodeLDAPMessage(const unsigned char* p, unsigned long size,
                                                     unsigned long maxElements = kMaxLDAPMessageElements);
