#include "vorlan/asn1/derreader.h"

#include "vorlan/asn1/asn1type.h"
#include "vorlan/asn1/derencoding.h"

namespace vorlan::detail {

void ThrowDERFault(EDERFault fault) {
    switch (fault) {
        case EDERFault::highTagNumber: ___throwDERDecodingException("High tag number form is not supported");
        case EDERFault::universalZero:
            ___throwDERDecodingException("Universal tag 0 is reserved for end-of-contents octets");
        case EDERFault::longLength: ___throwDERDecodingException("4 bytes-encoded-length is only suported");
        case EDERFault::indefinite:
            ___throwDERDecodingException("Indefinite length where only the definite form is allowed");
        case EDERFault::none:
        case EDERFault::truncated: break;
    }
    ___throwDERDecodingException("Unexpected end of file");
}

void CheckConstructedEncoding(const CASN1Type& value, int depth) {
    if (!ValueAccess::allowsConstructed(value))
        ___throwDERDecodingException("Encoded type does not allow constructed encoding method");
    if (depth >= kDERLimits.nestingDepth)
        ___throwDERDecodingException("Constructed encodings nest deeper than %d levels", kDERLimits.nestingDepth);
}

EDERFault ReadDERHeader(const BYTE* octets, unsigned long available, SDERHeader& header, bool element) {
    unsigned long at = 0;
    return ReadDERHeader([&]() -> int { return at < available ? octets[at++] : -1; }, header, element);
}

EDERFault CDERReader::ReadLong(SDERElement& element) const {
    SDERHeader header;
    const auto available = static_cast<unsigned long>(m_end - m_at);
    const EDERFault fault = ReadDERHeader(m_at, available, header, false);
    if (fault != EDERFault::none) return fault;
    if (header.indefinite) return EDERFault::indefinite;
    if (header.length > available - header.size) return EDERFault::truncated;
    element = {header.octet, m_at, m_at + header.size, m_at + header.size + header.length};
    return EDERFault::none;
}

}  // namespace vorlan::detail
