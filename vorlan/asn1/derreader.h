// Element headers (identifier and length octets) read by one set of rules, and DER octets in
// memory read element by element, every length checked against the octets there are before
// it is used. The generic and the table decoder read their headers by these rules; the LDAP
// framing, the list scanner and the keeping of received octets read through CDERReader. Each
// way a header fails has one reason text.
#pragma once

#include "vorlan/asn1/identifier.h"

class CASN1Type;

namespace vorlan::detail {

// Why a header (or the contents it announces) does not read.
enum class EDERFault { none, truncated, highTagNumber, universalZero, longLength, indefinite };

// The decoding exception with the fault's reason text.
[[noreturn]] void ThrowDERFault(EDERFault fault);
// The decoding exception unless `value` may be encoded constructed and a constructed encoding
// at `depth` is within the nesting limit.
void CheckConstructedEncoding(const CASN1Type& value, int depth);

struct SDERHeader {
    BYTE octet = 0;             // the identifier octet as encoded
    bool indefinite = false;    // the length octet 0x80 (an empty primitive, as the decoders read it)
    unsigned long length = 0;   // contents octets of the definite form
    unsigned long size = 0;     // identifier and length octets
};

// Reads one header from `next`, which gives the following octet or -1 when there is none.
// The universal tag 0 belongs to the end-of-contents octets: refused when `element` says the
// header starts an element (not where end-of-contents octets may stand).
template <class NextOctet>
EDERFault ReadDERHeader(NextOctet&& next, SDERHeader& header, bool element = true) {
    const int octet = next();
    if (octet < 0) return EDERFault::truncated;
    if ((octet & kASN1TagMask) == kASN1HighTagNumber) return EDERFault::highTagNumber;
    if (element && ASN1StoredIdentifier(static_cast<BYTE>(octet)) == kASN1Universal)
        return EDERFault::universalZero;
    const int first = next();
    if (first < 0) return EDERFault::truncated;
    header = {static_cast<BYTE>(octet), first == kASN1IndefiniteLength, 0, 2};
    if (header.indefinite) return EDERFault::none;
    if (!(first & kASN1LongLength)) {
        header.length = static_cast<unsigned long>(first);
        return EDERFault::none;
    }
    const unsigned count = static_cast<unsigned>(first) & ~kASN1LongLength;
    if (count > kDERLimits.lengthOctets) return EDERFault::longLength;
    for (unsigned i = 0; i < count; ++i) {
        const int length = next();
        if (length < 0) return EDERFault::truncated;
        header.length = (header.length << 8) | static_cast<unsigned long>(length);
    }
    header.size += count;
    return EDERFault::none;
}

// The header at `octets`, of which `available` are there.
EDERFault ReadDERHeader(const BYTE* octets, unsigned long available, SDERHeader& header, bool element = true);

// One element of DER in memory.
struct SDERElement {
    BYTE identifier = 0;           // the identifier octet as encoded
    const BYTE* begin = nullptr;   // its identifier octet
    const BYTE* contents = nullptr;
    const BYTE* end = nullptr;     // past its contents

    unsigned long Length() const { return static_cast<unsigned long>(end - contents); }
    bool IsConstructed() const { return (identifier & kASN1Constructed) != 0; }
};

// The elements of DER octets in memory one after the other, of definite length only, each
// within the octets left. On a fault the reader stays where it was.
class CDERReader {
public:
    CDERReader(const BYTE* octets, unsigned long size) : m_at(octets), m_end(octets + size) {}
    // The contents of a constructed element.
    explicit CDERReader(const SDERElement& element) : m_at(element.contents), m_end(element.end) {}

    bool AtEnd() const { return m_at == m_end; }

    // The next element; the reader moves past it.
    EDERFault Next(SDERElement& element) {
        const EDERFault fault = Read(element);
        if (fault == EDERFault::none) m_at = element.end;
        return fault;
    }
    // The next element; the reader moves into its contents when it is constructed, past it
    // otherwise, so that repeated steps visit every element at every depth once.
    EDERFault Step(SDERElement& element) {
        const EDERFault fault = Read(element);
        if (fault == EDERFault::none) m_at = element.IsConstructed() ? element.contents : element.end;
        return fault;
    }

private:
    // The short form of length, most elements' own, read here; the others by ReadLong.
    EDERFault Read(SDERElement& element) const {
        const auto available = static_cast<unsigned long>(m_end - m_at);
        if (available < 2 || (m_at[0] & kASN1TagMask) == kASN1HighTagNumber || (m_at[1] & kASN1LongLength))
            return ReadLong(element);
        if (m_at[1] > available - 2) return EDERFault::truncated;
        element = {m_at[0], m_at, m_at + 2, m_at + 2 + m_at[1]};
        return EDERFault::none;
    }
    EDERFault ReadLong(SDERElement& element) const;

    const BYTE* m_at;
    const BYTE* m_end;
};

}  // namespace vorlan::detail
