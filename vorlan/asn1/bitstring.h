/// \file
/// CASN1_BIT_STRING: contents are the unused-bits octet (0-7) and the bits, first bit
/// in the top of the first octet; a constructed string is a list of such segments.
#pragma once

#include "vorlan/asn1/constructed.h"

/// BIT STRING: the contents are the unused-bits octet (0-7) and the bits, first bit in the top
/// of the first octet; the clear contents are the bits without that octet.
class CASN1_BIT_STRING : public CASN1_CONSTRUCTED_TYPE {
public:
    CASN1_BIT_STRING() { identifier = kASN1BitString; }
    /// `bits` bits of `data`, left-aligned already (alignedLeft) or ending at the last bit of data.
    CASN1_BIT_STRING(const unsigned char* data, unsigned long bits, int alignedLeft);
    DECLARE_ASN1_VALUE_COPIES(CASN1_BIT_STRING)

    /// Copies the bits and their count.
    CASN1_BIT_STRING& operator=(const CASN1_BIT_STRING& other);
    /// Takes the bits and their count from `source`, which is left empty.
    void operatorMOVE(CASN1_BIT_STRING& source);

    void clear() override;
    /// Align-left flag off and a partial last octet: the bits come out shifted to end at the last bit.
    void writeClearContents(CBufferedFilterNS& out) const override;
    unsigned long getClearContentsLength() const override;
    void Dump(unsigned long indent, CFile* file) const override;

    DWORD m_dwBits = 0;  ///< the number of bits

protected:
    /// Only the last segment may end inside an octet.
    void addConstructedComponent(CASN1Type* segment) override;
    void setContents(CDEREncoding& der, unsigned long size) override;

private:
    unsigned unusedBits() const { return (8 - m_dwBits % 8) % 8; }
};
