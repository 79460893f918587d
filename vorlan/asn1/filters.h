// The library's internal output sinks: pass-through to the four targets, memory
// buffers, encoding comparison, octet checks and the right-shifting sink.
#pragma once

#include "vorlan/asn1/asn1type.h"
#include "vorlan/asn1/bufferedfilter.h"
#include "vorlan/asn1/derencoding.h"
#include "vorlan/asn1/encodingpass.h"
#include "vorlan/framework/archive.h"
#include "vorlan/framework/file.h"

namespace vorlan::detail {

// Block size of the plain sinks.
inline constexpr unsigned long kSinkBlockSize = 1024;

inline void writeToTarget(CFile& file, const unsigned char* data, unsigned long n) {
    file.Write(data, static_cast<UINT>(n));
}
inline void writeToTarget(CArchive& archive, const unsigned char* data, unsigned long n) {
    archive.Write(data, static_cast<UINT>(n));
}
inline void writeToTarget(CDEREncoding& encoding, const unsigned char* data, unsigned long n) {
    encoding.Write(data, n);
}
// Into another sink: its buffered write; the final flag stays here, the target is not flushed.
inline void writeToTarget(CBufferedFilterNS& sink, const unsigned char* data, unsigned long n) { sink.Write(data, n); }

// Hands every block to one target of the four kinds.
template <class Target>
class CTargetFilter : public virtual CBufferedFilterNS {
public:
    explicit CTargetFilter(Target& target) : m_pTarget(&target) { SetBlockSize(kSinkBlockSize); }
    void ProcessBlock(int, const unsigned char* data, unsigned long length) override {
        ResolveBlock(data, length);
        if (length) writeToTarget(*m_pTarget, data, length);
    }

private:
    Target* m_pTarget;
};

using CFileFilter = CTargetFilter<CFile>;
using CArchiveFilter = CTargetFilter<CArchive>;
using CEncodingFilter = CTargetFilter<CDEREncoding>;
using CForwardFilter = CTargetFilter<CBufferedFilterNS>;

// Fills a caller's memory of known capacity; more octets than that are a disk-full file error.
class CMemoryFilter : public virtual CBufferedFilterNS {
public:
    CMemoryFilter(unsigned char* memory, unsigned long capacity);
    void ProcessBlock(int final, const unsigned char* data, unsigned long length) override;
    unsigned long Written() const { return m_dwWritten; }

private:
    unsigned char* m_pMemory;
    unsigned long m_dwCapacity;
    unsigned long m_dwWritten = 0;
};

// Writes straight into memory of `capacity` octets plus one spare octet: the memory is the
// block, so octets are copied once, in place. The spare octet keeps a stream of at most
// `capacity` octets from ever filling the block; a longer one is a disk-full file error.
class CInPlaceFilter : public virtual CBufferedFilterNS {
public:
    CInPlaceFilter(unsigned char* memory, unsigned long capacity);
    void ProcessBlock(int final, const unsigned char* data, unsigned long length) override;
    unsigned long Written() const { return m_dwWritten; }

private:
    unsigned long m_dwWritten = 0;
};

// Sizes `out` to `length` octets and fills it with `writer` through an in-place sink; `out`
// ends at the octets written.
template <class Writer>
void writeInPlace(CByteArray& out, unsigned long length, Writer&& writer) {
    out.SetSize(static_cast<int>(length + 1));
    CInPlaceFilter sink(out.GetData(), length);
    writer(static_cast<CBufferedFilterNS&>(sink));
    sink.Finish();
    out.SetSize(static_cast<int>(sink.Written()));
}

// Runs `writer` into a sink for `target` and ends the stream.
template <class Target, class Writer>
void writeThrough(Target& target, Writer&& writer) {
    EncodingPass pass;
    CTargetFilter<Target> sink(target);
    writer(static_cast<CBufferedFilterNS&>(sink));
    sink.Finish();
}

// Reads `count` octets of `encoding` straight into the sink's block, handing on each full
// block; a read that delivers nothing before the count is reached throws end of file.
void readIntoSink(CDEREncoding& encoding, unsigned long count, CBufferedFilterNS& sink);

// Copies `length` octets at `position` of `stream` into `out`, leaving the stream's position
// as it was; a window that ends early throws the end-of-file file exception.
void copyWindow(vorlan::detail::SharedStream& stream, DWORD position, DWORD length, CBufferedFilterNS& out);

// DER order of two values: their encodings compared octet by octet, a proper prefix first.
int compareEncodings(const CASN1Type& a, const CASN1Type& b);

// 1 when `accepts` holds for every block of the value's clear contents.
int checkClearContents(const CASN1Type& value, int (*accepts)(const unsigned char* octets, unsigned long count));

// Shifts the stream right by 1 to 7 bits into `target`; the last octet's low bits drop.
class CBitShiftFilter : public virtual CBufferedFilterNS {
public:
    CBitShiftFilter(CBufferedFilterNS& target, int shift);
    void ProcessBlock(int final, const unsigned char* data, unsigned long length) override;

private:
    CBufferedFilterNS* m_pTarget;
    int m_nShift;
    int m_bCarry = 0;
    unsigned char m_cLast = 0;
};

}  // namespace vorlan::detail
