// CASN1ComponentReader: reads the components of a constructed value in order, field by
// field as a structure lists them. Every failure is the decoding exception with a reason
// that names the field, so a parser reads like its schema instead of chains of indices.
#pragma once

#include <type_traits>

#include "vorlan/asn1/constructed.h"

// Value is CASN1_CONSTRUCTED_TYPE or const CASN1_CONSTRUCTED_TYPE; the deduction guides
// below pick it from the argument, so `CASN1ComponentReader reader(sequence);` suffices.
template <class Value>
class CASN1ComponentReader {
public:
    using Component = std::conditional_t<std::is_const_v<Value>, const CASN1Type, CASN1Type>;

    explicit CASN1ComponentReader(std::type_identity_t<Value>& value) : m_pValue(&value) {}

    // The next component, which must carry `identifier` (stored form, constructed bit clear).
    Component& Next(BYTE identifier, const char* field);
    // The next component whatever its identifier (a CHOICE or an open type).
    Component& NextAny(const char* field);
    // The next component when it carries `identifier`; null, and nothing read, otherwise.
    Component* Optional(BYTE identifier);
    // Fails unless every component has been read; `structure` names the value.
    void End(const char* structure) const;
    int AtEnd() const { return m_nNext >= m_pValue->GetCount(); }

private:
    // The next slot's component, null past the end or for an empty slot.
    Component* Peek() const;

    Value* m_pValue;
    int m_nNext = 0;
};

CASN1ComponentReader(CASN1_CONSTRUCTED_TYPE&) -> CASN1ComponentReader<CASN1_CONSTRUCTED_TYPE>;
CASN1ComponentReader(const CASN1_CONSTRUCTED_TYPE&) -> CASN1ComponentReader<const CASN1_CONSTRUCTED_TYPE>;

extern template class CASN1ComponentReader<CASN1_CONSTRUCTED_TYPE>;
extern template class CASN1ComponentReader<const CASN1_CONSTRUCTED_TYPE>;
