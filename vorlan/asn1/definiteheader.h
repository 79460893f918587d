// Writing definite-length element headers into a buffered sink or in front of a backward buffer.
#pragma once

#include "vorlan/asn1/backwardbuffer.h"
#include "vorlan/asn1/bufferedfilter.h"
#include "vorlan/asn1/derencoding.h"
#include "vorlan/framework/file.h"

namespace vorlan::detail {
// Identifier octet and definite-form length octets of an element with `length` contents octets.
inline unsigned definiteHeaderOctets(unsigned long length) { return 2 + lengthOctetsAfterFirst(length); }
inline constexpr unsigned kMaxHeaderOctets = 2 + sizeof(unsigned long);
// Writes the header of definiteHeaderOctets(length) = `count` octets at `at`.
inline void putDefiniteHeader(unsigned char* at, unsigned char identifierOctet, unsigned long length, unsigned count) {
    at[0] = identifierOctet;
    if (count == 2) {
        at[1] = static_cast<unsigned char>(length);
        return;
    }
    const unsigned k = count - 2;
    at[1] = static_cast<unsigned char>(kASN1LongLength | k);
    for (unsigned i = 0; i < k; ++i) at[2 + i] = static_cast<unsigned char>(length >> (8 * (k - 1 - i)));
}
// Header (identifier, definite length of `length`) and then `count` octets of `data`: straight
// into the sink's block when both fit, else as two buffered writes.
inline void writeDefiniteElement(CBufferedFilterNS& out, unsigned char identifierOctet, unsigned long length,
                                 const unsigned char* data, unsigned long count) {
    const unsigned h = definiteHeaderOctets(length);
    if (unsigned char* at = out.Reserve(h + count)) {
        putDefiniteHeader(at, identifierOctet, length, h);
        CBufferedFilterNS::CopyOctets(at + h, data, count);
        out.Commit(h + count);
        return;
    }
    unsigned char header[kMaxHeaderOctets];
    putDefiniteHeader(header, identifierOctet, length, h);
    out.Write(header, h);
    out.Write(data, count);
}
inline void writeDefiniteHeader(CBufferedFilterNS& out, unsigned char identifierOctet, unsigned long length) {
    writeDefiniteElement(out, identifierOctet, length, nullptr, 0);
}
// The same element put in front of what `out` holds.
inline void prependDefiniteElement(CBackwardBuffer& out, unsigned char identifierOctet, const unsigned char* data,
                                   unsigned long count) {
    const unsigned h = definiteHeaderOctets(count);
    unsigned char* at = out.Prepend(h + count);
    putDefiniteHeader(at, identifierOctet, count, h);
    CBufferedFilterNS::CopyOctets(at + h, data, count);
}
// The hex dump of octets, 18 to a line, each line indented by `indent` + 3 blanks.
void dumpHex(unsigned long indent, CFile* file, const unsigned char* octets, unsigned long count);
}  // namespace vorlan::detail
