#include "vorlan/pkcs/pkcsstructure.h"

#include "vorlan/asn1/integer.h"
#include "vorlan/pkcs/contentinfo.h"

namespace vorlan::detail {
namespace {

// A constructed value (any identifier when anyTag, else SET) whose elements all pass `element`.
void CheckSetOf(const CASN1Type& value, int anyTag, PkcsCheck element, const char* field) {
    if (!CASN1_SET::isValid(&value, anyTag)) ___throwDERDecodingException("%s is not a SET", field);
    CStructureReader reader(dynamic_cast<const CASN1_CONSTRUCTED_TYPE&>(value));
    while (!reader.AtEnd())
        if (!element(&reader.NextAny(field), 0)) ___throwDERDecodingException("%s is not valid", field);
}

int IndexOf(const CASN1_CONSTRUCTED_TYPE& parent, const CASN1Type& component) {
    int index = 0;
    while (&parent.GetComponent(index) != &component) ++index;
    return index;
}

}  // namespace

CPkcsWalk::CPkcsWalk(const CASN1Type& value, int anyTag, const char* structure, bool check)
    : m_reader(ReaderOf(value, kASN1Sequence, anyTag, structure)), m_structure(structure), m_check(check) {}

void CPkcsWalk::Version(unsigned long expected, const char* unreadable) {
    const CASN1Type& component = Next(kASN1Integer, "version");
    if (!m_check) return;
    const auto* version = dynamic_cast<const CASN1_INTEGER*>(&component);
    unsigned long number = 0;
    if (!version || !version->GetInteger(number)) ___throwDERDecodingException("%s", unreadable);
    if (number != expected) ___throwDERDecodingException("version %lu, %lu expected", number, expected);
}

const CASN1Type& CPkcsWalk::Checked(PkcsCheck isValid, const char* field) {
    const CASN1Type& component = m_reader.NextAny(field);
    if (m_check && !isValid(&component, 0)) ___throwDERDecodingException("%s is not valid", field);
    return component;
}

const CASN1Type& CPkcsWalk::SetOf(BYTE identifier, PkcsCheck element, const char* field) {
    const CASN1Type& set = Next(identifier, field);
    if (m_check) CheckSetOf(set, identifier != kASN1Set, element, field);
    return set;
}

const CASN1Type* CPkcsWalk::OptionalSetOf(BYTE identifier, PkcsCheck element, const char* field) {
    const CASN1Type* set = Optional(identifier);
    if (set && m_check) CheckSetOf(*set, 1, element, field);
    return set;
}

void PutComponent(CASN1_CONSTRUCTED_TYPE& parent, const CASN1Type* present, const CASN1Type& next,
                  CASN1Type* component) {
    if (present) {
        CASN1Type*& slot = parent.GetComponents()[IndexOf(parent, *present)];
        delete slot;
        slot = component;
    } else {
        parent.GetComponents().InsertAt(IndexOf(parent, next), component);
    }
}

void RemoveComponent(CASN1_CONSTRUCTED_TYPE& parent, const CASN1Type& component, bool destroy) {
    const int index = IndexOf(parent, component);
    if (!destroy) parent.GetComponents()[index] = nullptr;
    parent.GetComponents().RemoveAt(index);
}

CASN1_SET* SetFromImplicit(const CASN1_CONSTRUCTED_TYPE& parent, const CASN1Type* tagged, int clearAfterGet,
                           const char* missing) {
    if (!tagged) ___throwDERDecodingException("%s", missing);
    CASN1_TAGGED& implicit = Typed<CASN1_TAGGED>(parent, tagged, "SET OF");
    implicit.OnOffClearAfterGet(clearAfterGet);
    auto set = std::make_unique<CASN1_SET>();
    const int read = set->fromImplicit(implicit);
    implicit.OnOffClearAfterGet(0);
    set->OnOffClearAfterGet(0);
    if (!read) ___throwDERDecodingException("SET OF cannot be read");
    return set.release();
}

CASN1_TAGGED* NewImplicitSet(BYTE tag, const CASN1_SET& set) {
    auto tagged = std::make_unique<CASN1_TAGGED>(tag, 0);
    CASN1_SET(set).buildImplicitTAGGED(*tagged);
    return tagged.release();
}

CASN1_SET* NewSortedCopy(const CASN1_SET& set) {
    auto sorted = std::make_unique<CASN1_SET>();
    sorted->m_bSorted = 1;
    for (int i = 0; i < set.GetCount(); ++i) sorted->AddObject(set.GetComponent(i).clone());
    return sorted.release();
}

void DecodeChecked(CASN1_CONSTRUCTED_TYPE& self, CDEREncoding& der, PkcsCheck isValid, const char* reason) {
    self.decodeFrom(der);
    if (isValid(&self, 0)) return;
    self.clear();
    ___throwDERDecodingException("%s", reason);
}

void FromValue(CASN1_CONSTRUCTED_TYPE& self, const CASN1Type& value, PkcsCheck isValid, const char* reason) {
    if (self.moveFrom(value.clone()) && isValid(&self, 0)) return;
    self.clear();
    ___throwDERDecodingException("%s", reason);
}

void FromContent(CASN1_CONSTRUCTED_TYPE& self, const CASN1_ContentInfo& contentInfo,
                 const CASN1_OBJECT_IDENTIFIER& type, PkcsCheck isValid, const char* reason) {
    if (!CASN1_ContentInfo::isValid(&contentInfo, 0) || !(contentInfo.GetContentType() == type) ||
        !contentInfo.IsContent())
        ___throwDERDecodingException("%s", reason);
    FromValue(self, contentInfo.GetContent(), isValid, reason);
}

}  // namespace vorlan::detail
