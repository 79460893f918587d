#include "vorlan/asn1/componenttable.h"

#include <cstring>

namespace {

bool sameName(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

// Components of an array in order, each checked against the row it is a member of.
class ArraySource {
public:
    explicit ArraySource(const CASN1ComponentArray& components) : m_components(components) {}
    bool more() const { return m_nNext < m_components.GetSize(); }
    int isMember(const ASN1_COMPONENT_INFO& row) const { return current() && row.isMember(current()); }
    int take(const ASN1_COMPONENT_INFO& row) { return row.isValid(m_components[m_nNext++], 1); }

private:
    const CASN1Type* current() const { return m_components[m_nNext]; }

    const CASN1ComponentArray& m_components;
    int m_nNext = 0;
};

}  // namespace

int ASN1_COMPONENT_INFO::isMemberOtherwise(const CASN1Type* v) const {
    if (m_bEndOfList) return 0;
    if (m_taggingMethod == TAGGING_NONE) {
        if (m_bAny) return 1;
        if (m_pfnResolveAlternative) return m_pfnResolveAlternative(v) != -1;
    }
    return rowIdentifier() == v->identifier;
}

int ASN1_COMPONENT_INFO::isMemberByIdentifierOtherwise(BYTE identifier) const {
    if (m_bEndOfList) return 0;
    if (m_taggingMethod == TAGGING_NONE) {
        if (m_bAny) return 1;
        if (m_pfnResolveAlternative) {
            for (const ASN1_COMPONENT_INFO* row = m_pType ? m_pType->m_pRows : nullptr; row && !row->m_bEndOfList;
                 ++row)
                if (row->isMemberByIdentifier(identifier)) return 1;
            return 0;
        }
    }
    return rowIdentifier() == identifier;
}

int ASN1_COMPONENT_INFO::isValid(const CASN1Type* v, int anyTag) const {
    if (m_bEndOfList) return 0;
    if (m_bAny && m_taggingMethod == TAGGING_NONE) return 1;
    if (!m_pfnIsValid) return anyTag || rowIdentifier() == v->identifier;
    switch (m_taggingMethod) {
        case TAGGING_NONE:
            return m_pfnIsValid(v, m_pfnResolveAlternative ? 0 : anyTag);
        case TAGGING_IMPLICIT:
            return (anyTag || rowIdentifier() == v->identifier) && m_pfnIsValid(v, 1);
        case TAGGING_EXPLICIT: {
            if (!anyTag && rowIdentifier() != v->identifier) return 0;
            const CASN1ComponentArray* inner = v->m_bConstructed ? vorlan::detail::componentsOf(*v) : nullptr;
            return inner && inner->GetSize() == 1 && (*inner)[0] && m_pfnIsValid((*inner)[0], 0);
        }
    }
    return 0;
}

int ___validateComponents(const ASN1_COMPONENT_INFO* table, const CASN1ComponentArray& components) {
    ArraySource source(components);
    return vorlan::detail::walkComponents(table, source);
}

int ___validateAlternative(const ASN1_COMPONENT_INFO* table, const CASN1Type* v, int anyTag) {
    for (const ASN1_COMPONENT_INFO* row = table; !row->m_bEndOfList; ++row) {
        if (!anyTag && !row->isMember(v)) continue;
        if (row->isValid(v, 1)) return 1;
    }
    return 0;
}

int ___resolveAlternative(const ASN1_COMPONENT_INFO* table, const CASN1Type* v) {
    for (int row = 0; !table[row].m_bEndOfList; ++row)
        if (table[row].isMember(v)) return row;
    return -1;
}

int ___resolveAlternative(const ASN1_COMPONENT_INFO* table, const CASN1Type* v, const char* name) {
    for (int row = 0; !table[row].m_bEndOfList; ++row)
        if (sameName(table[row].m_szMemberName, name) && table[row].isMember(v)) return row;
    return -1;
}

int ___findComponentByMemberName(const ASN1_COMPONENT_INFO* table, const CASN1ComponentArray& components,
                                 const char* name) {
    return vorlan::detail::findComponent(table, components,
                                         [&](int row) { return sameName(table[row].m_szMemberName, name); });
}

int ASN1ValidateNamed(const ASN1_TYPE_INFO& type, const CASN1Type* v, int anyTag) {
    if (!v || !v->m_bConstructed || (!anyTag && v->identifier != type.m_tagAndClass)) return 0;
    const CASN1ComponentArray* components = vorlan::detail::componentsOf(*v);
    return components && ___validateComponents(type.m_pRows, *components);
}

namespace vorlan::detail {

const CASN1ComponentArray* componentsOf(const CASN1Type& value) {
    const auto* constructed = valueAs<CASN1_CONSTRUCTED_TYPE>(value);
    return constructed ? &constructed->GetComponents() : nullptr;
}

}  // namespace vorlan::detail
