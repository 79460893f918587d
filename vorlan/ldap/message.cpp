#include "vorlan/ldap/message.h"

#include "vorlan/ldap/framing.h"

namespace {

int isValidMessageID(const CASN1Type* value, int) {
    const auto* integer = vorlan::detail::valueAs<CASN1_INTEGER>(*value);
    unsigned long id;
    return integer && !integer->m_bConstructed &&
           ReadLDAPMessageID(integer->GetData(), static_cast<unsigned long>(integer->GetSize()), id);
}

}  // namespace

constexpr ASN1_COMPONENT_INFO CASN1_LDAPControl::m_compInfoList[] = {
    ASN1Row("controlType", kASN1OctetString),
    ASN1Row("criticality", kASN1Boolean, EASN1Presence::optional),
    ASN1Row("controlValue", kASN1OctetString, EASN1Presence::optional),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_LDAPControl, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_MEMBER(CASN1_LDAPControl, CASN1_OCTET_STRING, controlType)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_LDAPControl, CASN1_BOOLEAN, criticality)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_LDAPControl, CASN1_OCTET_STRING, controlValue)

constexpr ASN1_COMPONENT_INFO CASN1_LDAPControls::m_compInfoList[] = {
    ASN1TypedRow<CASN1_LDAPControl>("", kASN1Sequence, TAGGING_NONE, EASN1Presence::repeated),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_LDAPControls, CASN1_CONSTRUCTED_TYPE)

namespace {

template <class X>
constexpr ASN1_COMPONENT_INFO operation(const char* name, unsigned number) {
    return ASN1TypedRow<X>(name, ASN1ApplicationTag(number), TAGGING_IMPLICIT);
}

constexpr ASN1_COMPONENT_INFO identifierOnly(const char* name, unsigned number) {
    return ASN1Row(name, ASN1ApplicationTag(number));
}

}  // namespace

constexpr ASN1_COMPONENT_INFO CASN1_ProtocolOpChoice::m_alternativesList[] = {
    operation<CASN1_BindRequest>("bindRequest", 0),
    operation<CASN1_BindResponse>("bindResponse", 1),
    identifierOnly("unbindRequest", 2),
    operation<CASN1_SearchRequest>("searchRequest", 3),
    operation<CASN1_SearchResultEntry>("searchResEntry", 4),
    operation<CASN1_SearchResultDone>("searchResDone", 5),
    operation<CASN1_Referral>("searchResRef", 19),
    ASN1TypedRow<CASN1_SearchResultFull>("searchResFull", kASN1Sequence, TAGGING_NONE),
    operation<CASN1_ModifyRequest>("modifyRequest", 6),
    operation<CASN1_LDAPResult>("modifyResponse", 7),
    operation<CASN1_AddRequest>("addRequest", 8),
    operation<CASN1_LDAPResult>("addResponse", 9),
    identifierOnly("delRequest", 10),
    operation<CASN1_LDAPResult>("delResponse", 11),
    operation<CASN1_ModifyDNRequest>("modDNRequest", 12),
    operation<CASN1_LDAPResult>("modDNResponse", 13),
    operation<CASN1_CompareRequest>("compareRequest", 14),
    operation<CASN1_CompareResponse>("compareResponse", 15),
    identifierOnly("abandonRequest", 16),
    operation<CASN1_Controls>("sessionRequest", 17),
    operation<CASN1_SessionResponse>("sessionResponse", 18),
    operation<CASN1_ResumeRequest>("resumeRequest", 20),
    operation<CASN1_LDAPResult>("resumeError", 21),
    operation<CASN1_ExtendedRequest>("extendedReq", 23),
    operation<CASN1_ExtendedResponse>("extendedResp", 24),
    operation<CASN1_IntermediateResponse>("intermediateResponse", 25),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_CHOICE(CASN1_ProtocolOpChoice)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_BindRequest, bindRequest)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_BindResponse, bindResponse)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_TAGGED, unbindRequest)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_SearchRequest, searchRequest)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_SearchResultEntry, searchResEntry)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_SearchResultDone, searchResDone)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_TAGGED, searchResRef)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_SearchResultFull, searchResFull)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_ModifyRequest, modifyRequest)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_TAGGED, modifyResponse)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_AddRequest, addRequest)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_TAGGED, addResponse)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_TAGGED, delRequest)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_TAGGED, delResponse)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_ModifyDNRequest, modDNRequest)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_TAGGED, modDNResponse)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_CompareRequest, compareRequest)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_CompareResponse, compareResponse)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_TAGGED, abandonRequest)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_TAGGED, sessionRequest)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_SessionResponse, sessionResponse)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_ResumeRequest, resumeRequest)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_TAGGED, resumeError)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_ExtendedRequest, extendedReq)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_ExtendedResponse, extendedResp)
IMPLEMENT_ASN1_TYPED_ALTERNATIVE(CASN1_ProtocolOpChoice, CASN1_IntermediateResponse, intermediateResponse)

constexpr ASN1_COMPONENT_INFO CASN1_LDAPMessage::m_compInfoList[] = {
    ASN1Row("messageID", kASN1Integer, EASN1Presence::mandatory, &isValidMessageID),
    ASN1Row("cldapUserName", kASN1OctetString, EASN1Presence::optional),
    ASN1ChoiceRow<CASN1_ProtocolOpChoice>("protocolOp"),
    ASN1TypedRow<CASN1_LDAPControls>("controls", ASN1ContextTag(0), TAGGING_IMPLICIT, EASN1Presence::optional),
    ASN1EndRow(),
};
IMPLEMENT_ASN1_NAMED(CASN1_LDAPMessage, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_MEMBER(CASN1_LDAPMessage, CASN1_INTEGER, messageID)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_LDAPMessage, CASN1_OCTET_STRING, cldapUserName)
IMPLEMENT_ASN1_CHOICE_MEMBER(CASN1_LDAPMessage, CASN1_ProtocolOpChoice, protocolOp)
IMPLEMENT_ASN1_OPTIONAL_MEMBER(CASN1_LDAPMessage, CASN1_TAGGED, controls)

unsigned long CASN1_LDAPMessage::GetMessageID() const {
    const CASN1_INTEGER& id = get_messageID();
    unsigned long value = 0;
    if (!isValidMessageID(&id, 0)) ___throwDERDecodingException("LDAP message: messageID out of range 0..2^31-1");
    ReadLDAPMessageID(id.GetData(), static_cast<unsigned long>(id.GetSize()), value);
    return value;
}

int CASN1_LDAPMessage::getControlCount() const { return is_controls() ? get_controls().GetCount() : 0; }

const CASN1_LDAPControl& CASN1_LDAPMessage::getControl(int index) const {
    return vorlan::detail::memberAs<CASN1_LDAPControl>(get_controls().GetComponent(index), m_typeInfo.m_szName, "controls");
}

std::unique_ptr<CASN1_LDAPMessage> DecodeLDAPMessage(const unsigned char* p, unsigned long size,
                                                     unsigned long maxElements) {
    CheckLDAPElementCount(p, size, maxElements);
    // The decoded windows hold the copy's stream; the handle itself can go with this call.
    CDEREncoding der(0, const_cast<unsigned char*>(p), size, 0, 1);
    auto message = std::make_unique<CASN1_LDAPMessage>();
    ASN1DecodeNamed(*message, CASN1_LDAPMessage::m_typeInfo, der, EASN1DecodeForm::definitePrimitiveStrings);
    if (der.Remaining() != 0) ___throwDERDecodingException("LDAP message: octets after the message");
    return message;
}
