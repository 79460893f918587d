#include "vorlan/asn1/asn1type.h"

#include <algorithm>
#include <cstdio>

#include "vorlan/asn1/backwardbuffer.h"
#include "vorlan/asn1/decoder.h"
#include "vorlan/asn1/encodingpass.h"
#include "vorlan/asn1/filters.h"
#include "vorlan/asn1/tagged.h"
#include "vorlan/asn1/valuealloc.h"
#include "vorlan/support/bytearraypro.h"
#include "vorlan/support/diagnostics.h"

namespace {

// Type texts of the universal identifiers that have one.
struct TypeName {
    BYTE identifier;
    const char* text;
};
constexpr TypeName kTypeNames[] = {
    {kASN1Boolean, "UNIV, BOOLEAN"},
    {kASN1Integer, "UNIV, INTEGER"},
    {kASN1BitString, "UNIV, BIT STRING"},
    {kASN1OctetString, "UNIV, OCTET STRING"},
    {kASN1Null, "UNIV, NULL"},
    {kASN1ObjectIdentifier, "UNIV, OBJECT IDENTIFIER"},
    {kASN1Enumerated, "UNIV, ENUMERATED"},
    {kASN1UTF8String, "UNIV, UTF8String"},
    {kASN1Sequence, "UNIV, SEQUENCE(OF)"},
    {kASN1Set, "UNIV, SET(OF)"},
    {kASN1PrintableString, "UNIV, PrintableString"},
    {kASN1T61String, "UNIV, T61String"},
    {kASN1IA5String, "UNIV, IA5String"},
    {kASN1UTCTime, "UNIV, UTCTime"},
};
constexpr const char* kClassFormats[] = {"UNIV, %d (0x%x)", "APP, %d (0x%x)", "CSPEC, %d (0x%x)", "PRIV, %d (0x%x)"};

}  // namespace

std::size_t vorlan::detail::EncodingPass::Open(const void* value) {
    if (m_nSize == m_nCapacity) {
        auto grown = std::make_unique<Slot[]>(2 * m_nCapacity);
        std::copy(m_pSlots, m_pSlots + m_nSize, grown.get());
        m_pGrown = std::move(grown);
        m_pSlots = m_pGrown.get();
        m_nCapacity *= 2;
    }
    m_pSlots[m_nSize] = {value, 0};
    return m_nSize++;
}

void CASN1Type::encodeTo(CBufferedFilterNS& out, int contentsOnly, int useTag, unsigned char tag) const {
    vorlan::detail::writeThrough(out, [&](CBufferedFilterNS& sink) { writeEncoding(sink, contentsOnly, useTag, tag); });
}
void CASN1Type::encodeTo(CArchive& out, int contentsOnly, int useTag, unsigned char tag) const {
    vorlan::detail::writeThrough(out, [&](CBufferedFilterNS& sink) { writeEncoding(sink, contentsOnly, useTag, tag); });
}
void CASN1Type::encodeTo(CDEREncoding& out, int contentsOnly, int useTag, unsigned char tag) const {
    vorlan::detail::writeThrough(out, [&](CBufferedFilterNS& sink) { writeEncoding(sink, contentsOnly, useTag, tag); });
}
void CASN1Type::encodeTo(CFile& out, int contentsOnly, int useTag, unsigned char tag) const {
    vorlan::detail::writeThrough(out, [&](CBufferedFilterNS& sink) { writeEncoding(sink, contentsOnly, useTag, tag); });
}

void CASN1Type::getClearData(CBufferedFilterNS& out) const {
    vorlan::detail::writeThrough(out, [&](CBufferedFilterNS& sink) { writeClearContents(sink); });
}
void CASN1Type::getClearData(CArchive& out) const {
    vorlan::detail::writeThrough(out, [&](CBufferedFilterNS& sink) { writeClearContents(sink); });
}
void CASN1Type::getClearData(CDEREncoding& out) const {
    vorlan::detail::writeThrough(out, [&](CBufferedFilterNS& sink) { writeClearContents(sink); });
}
void CASN1Type::getClearData(CFile& out) const {
    vorlan::detail::writeThrough(out, [&](CBufferedFilterNS& sink) { writeClearContents(sink); });
}

void CASN1Type::buildExplicitTAGGED(CASN1_TAGGED& tagged) {
    tagged.clear();
    tagged.AddObject(m_bClearAfterGet ? cloneAndDie() : clone());
    tagged.m_bConstructed = 1;
    tagged.m_bIndefinite = 0;
}

