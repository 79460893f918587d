/// \file
/// CASN1_PRIMITIVE_TYPE: a value held as its DER contents octets (the CByteArray base).
#pragma once

#include "vorlan/asn1/asn1type.h"

/// A value held as its DER contents octets, which are its CByteArray base.
class CASN1_PRIMITIVE_TYPE : public CASN1Type, public CByteArray {
public:
    ~CASN1_PRIMITIVE_TYPE() override = default;

    /// Header fields copied; this value's buffer freed and the source's taken over.
    void operatorMOVE(CASN1_PRIMITIVE_TYPE& source);

    void clear() override { SetSize(0); }
    void writeEncoding(CBufferedFilterNS& out, int contentsOnly, int useTag, unsigned char tag) const override;
    void writeBackward(vorlan::detail::CBackwardBuffer& out) const override;
    void writeClearContents(CBufferedFilterNS& out) const override;
    void buildImplicitTAGGED(CASN1_TAGGED& tagged) override;
    int fromImplicit(CASN1_TAGGED& tagged) override;
    int fromExplicit(CASN1_TAGGED& tagged) override;
    unsigned long getEncodedLength(int contentsOnly) const override;
    unsigned long getClearContentsLength() const override { return static_cast<unsigned long>(GetSize()); }
    void Dump(unsigned long indent, CFile* file) const override;

protected:
    CASN1_PRIMITIVE_TYPE() = default;
    /// A copy of `size` contents octets.
    CASN1_PRIMITIVE_TYPE(const unsigned char* data, unsigned long size);
    /// Copies the header fields and the contents octets.
    CASN1_PRIMITIVE_TYPE& operator=(const CASN1_PRIMITIVE_TYPE& other);

    void addConstructedComponent(CASN1Type* component) override { delete component; }
    void setContents(CDEREncoding& der, unsigned long size) override;
    int allowsConstructed() const override { return 0; }
    int allowsPrimitive() const override { return 1; }
};
