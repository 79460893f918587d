#include "vorlan/asn1/primitive.h"

#include <cstdio>

#include "vorlan/asn1/backwardbuffer.h"
#include "vorlan/asn1/definiteheader.h"
#include "vorlan/asn1/derreader.h"
#include "vorlan/asn1/filters.h"
#include "vorlan/asn1/sharedstream.h"
#include "vorlan/asn1/tagged.h"
#include "vorlan/support/diagnostics.h"
#include "vorlan/support/memfilepro.h"

namespace vorlan::detail {

void dumpHex(unsigned long indent, CFile* file, const unsigned char* octets, unsigned long count) {
    constexpr unsigned long kPerLine = 18;
    constexpr int kTextColumn = 57;
    const CString margin(' ', static_cast<int>(indent + 3));
    for (unsigned long start = 0; start < count; start += kPerLine) {
        const unsigned long n = count - start < kPerLine ? count - start : kPerLine;
        char body[kTextColumn + kPerLine + 1];
        int column = 0;
        for (unsigned long i = 0; i < n; ++i) column += std::snprintf(body + column, 4, "%02x ", octets[start + i]);
        while (column < kTextColumn) body[column++] = ' ';
        for (unsigned long i = 0; i < n; ++i) {
            const unsigned char c = octets[start + i];
            body[column++] = (c >= 0x20 && c <= 0x7E) ? static_cast<char>(c) : '.';
        }
        body[column] = '\0';
        ___WriteFormatted(file, "%s%s\r\n", static_cast<const char*>(margin), body);
    }
}

}  // namespace vorlan::detail

CASN1_PRIMITIVE_TYPE::CASN1_PRIMITIVE_TYPE(const unsigned char* data, unsigned long size) {
    SetSize(static_cast<int>(size));
    if (size) std::memcpy(GetData(), data, size);
}

CASN1_PRIMITIVE_TYPE& CASN1_PRIMITIVE_TYPE::operator=(const CASN1_PRIMITIVE_TYPE& other) {
    CASN1Type::operator=(other);
    Copy(other);
    return *this;
}

void CASN1_PRIMITIVE_TYPE::operatorMOVE(CASN1_PRIMITIVE_TYPE& source) {
    CASN1Type::operator=(source);
    if (this == &source) return;
    SetSize(0);
    m_pData = std::exchange(source.m_pData, nullptr);
    m_nSize = std::exchange(source.m_nSize, 0);
    m_nMaxSize = std::exchange(source.m_nMaxSize, 0);
    m_nGrowBy = std::exchange(source.m_nGrowBy, 0);
}

void CASN1_PRIMITIVE_TYPE::setContents(CDEREncoding& der, unsigned long size) {
    // Callers have checked that the stream holds `size` octets: the decoder against its
    // limits, fromImplicit against the window's encoding.
    SetSize(static_cast<int>(size));
    if (size && der.Read(GetData(), size) != size) vorlan::detail::ThrowDERFault(vorlan::detail::EDERFault::truncated);
}

void CASN1_PRIMITIVE_TYPE::writeEncoding(CBufferedFilterNS& out, int contentsOnly, int useTag, unsigned char tag) const {
    const unsigned long n = static_cast<unsigned long>(GetSize());
    if (contentsOnly)
        out.Write(GetData(), n);
    else
        vorlan::detail::writeDefiniteElement(out, useTag ? tag : identifier, n, GetData(), n);
}

void CASN1_PRIMITIVE_TYPE::writeBackward(vorlan::detail::CBackwardBuffer& out) const {
    const unsigned long n = static_cast<unsigned long>(GetSize());
    // A class that states another length than its contents give goes the general way.
    if (getEncodedLength(0) != vorlan::detail::definiteEncodedLength(n)) {
        CASN1Type::writeBackward(out);
        return;
    }
    vorlan::detail::prependDefiniteElement(out, identifier, GetData(), n);
}

void CASN1_PRIMITIVE_TYPE::writeClearContents(CBufferedFilterNS& out) const {
    out.Write(GetData(), static_cast<unsigned long>(GetSize()));
}

unsigned long CASN1_PRIMITIVE_TYPE::getEncodedLength(int contentsOnly) const {
    const unsigned long n = static_cast<unsigned long>(GetSize());
    return contentsOnly ? n : vorlan::detail::definiteEncodedLength(n);
}

void CASN1_PRIMITIVE_TYPE::buildImplicitTAGGED(CASN1_TAGGED& tagged) {
    tagged.clear();
    const unsigned long n = static_cast<unsigned long>(GetSize());
    if (m_bClearAfterGet) {
        // The stream takes over the contents buffer.
        tagged.takeWindow(vorlan::detail::MemoryStream(m_pData, n, 1, 0), n, 0);
        m_pData = nullptr;
        m_nSize = m_nMaxSize = 0;
    } else {
        tagged.takeWindow(vorlan::detail::MemoryStream(m_pData, n, 0, 1), n, 0);
    }
    tagged.m_bConstructed = 0;
    tagged.m_bIndefinite = 0;
}

int CASN1_PRIMITIVE_TYPE::fromImplicit(CASN1_TAGGED& tagged) {
    clear();
    if (!allowsPrimitive() || tagged.m_bConstructed || !tagged.m_pEncoding) return 0;
    m_bConstructed = 0;
    m_bIndefinite = 0;
    vorlan::detail::ReadWindow(*tagged.m_pEncoding, tagged.m_dwPosition, [&](CDEREncoding& window) {
        if (tagged.m_dwLength > window.Remaining()) vorlan::detail::ThrowDERFault(vorlan::detail::EDERFault::truncated);
        setContents(window, tagged.m_dwLength);
    });
    if (tagged.m_bClearAfterGet) tagged.clear();
    return 1;
}

int CASN1_PRIMITIVE_TYPE::fromExplicit(CASN1_TAGGED& tagged) {
    clear();
    if (!tagged.m_bConstructed || tagged.GetComponents().GetSize() != 1) return 0;
    CASN1Type* component;
    if (tagged.m_bClearAfterGet) {
        component = tagged.GetComponents()[0];
        tagged.GetComponents()[0] = nullptr;
        tagged.clear();
    } else {
        component = tagged.GetComponents()[0]->clone();
    }
    return moveFrom(component);
}

void CASN1_PRIMITIVE_TYPE::Dump(unsigned long indent, CFile* file) const {
    CASN1Type::Dump(indent, file);
    CMemFilePro contents(1024);
    encodeTo(static_cast<CFile&>(contents), 1, 0, 0);
    if (contents.GetLength() == 0) return;
    vorlan::detail::dumpHex(indent, file, contents.GetBuffer(), contents.GetLength());
}