void CASN1Type::Dump(unsigned long indent, CFile* file) const {
    char type[32] = {};
    for (const TypeName& name : kTypeNames)
        if (name.identifier == identifier) std::snprintf(type, sizeof type, "%s", name.text);
    if (!type[0]) std::snprintf(type, sizeof type, kClassFormats[(identifier & kASN1ClassMask) >> 6], identifier & kASN1TagMask,
                      identifier & kASN1TagMask);

    char size[96];
    if (m_bIndefinite) {
        std::snprintf(size, sizeof size, "%d + ? = ? (0x%x + ? = ?)", 2, 2);
    } else {
        const unsigned long c = getEncodedLength(1);
        const unsigned long h = 2 + vorlan::detail::lengthOctetsAfterFirst(c);
        std::snprintf(size, sizeof size, "%lu + %lu = %lu (0x%lx + 0x%lx = 0x%lx)", h, c, h + c, h, c, h + c);
    }
    ___WriteFormatted(file, "%s<%s, %s> SIZE: %s\r\n", static_cast<const char*>(CString(' ', static_cast<int>(indent))),
                      type, m_bConstructed ? "C" : "P", size);
}

void CASN1Type::writeBackward(vorlan::detail::CBackwardBuffer& out) const {
    vorlan::detail::EncodingPass pass;
    const unsigned long length = getEncodedLength(0);
    vorlan::detail::CMemoryFilter sink(out.Prepend(length), length);
    writeEncoding(sink, 0, 0, 0);
    sink.Finish();
    out.DropFront(length - sink.Written(), sink.Written());
}

void CASN1Type::encodeTo(CByteArray& out) const {
    vorlan::detail::CBackwardBuffer encoding;
    writeBackward(encoding);
    // Filled only now, so a value that reads from `out` itself is encoded from its old octets.
    out.SetSize(static_cast<int>(encoding.Size()));
    if (encoding.Size()) std::memcpy(out.GetData(), encoding.Data(), encoding.Size());
}

void CASN1Type::decodeFrom(CDEREncoding& der) {
    clear();
    try {
        ___buildFromEncoding(*this, der);
    } catch (...) {
        clear();
        throw;
    }
}

void CASN1Type::GetClearData(CByteArray& out, int alignLeft) {
    const unsigned long length = getClearContentsLength();
    OnOffAlignLeft(alignLeft);
    CByteArray contents;
    vorlan::detail::writeInPlace(contents, length, [&](CBufferedFilterNS& sink) { writeClearContents(sink); });
    out = std::move(contents);
}

int CASN1Type::GetClearData(unsigned char* buffer, unsigned long size, int alignLeft, int zeroFill) const {
    const unsigned long length = getClearContentsLength();
    if (size < length) return 0;
    const unsigned long start = alignLeft ? 0 : size - length;
    if (zeroFill) {
        std::memset(buffer, 0, start);
        std::memset(buffer + start + length, 0, size - start - length);
    }
    OnOffAlignLeft(alignLeft);
    vorlan::detail::CMemoryFilter sink(buffer + start, length);
    writeClearContents(sink);
    sink.Finish();
    return 1;
}

int vorlan::detail::ClearDataAtEnd(const CASN1Type& value, unsigned char* field, unsigned long size) {
    const unsigned long length = value.getClearContentsLength();
    if (size < length) return 0;
    std::memset(field, 0, size - length);
    return value.GetClearData(field + size - length, length, 1, 0);
}

void CASN1Type::GetString(CString& text) const {
    const unsigned long length = getClearContentsLength();
    // The text itself is the sink's block (with its one spare octet): the contents are copied once.
    char* characters = text.GetBufferSetLength(static_cast<int>(length + 1));
    vorlan::detail::CInPlaceFilter sink(reinterpret_cast<unsigned char*>(characters), length);
    writeClearContents(sink);
    sink.Finish();
    text.ReleaseBuffer(static_cast<int>(length));
}

void CASN1Type::_Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        CByteArray der;
        encodeTo(der);
        ar << static_cast<BYTE>(0);
        der.Serialize(ar);
        return;
    }
    BYTE version;
    ar >> version;
    if (version != 0) AfxThrowArchiveException(CArchiveException::generic);
    CByteArrayPro octets;
    octets.Serialize(ar);
    if (octets.GetSize() == 0) AfxThrowArchiveException(CArchiveException::generic);
    const auto length = static_cast<unsigned long>(octets.GetSize());
    // Decoded windows hold the adopted octets' stream as long as they live.
    CDEREncoding der(0, octets.Detach(), length, 1, 0);
    try {
        decodeFrom(der);
    } catch (CDERDecodingException* e) {
        e->Delete();
        AfxThrowArchiveException(CArchiveException::generic);
    }
}

int ___cmp(const CASN1Type& a, const CASN1Type& b) { return vorlan::detail::compareEncodings(a, b); }

void DestructElements(CASN1Type** elements, int count) {
    for (int i = 0; i < count; ++i) {
        delete elements[i];
        elements[i] = nullptr;
    }
}
