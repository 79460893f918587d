#include "vorlan/asn1/tagged.h"

#include "vorlan/asn1/backwardbuffer.h"
#include "vorlan/asn1/definiteheader.h"
#include "vorlan/asn1/filters.h"
#include "vorlan/asn1/sharedstream.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_TAGGED, CASN1_TAGGED)

CASN1_TAGGED::~CASN1_TAGGED() {
    if (m_pEncoding) m_pEncoding->Release();
}

CASN1_TAGGED& CASN1_TAGGED::operator=(const CASN1_TAGGED& other) {
    if (this == &other) return *this;
    CASN1_CONSTRUCTED_TYPE::operator=(other);
    shareWindow(other.m_pEncoding, other.m_dwLength, other.m_dwPosition);
    return *this;
}

void CASN1_TAGGED::operatorMOVE(CASN1_TAGGED& source) {
    if (this == &source) return;
    CASN1_CONSTRUCTED_TYPE::operatorMOVE(source);
    shareWindow(source.m_pEncoding, source.m_dwLength, source.m_dwPosition);
}

void CASN1_TAGGED::shareWindow(vorlan::detail::SharedStream* stream, DWORD length, DWORD position) {
    if (stream) stream->AddRef();
    takeWindow(stream, length, position);
}

void CASN1_TAGGED::releaseEncoding() {
    vorlan::detail::SharedStream* stream = std::exchange(m_pEncoding, nullptr);
    m_dwLength = 0;
    m_dwPosition = 0;
    if (stream) stream->Release();
}

void CASN1_TAGGED::clear() {
    CASN1_CONSTRUCTED_TYPE::clear();
    releaseEncoding();
}

void CASN1_TAGGED::setContents(CDEREncoding& der, unsigned long size) {
    clear();
    const long position = der.Seek(0, CFile::current);
    shareWindow(der.GetStream(), static_cast<DWORD>(size), static_cast<DWORD>(position));
    der.Seek(static_cast<long>(size), CFile::current);
}

void CASN1_TAGGED::writeEncoding(CBufferedFilterNS& out, int contentsOnly, int useTag, unsigned char tag) const {
    if (m_bConstructed) {
        CASN1_CONSTRUCTED_TYPE::writeEncoding(out, contentsOnly, useTag, tag);
        return;
    }
    if (contentsOnly) {
        writeClearContents(out);
        return;
    }
    const unsigned char identifierOctet = useTag ? tag : identifier;
    // A window in memory goes out with its header in one write; a stream is read through a block.
    const unsigned char* octets = m_pEncoding ? m_pEncoding->MemoryWindow(m_dwPosition, m_dwLength) : nullptr;
    if (octets || !m_pEncoding) {
        vorlan::detail::writeDefiniteElement(out, identifierOctet, m_dwLength, octets, octets ? m_dwLength : 0);
        return;
    }
    vorlan::detail::writeDefiniteHeader(out, identifierOctet, m_dwLength);
    vorlan::detail::copyWindow(*m_pEncoding, m_dwPosition, m_dwLength, out);
}

void CASN1_TAGGED::writeBackward(vorlan::detail::CBackwardBuffer& out) const {
    if (m_bConstructed) {
        CASN1_CONSTRUCTED_TYPE::writeBackward(out);
        return;
    }
    const unsigned char* octets = m_pEncoding ? m_pEncoding->MemoryWindow(m_dwPosition, m_dwLength) : nullptr;
    // A window in a file, or a class that states another length, goes the general way.
    if ((!octets && m_dwLength) || getEncodedLength(0) != vorlan::detail::definiteEncodedLength(m_dwLength)) {
        CASN1Type::writeBackward(out);
        return;
    }
    vorlan::detail::prependDefiniteElement(out, identifier, octets, m_dwLength);
}

void CASN1_TAGGED::writeClearContents(CBufferedFilterNS& out) const {
    if (m_bConstructed) {
        CASN1_CONSTRUCTED_TYPE::writeClearContents(out);
        return;
    }
    if (m_pEncoding) vorlan::detail::copyWindow(*m_pEncoding, m_dwPosition, m_dwLength, out);
}

unsigned long CASN1_TAGGED::getEncodedLength(int contentsOnly) const {
    if (m_bConstructed) return CASN1_CONSTRUCTED_TYPE::getEncodedLength(contentsOnly);
    return contentsOnly ? m_dwLength : vorlan::detail::definiteEncodedLength(m_dwLength);
}

unsigned long CASN1_TAGGED::getClearContentsLength() const {
    if (m_bConstructed) return CASN1_CONSTRUCTED_TYPE::getClearContentsLength();
    return m_dwLength;
}

void CASN1_TAGGED::buildImplicitTAGGED(CASN1_TAGGED& tagged) {
    if (m_bConstructed) {
        CASN1_CONSTRUCTED_TYPE::buildImplicitTAGGED(tagged);
        return;
    }
    if (&tagged == this) return;
    tagged.clear();
    tagged.shareWindow(m_pEncoding, m_dwLength, m_dwPosition);
    if (m_bClearAfterGet) clear();
    tagged.m_bConstructed = 0;
    tagged.m_bIndefinite = 0;
}
