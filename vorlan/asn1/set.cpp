#include "vorlan/asn1/set.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_SET, CASN1_CONSTRUCTED_TYPE)

void CASN1_SET::AddObject(CASN1Type* component) {
    if (!m_bSorted) {
        CASN1_CONSTRUCTED_TYPE::AddObject(component);
        return;
    }
    std::unique_ptr<CASN1Type> owned(component);
    int at = m_components.GetSize();
    while (at > 0 && !(m_components[at - 1] && ___cmp(*component, *m_components[at - 1]) > 0)) --at;
    m_components.InsertAt(at, component);
    owned.release();
}

int CASN1_SET::isValid(const CASN1Type* value, int anyTag) {
    const auto* set = dynamic_cast<const CASN1_CONSTRUCTED_TYPE*>(value);
    if (!set || !value->m_bConstructed) return 0;
    if (!anyTag && value->identifier != 0x11) return 0;
    const CASN1ComponentArray& components = set->GetComponents();
    if (!value->m_bSorted || components.GetSize() < 2) return 1;
    for (int i = 1; i < components.GetSize(); ++i)
        if (components[i - 1] && components[i] && ___cmp(*components[i - 1], *components[i]) > 0) return 0;
    return 1;
}
