#include "vorlan/ldap/builders.h"

#include "vorlan/asn1/boolean.h"
#include "vorlan/asn1/identifier.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/asn1/sequence.h"

namespace vorlan::detail {

CASN1_OCTET_STRING* LDAPOctetString(std::string_view text) {
    return new CASN1_OCTET_STRING(reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<unsigned long>(text.size()));
}

CASN1_TAGGED* LDAPTaggedString(unsigned char tag, std::string_view text) {
    std::unique_ptr<CASN1_OCTET_STRING> value(LDAPOctetString(text));
    auto tagged = std::make_unique<CASN1_TAGGED>(tag, 0);
    value->buildImplicitTAGGED(*tagged);
    return tagged.release();
}

}  // namespace vorlan::detail

namespace {

using vorlan::detail::LDAPOctetString;
using vorlan::detail::LDAPTaggedString;

void requireText(std::string_view text, const char* what) {
    if (text.empty()) ___throwDERDecodingException("LDAP filter: empty %s", what);
}

LDAPFilterPtr setFilter(unsigned char tag, LDAPFilterList filters) {
    auto set = std::make_unique<CASN1_TAGGED>(tag, 0);
    for (LDAPFilterPtr& filter : filters) {
        if (!filter) ___throwDERDecodingException("LDAP filter: missing filter in a set");
        set->AddObject(filter.release());
    }
    return set;
}

}  // namespace

LDAPFilterPtr BuildAndFilter(LDAPFilterList filters) { return setFilter(ASN1ContextTag(0), std::move(filters)); }

LDAPFilterPtr BuildOrFilter(LDAPFilterList filters) { return setFilter(ASN1ContextTag(1), std::move(filters)); }

LDAPFilterPtr BuildNotFilter(LDAPFilterPtr filter) {
    if (!filter) ___throwDERDecodingException("LDAP filter: missing filter under not");
    auto wrapper = std::make_unique<CASN1_TAGGED>(ASN1ContextTag(2), 0);
    wrapper->AddObject(filter.release());
    return wrapper;
}

LDAPFilterPtr BuildAssertionFilter(ELDAPAssertion kind, std::string_view attribute, std::string_view value) {
    requireText(attribute, "attribute description");
    auto assertion = std::make_unique<CASN1_TAGGED>(static_cast<unsigned char>(kind), 0);
    assertion->AddObject(LDAPOctetString(attribute));
    assertion->AddObject(LDAPOctetString(value));
    return assertion;
}

LDAPFilterPtr BuildPresentFilter(std::string_view attribute) {
    requireText(attribute, "attribute description");
    return LDAPFilterPtr(LDAPTaggedString(ASN1ContextTag(7), attribute));
}

LDAPFilterPtr BuildSubstringsFilter(std::string_view attribute, const SLDAPSubstrings& pieces) {
    requireText(attribute, "attribute description");
    auto sequence = std::make_unique<CASN1_SEQUENCE>();
    auto add = [&](unsigned char tag, const std::string& piece) {
        requireText(piece, "substring");
        sequence->AddObject(LDAPTaggedString(tag, piece));
    };
    if (pieces.initial) add(ASN1ContextTag(0), *pieces.initial);
    for (const std::string& piece : pieces.any) add(ASN1ContextTag(1), piece);
    if (pieces.final) add(ASN1ContextTag(2), *pieces.final);
    if (sequence->GetComponents().GetSize() == 0) ___throwDERDecodingException("LDAP filter: no substring");
    auto filter = std::make_unique<CASN1_TAGGED>(ASN1ContextTag(4), 0);
    filter->AddObject(LDAPOctetString(attribute));
    filter->AddObject(sequence.release());
    return filter;
}

LDAPFilterPtr BuildExtensibleFilter(std::string_view matchingRule, std::string_view type, std::string_view value,
                                    bool dnAttributes) {
    if (matchingRule.empty() && type.empty())
        ___throwDERDecodingException("LDAP filter: extensible match without rule or type");
    auto filter = std::make_unique<CASN1_TAGGED>(ASN1ContextTag(9), 0);
    if (!matchingRule.empty()) filter->AddObject(LDAPTaggedString(ASN1ContextTag(1), matchingRule));
    if (!type.empty()) filter->AddObject(LDAPTaggedString(ASN1ContextTag(2), type));
    filter->AddObject(LDAPTaggedString(ASN1ContextTag(3), value));
    // dnAttributes is a BOOLEAN DEFAULT FALSE: DER leaves out the default.
    if (dnAttributes) {
        CASN1_BOOLEAN flag(1);
        auto tagged = std::make_unique<CASN1_TAGGED>(ASN1ContextTag(4), 0);
        flag.buildImplicitTAGGED(*tagged);
        filter->AddObject(tagged.release());
    }
    return filter;
}
