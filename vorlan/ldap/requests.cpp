#include "vorlan/ldap/requests.h"

#include "vorlan/asn1/boolean.h"
#include "vorlan/asn1/integer.h"
#include "vorlan/ldap/filterstring.h"

namespace {

using vorlan::detail::LDAPOctetString;
using vorlan::detail::LDAPTaggedString;

// Message IDs, limits and other INTEGER (0..maxInt) of RFC 4511.
constexpr unsigned long kMaxInt = 0x7FFFFFFF;

[[noreturn]] void refuse(const char* what) {
    ___throwDERDecodingException("LDAP message: %s would make a server drop the connection", what);
}

unsigned long checkedInt(unsigned long value, const char* what) {
    if (value > kMaxInt) ___throwDERDecodingException("LDAP message: %s above 2^31-1", what);
    return value;
}

// A record filled member by member: each member is owned before the next one is made.
template <class X>
class Record {
public:
    Record& add(CASN1Type* member) {
        m_value->AddObject(member);
        return *this;
    }
    std::unique_ptr<X> take() { return std::move(m_value); }
    X* release() { return m_value.release(); }

private:
    std::unique_ptr<X> m_value = std::make_unique<X>();
};

CASN1_SetOfLDAPAttributeValue* values(const std::vector<std::string>& texts) {
    auto set = std::make_unique<CASN1_SetOfLDAPAttributeValue>();
    for (const std::string& text : texts) set->AddObject(LDAPOctetString(text));
    return set.release();
}

CASN1_LDAPAttributeTypeAndValues* attribute(const SLDAPAttribute& source) {
    return Record<CASN1_LDAPAttributeTypeAndValues>()
        .add(LDAPOctetString(source.type))
        .add(values(source.values))
        .release();
}

// A primitive value under an application or context tag.
std::unique_ptr<CASN1_TAGGED> implicitly(unsigned char tag, CASN1Type&& value) {
    auto tagged = std::make_unique<CASN1_TAGGED>(tag, 0);
    value.buildImplicitTAGGED(*tagged);
    return tagged;
}

CASN1_TAGGED* controls(const std::vector<SLDAPControl>& list) {
    auto wrapper = std::make_unique<CASN1_TAGGED>(ASN1ContextTag(0), 0);
    for (const SLDAPControl& control : list) {
        Record<CASN1_LDAPControl> entry;
        entry.add(LDAPOctetString(control.type));
        // criticality is BOOLEAN DEFAULT FALSE: the default stays out.
        if (control.critical) entry.add(new CASN1_BOOLEAN(1));
        if (control.value) entry.add(LDAPOctetString(*control.value));
        wrapper->AddObject(entry.release());
    }
    return wrapper.release();
}

// The forms check: a value against the row it fills (null: no row, its parts checked alone).
void checkValue(const CASN1Type& value, const ASN1_COMPONENT_INFO* row, bool untagged);

// The components of a valid value paired with their rows, each checked.
class SendableSource {
public:
    explicit SendableSource(const CASN1ComponentArray& components) : m_components(components) {}
    bool more() const { return m_nNext < m_components.GetSize(); }
    int isMember(const ASN1_COMPONENT_INFO& row) const { return row.isMember(m_components[m_nNext]); }
    int take(const ASN1_COMPONENT_INFO& row) {
        checkValue(*m_components[m_nNext++], &row, false);
        return 1;
    }

private:
    const CASN1ComponentArray& m_components;
    int m_nNext = 0;
};

void checkParts(const CASN1ComponentArray& components, const ASN1_COMPONENT_INFO* rows) {
    if (rows) {
        SendableSource source(components);
        vorlan::detail::walkComponents(rows, source);
        return;
    }
    for (int i = 0; i < components.GetSize(); ++i) checkValue(*components[i], nullptr, false);
}

void checkValue(const CASN1Type& value, const ASN1_COMPONENT_INFO* row, bool untagged) {
    if (value.m_bIndefinite) refuse("an indefinite length");
    if (value.identifier == kASN1OctetString && value.m_bConstructed) refuse("a constructed OCTET STRING");
    const CASN1ComponentArray* parts = value.m_bConstructed ? vorlan::detail::componentsOf(value) : nullptr;
    const ASN1_TYPE_INFO* type = row ? row->m_pType : nullptr;
    const enumTAGGING_METHOD tagging = row && !untagged ? row->m_taggingMethod : TAGGING_NONE;
    if (row && !type && tagging != TAGGING_NONE && value.m_bConstructed)
        refuse("a constructed member of unchecked contents (a string or number)");
    // A filter goes out only in the forms its string form can be written from.
    if (type == &CASN1_Filter::m_typeInfo && tagging == TAGGING_NONE) {
        FormatLDAPFilter(value);
        return;
    }
    if (type && type->m_bChoice && tagging == TAGGING_NONE) {
        const int alternative = ___resolveAlternative(type->m_pRows, &value);
        if (alternative >= 0) checkValue(value, &type->m_pRows[alternative], false);
        return;
    }
    if (!parts) return;
    if (tagging == TAGGING_EXPLICIT) {
        for (int i = 0; i < parts->GetSize(); ++i) checkValue(*(*parts)[i], row, true);
        return;
    }
    checkParts(*parts, type && !type->m_bChoice ? type->m_pRows : nullptr);
    if (type == &CASN1_LDAPAttributeValueAssertion::m_typeInfo && parts->GetSize() != 2)
        refuse("an assertion without a value");
}

}  // namespace

