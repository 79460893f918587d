// Reads the components of a constructed value in schema order; every failure is the
// decoding exception naming the structure and the field.
#pragma once

#include "vorlan/asn1/constructed.h"

namespace detail {

// Identifier octets (class bits and tag number) of the components certificates use.
inline constexpr BYTE kIdInteger = 0x02;
inline constexpr BYTE kIdBitString = 0x03;
inline constexpr BYTE kIdNull = 0x05;
inline constexpr BYTE kIdObjectIdentifier = 0x06;
inline constexpr BYTE kIdSequence = 0x10;
inline constexpr BYTE kIdUTCTime = 0x17;
inline constexpr BYTE kIdContext = 0x80;  // [n] is kIdContext | n

class CComponentCursor {
public:
    // `value` must be constructed and, unless anyTag, carry `identifier`.
    CComponentCursor(const CASN1Type& value, BYTE identifier, int anyTag, const char* structure);

    // The next component, which must carry `identifier`.
    const CASN1Type& Next(BYTE identifier, const char* field);
    // The next component whatever its identifier.
    const CASN1Type& NextAny(const char* field);
    // The next component when it carries `identifier`, else null and nothing taken.
    const CASN1Type* Optional(BYTE identifier);
    int AtEnd() const { return m_nNext >= m_components.GetSize(); }
    // No component may follow.
    void End();
    // Fails naming `field` unless `ok`.
    void Require(bool ok, const char* field) const;

private:
    const CASN1ComponentArray& m_components;
    const char* m_pszStructure;
    int m_nNext = 0;
};

// 1 when `check` passes, 0 when it raises the decoding exception.
template <class Check>
int Passes(Check&& check) {
    try {
        check();
        return 1;
    } catch (CDERDecodingException* e) {
        e->Delete();
        return 0;
    }
}

}  // namespace detail
