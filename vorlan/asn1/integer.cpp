#include "vorlan/asn1/integer.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_INTEGER, CASN1_PRIMITIVE_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_ENUMERATED, CASN1_ENUMERATED)

CASN1_INTEGER::CASN1_INTEGER(unsigned long value) : CASN1_INTEGER() {
    unsigned char octets[sizeof(unsigned long)];
    for (unsigned i = 0; i < sizeof octets; ++i)
        octets[i] = static_cast<unsigned char>(value >> (8 * (sizeof octets - 1 - i)));
    setMagnitude(octets, sizeof octets);
}

CASN1_INTEGER::CASN1_INTEGER(const unsigned char* magnitude, unsigned short size) : CASN1_INTEGER() {
    setMagnitude(magnitude, size);
}

void CASN1_INTEGER::setMagnitude(const unsigned char* magnitude, unsigned long size) {
    while (size > 0 && *magnitude == 0) {
        ++magnitude;
        --size;
    }
    // A 0x00 octet in front when the top bit would read as a sign; zero is the single octet 00.
    const bool signOctet = size == 0 || (magnitude[0] & 0x80) != 0;
    SetSize(static_cast<int>(size + (signOctet ? 1 : 0)));
    unsigned char* contents = GetData();
    if (signOctet) *contents++ = 0;
    if (size) std::memcpy(contents, magnitude, size);
}

int CASN1_INTEGER::GetInteger(unsigned long& value) const {
    const unsigned char* octets = GetData();
    unsigned long n = static_cast<unsigned long>(GetSize());
    // Two's complement: a negative number is no count, version or length.
    if (n > 0 && (octets[0] & 0x80) != 0) return 0;
    while (n > 0 && *octets == 0) {
        ++octets;
        --n;
    }
    if (n > 4) return 0;
    unsigned long result = 0;
    for (unsigned long i = 0; i < n; ++i) result = (result << 8) | octets[i];
    value = result;
    return 1;
}

void CASN1_INTEGER::writeClearContents(CBufferedFilterNS& out) const {
    const unsigned long skip = signOctets();
    out.Write(GetData() + skip, static_cast<unsigned long>(GetSize()) - skip);
}

unsigned long CASN1_INTEGER::getClearContentsLength() const {
    return static_cast<unsigned long>(GetSize()) - signOctets();
}

CASN1_ENUMERATED::CASN1_ENUMERATED() { identifier = kASN1Enumerated; }

CASN1_ENUMERATED::CASN1_ENUMERATED(unsigned long value) : CASN1_INTEGER(value) { identifier = kASN1Enumerated; }

CASN1_ENUMERATED::CASN1_ENUMERATED(const unsigned char* magnitude, unsigned short size)
    : CASN1_INTEGER(magnitude, size) {
    identifier = kASN1Enumerated;
}

CASN1_ENUMERATED& CASN1_ENUMERATED::operator=(const CASN1_ENUMERATED& other) {
    CASN1_PRIMITIVE_TYPE::operator=(other);
    m_lMinValue = other.m_lMinValue;
    m_lMaxValue = other.m_lMaxValue;
    return *this;
}

void CASN1_ENUMERATED::operatorMOVE(CASN1_ENUMERATED& source) {
    CASN1_PRIMITIVE_TYPE::operatorMOVE(source);
    m_lMinValue = source.m_lMinValue;
    m_lMaxValue = source.m_lMaxValue;
}

int CASN1_ENUMERATED::isValid(const CASN1Type* value, int anyTag) {
    if (value->m_bConstructed) return 0;
    if (anyTag) {
        // Any identifier (an implicitly tagged ENUMERATED): the magnitude must fit 32 bits.
        unsigned char octets[5];
        if (!vorlan::detail::ClearDataAtEnd(*value, octets, sizeof octets)) return 0;
        unsigned long v;
        return CASN1_ENUMERATED(octets, sizeof octets).GetInteger(v);
    }
    const auto* enumerated = dynamic_cast<const CASN1_ENUMERATED*>(value);
    if (!enumerated || value->identifier != 0x0A) return 0;
    value->OnOffClearAfterGet(0);
    unsigned long v;
    if (!enumerated->GetInteger(v)) return 0;
    if (enumerated->m_lMinValue > enumerated->m_lMaxValue) return 1;
    const LONG signedValue = static_cast<LONG>(static_cast<DWORD>(v));
    return enumerated->m_lMinValue <= signedValue && signedValue <= enumerated->m_lMaxValue;
}