std::unique_ptr<CASN1_BindRequest> BuildSimpleBindRequest(std::string_view name, std::string_view password) {
    return Record<CASN1_BindRequest>()
        .add(new CASN1_INTEGER(3))
        .add(LDAPOctetString(name))
        .add(LDAPTaggedString(ASN1ContextTag(0), password))
        .take();
}

std::unique_ptr<CASN1_SearchRequest> BuildSearchRequest(const SLDAPSearch& search, LDAPFilterPtr filter) {
    if (!filter) ___throwDERDecodingException("LDAP message: search without a filter");
    Record<CASN1_LDAPAttributeDescriptionList> attributes;
    for (const std::string& name : search.attributes) attributes.add(LDAPOctetString(name));
    return Record<CASN1_SearchRequest>()
        .add(LDAPOctetString(search.baseObject))
        .add(new CASN1_ENUMERATED(static_cast<unsigned long>(search.scope)))
        .add(new CASN1_ENUMERATED(static_cast<unsigned long>(search.derefAliases)))
        .add(new CASN1_INTEGER(checkedInt(search.sizeLimit, "sizeLimit")))
        .add(new CASN1_INTEGER(checkedInt(search.timeLimit, "timeLimit")))
        .add(new CASN1_BOOLEAN(search.typesOnly))
        .add(filter.release())
        .add(attributes.release())
        .take();
}

std::unique_ptr<CASN1_AddRequest> BuildAddRequest(std::string_view entry,
                                                  const std::vector<SLDAPAttribute>& attributes) {
    Record<CASN1_LDAPAttributeList> list;
    for (const SLDAPAttribute& source : attributes) list.add(attribute(source));
    return Record<CASN1_AddRequest>().add(LDAPOctetString(entry)).add(list.release()).take();
}

std::unique_ptr<CASN1_ModifyRequest> BuildModifyRequest(std::string_view object,
                                                        const std::vector<SLDAPModification>& changes) {
    Record<CASN1_ModificationList> list;
    for (const SLDAPModification& change : changes)
        list.add(Record<CASN1_ModificationEntry>()
                     .add(new CASN1_ENUMERATED(static_cast<unsigned long>(change.operation)))
                     .add(attribute(change.modification))
                     .release());
    return Record<CASN1_ModifyRequest>().add(LDAPOctetString(object)).add(list.release()).take();
}

std::unique_ptr<CASN1_ModifyDNRequest> BuildModifyDNRequest(std::string_view entry, std::string_view newrdn,
                                                            bool deleteoldrdn,
                                                            std::optional<std::string_view> newSuperior) {
    Record<CASN1_ModifyDNRequest> request;
    request.add(LDAPOctetString(entry)).add(LDAPOctetString(newrdn)).add(new CASN1_BOOLEAN(deleteoldrdn));
    if (newSuperior) request.add(LDAPTaggedString(ASN1ContextTag(0), *newSuperior));
    return request.take();
}

std::unique_ptr<CASN1_CompareRequest> BuildCompareRequest(std::string_view entry, std::string_view attribute,
                                                          std::string_view value) {
    return Record<CASN1_CompareRequest>()
        .add(LDAPOctetString(entry))
        .add(Record<CASN1_LDAPAttributeValueAssertion>()
                 .add(LDAPOctetString(attribute))
                 .add(LDAPOctetString(value))
                 .release())
        .take();
}

std::unique_ptr<CASN1_TAGGED> BuildDeleteRequest(std::string_view entry) {
    return std::unique_ptr<CASN1_TAGGED>(LDAPTaggedString(ASN1ApplicationTag(10), entry));
}

std::unique_ptr<CASN1_TAGGED> BuildAbandonRequest(unsigned long messageID) {
    return implicitly(ASN1ApplicationTag(16), CASN1_INTEGER(checkedInt(messageID, "abandoned messageID")));
}

std::unique_ptr<CASN1_TAGGED> BuildUnbindRequest() {
    // UnbindRequest ::= [APPLICATION 2] NULL: primitive and empty.
    auto unbind = std::make_unique<CASN1_TAGGED>(ASN1ApplicationTag(2), 0);
    unbind->m_bConstructed = 0;
    return unbind;
}

std::unique_ptr<CASN1_ExtendedRequest> BuildExtendedRequest(std::string_view name,
                                                            std::optional<std::string_view> value) {
    Record<CASN1_ExtendedRequest> request;
    request.add(LDAPTaggedString(ASN1ContextTag(0), name));
    if (value) request.add(LDAPTaggedString(ASN1ContextTag(1), *value));
    return request.take();
}

std::unique_ptr<CASN1_LDAPMessage> BuildLDAPMessage(unsigned long messageID, std::unique_ptr<CASN1Type> operation,
                                                    const std::vector<SLDAPControl>& list) {
    if (!operation || !CASN1_ProtocolOpChoice::isValid(operation.get(), 0))
        ___throwDERDecodingException("LDAP message: the operation is none of the alternatives");
    Record<CASN1_LDAPMessage> building;
    building.add(new CASN1_INTEGER(checkedInt(messageID, "messageID"))).add(operation.release());
    if (!list.empty()) building.add(controls(list));
    std::unique_ptr<CASN1_LDAPMessage> message = building.take();
    if (!CASN1_LDAPMessage::isValid(message.get(), 0)) ___throwDERDecodingException("LDAP message: not valid");
    CheckLDAPSendable(*message);
    return message;
}

void CheckLDAPSendable(const CASN1_LDAPMessage& message) {
    static constexpr ASN1_COMPONENT_INFO kMessage =
        ASN1TypedRow<CASN1_LDAPMessage>("message", kASN1Sequence, TAGGING_NONE);
    checkValue(message, &kMessage, false);
}
