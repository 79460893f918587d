#include "vorlan/asn1/bitstring.h"

#include "vorlan/asn1/filters.h"
#include "vorlan/support/diagnostics.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_BIT_STRING, CASN1_BIT_STRING)

CASN1_BIT_STRING::CASN1_BIT_STRING(const unsigned char* data, unsigned long bits, int alignedLeft)
    : CASN1_BIT_STRING() {
    const unsigned u = static_cast<unsigned>((8 - bits % 8) % 8);
    const unsigned long m = (bits + 7) / 8;
    SetSize(static_cast<int>(m + 1));
    unsigned char* contents = GetData();
    contents[0] = static_cast<unsigned char>(u);
    for (unsigned long i = 0; i < m; ++i) {
        if (alignedLeft || u == 0)
            contents[1 + i] = data[i];
        else
            contents[1 + i] = static_cast<unsigned char>((data[i] << u) | (i + 1 < m ? data[i + 1] >> (8 - u) : 0));
    }
    m_dwBits = static_cast<DWORD>(bits);
}

CASN1_BIT_STRING& CASN1_BIT_STRING::operator=(const CASN1_BIT_STRING& other) {
    CASN1_CONSTRUCTED_TYPE::operator=(other);
    m_dwBits = other.m_dwBits;
    return *this;
}

void CASN1_BIT_STRING::operatorMOVE(CASN1_BIT_STRING& source) {
    CASN1_CONSTRUCTED_TYPE::operatorMOVE(source);
    m_dwBits = source.m_dwBits;
}

void CASN1_BIT_STRING::clear() {
    CASN1_CONSTRUCTED_TYPE::clear();
    m_dwBits = 0;
}

void CASN1_BIT_STRING::setContents(CDEREncoding& der, unsigned long size) {
    CASN1_PRIMITIVE_TYPE::setContents(der, size);
    if (size == 0 || (size == 1 && GetAt(0) != 0)) ___throwDERDecodingException("Invalid data size in BIT STRING");
    if (GetAt(0) > 7) ___throwDERDecodingException("Invalid number of padding bits in BIT STRING");
    m_dwBits = static_cast<DWORD>(8 * size - 8 - GetAt(0));
}

void CASN1_BIT_STRING::addConstructedComponent(CASN1Type* segment) {
    std::unique_ptr<CASN1Type> owned(segment);
    if (m_dwBits % 8 != 0)
        ___throwDERDecodingException("CASN1_BIT_STRING::addConstructedComponent - m_dwBits = %d",
                                     static_cast<int>(m_dwBits));
    const auto* bits = dynamic_cast<const CASN1_BIT_STRING*>(segment);
    const DWORD added = bits ? bits->m_dwBits : static_cast<DWORD>(8 * segment->getClearContentsLength());
    CASN1_CONSTRUCTED_TYPE::addConstructedComponent(owned.release());
    m_dwBits += added;
}

void CASN1_BIT_STRING::writeClearContents(CBufferedFilterNS& out) const {
    const unsigned u = unusedBits();
    if (m_bAlignLeft || u == 0) {
        if (m_bConstructed) {
            OnOffAlignLeft(1);
            CASN1_CONSTRUCTED_TYPE::writeClearContents(out);
        } else if (GetSize() > 0) {
            out.Write(GetData() + 1, static_cast<unsigned long>(GetSize()) - 1);
        }
        return;
    }
    vorlan::detail::CBitShiftFilter shifted(out, static_cast<int>(u));
    if (m_bConstructed) {
        for (int i = 0; i < m_components.GetSize(); ++i) {
            if (!m_components[i]) continue;
            m_components[i]->OnOffAlignLeft(1);
            m_components[i]->writeClearContents(shifted);
        }
    } else if (GetSize() > 0) {
        shifted.Write(GetData() + 1, static_cast<unsigned long>(GetSize()) - 1);
    }
    shifted.Finish();
}

unsigned long CASN1_BIT_STRING::getClearContentsLength() const {
    if (m_bConstructed) return CASN1_CONSTRUCTED_TYPE::getClearContentsLength();
    return GetSize() > 0 ? static_cast<unsigned long>(GetSize()) - 1 : 0;
}

void CASN1_BIT_STRING::Dump(unsigned long indent, CFile* file) const {
    CASN1_CONSTRUCTED_TYPE::Dump(indent, file);
    ___WriteFormatted(file, "%sBITS = %d (0x%x)\r\n", static_cast<const char*>(CString(' ', static_cast<int>(indent))),
                      static_cast<int>(m_dwBits), static_cast<unsigned>(m_dwBits));
}
