#include "vorlan/asn1/componentreader.h"

template <class Value>
typename CASN1ComponentReader<Value>::Component* CASN1ComponentReader<Value>::Peek() const {
    if (AtEnd()) return nullptr;
    return m_pValue->GetComponents()[m_nNext];
}

template <class Value>
typename CASN1ComponentReader<Value>::Component& CASN1ComponentReader<Value>::NextAny(const char* field) {
    Component* component = Peek();
    if (!component) ___throwDERDecodingException("%s is missing", field);
    ++m_nNext;
    return *component;
}

template <class Value>
typename CASN1ComponentReader<Value>::Component& CASN1ComponentReader<Value>::Next(BYTE identifier,
                                                                                 const char* field) {
    const Component* component = Peek();
    if (component && component->identifier != identifier)
        ___throwDERDecodingException("%s: identifier 0x%02x expected, 0x%02x found", field, identifier,
                                     component->identifier);
    return NextAny(field);
}

template <class Value>
typename CASN1ComponentReader<Value>::Component* CASN1ComponentReader<Value>::Optional(BYTE identifier) {
    Component* component = Peek();
    if (!component || component->identifier != identifier) return nullptr;
    ++m_nNext;
    return component;
}

template <class Value>
void CASN1ComponentReader<Value>::End(const char* structure) const {
    if (AtEnd()) return;
    const Component* component = Peek();
    ___throwDERDecodingException("%s: unexpected component 0x%02x after the last field", structure,
                                 component ? component->identifier : 0u);
}

template class CASN1ComponentReader<CASN1_CONSTRUCTED_TYPE>;
template class CASN1ComponentReader<const CASN1_CONSTRUCTED_TYPE>;
