#include "vorlan/x509/componentcursor.h"

namespace detail {
namespace {

const CASN1ComponentArray& ComponentsOf(const CASN1Type& value, BYTE identifier, int anyTag, const char* structure) {
    const auto* constructed = dynamic_cast<const CASN1_CONSTRUCTED_TYPE*>(&value);
    if (!constructed || !value.m_bConstructed || (!anyTag && value.identifier != identifier))
        ___throwDERDecodingException("%s is not a constructed value of identifier 0x%02x", structure, identifier);
    return constructed->GetComponents();
}

}  // namespace

CComponentCursor::CComponentCursor(const CASN1Type& value, BYTE identifier, int anyTag, const char* structure)
    : m_components(ComponentsOf(value, identifier, anyTag, structure)), m_pszStructure(structure) {}

const CASN1Type& CComponentCursor::NextAny(const char* field) {
    const CASN1Type* component = m_nNext < m_components.GetSize() ? m_components[m_nNext] : nullptr;
    if (!component) ___throwDERDecodingException("%s.%s is missing", m_pszStructure, field);
    ++m_nNext;
    return *component;
}

const CASN1Type& CComponentCursor::Next(BYTE identifier, const char* field) {
    const CASN1Type& component = NextAny(field);
    if (component.identifier != identifier)
        ___throwDERDecodingException("%s.%s has identifier 0x%02x, 0x%02x expected", m_pszStructure, field,
                                     component.identifier, identifier);
    return component;
}

const CASN1Type* CComponentCursor::Optional(BYTE identifier) {
    if (AtEnd() || !m_components[m_nNext] || m_components[m_nNext]->identifier != identifier) return nullptr;
    return m_components[m_nNext++];
}

void CComponentCursor::End() {
    if (!AtEnd()) ___throwDERDecodingException("%s has a component too many", m_pszStructure);
}

void CComponentCursor::Require(bool ok, const char* field) const {
    if (!ok) ___throwDERDecodingException("%s.%s is not valid", m_pszStructure, field);
}

}  // namespace detail
