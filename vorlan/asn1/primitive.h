// CASN1_PRIMITIVE_TYPE: a value held as its DER contents octets (the CByteArray base).
#pragma once

#include "vorlan/asn1/asn1type.h"

class CASN1_PRIMITIVE_TYPE : public CASN1Type, public CByteArray {
public:
    ~CASN1_PRIMITIVE_TYPE() override = default;

    // Header fields copied; this value's buffer freed and the source's taken over.
    void operatorMOVE(CASN1_PRIMITIVE_TYPE& source);

    void clear() override { SetSize(0); }
    void writeEncoding(CBufferedFilterNS& out, int contentsOnly, int useTag, unsigned char tag) const override;
    void writeClearContents(CBufferedFilterNS& out) const override;
    void buildImplicitTAGGED(CASN1_TAGGED& tagged) override;
    int fromImplicit(CASN1_TAGGED& tagged) override;
    int fromExplicit(CASN1_TAGGED& tagged) override;
    unsigned long getEncodedLength(int contentsOnly) const override;
    unsigned long getClearContentsLength() const override { return static_cast<unsigned long>(GetSize()); }
    void Dump(unsigned long indent, CFile* file) const override;

protected:
    CASN1_PRIMITIVE_TYPE() = default;
    CASN1_PRIMITIVE_TYPE(const unsigned char* data, unsigned long size);
    CASN1_PRIMITIVE_TYPE& operator=(const CASN1_PRIMITIVE_TYPE& other);

    void addConstructedComponent(CASN1Type* component) override { delete component; }
    void setContents(CDEREncoding& der, unsigned long size) override;
    int allowsConstructed() const override { return 0; }
    int allowsPrimitive() const override { return 1; }
};

namespace detail {
// Identifier octet and definite-form length octets.
inline void writeDefiniteHeader(CBufferedFilterNS& out, unsigned char identifierOctet, unsigned long length) {
    out.WriteByte(identifierOctet);
    const unsigned k = lengthOctetsAfterFirst(length);
    if (k == 0) {
        out.WriteByte(static_cast<unsigned char>(length));
        return;
    }
    out.WriteByte(static_cast<unsigned char>(0x80 | k));
    for (unsigned i = k; i-- > 0;) out.WriteByte(static_cast<unsigned char>(length >> (8 * i)));
}
// The hex dump of octets, 18 to a line, each line indented by `indent` + 3 blanks.
void dumpHex(unsigned long indent, CFile* file, const unsigned char* octets, unsigned long count);
}  // namespace detail
