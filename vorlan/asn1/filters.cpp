#include "vorlan/asn1/filters.h"

#include <algorithm>
#include <cstring>

#include "vorlan/asn1/asn1type.h"
#include "vorlan/asn1/sharedstream.h"
#include "vorlan/support/terminate.h"

namespace vorlan::detail {

namespace {

// Compares the stream with the octets of another encoding; stops at the first difference.
class CCompareFilter : public virtual CBufferedFilterNS {
public:
    CCompareFilter(const unsigned char* other, unsigned long length) : m_pOther(other), m_dwLength(length) {
        SetBlockSize(kSinkBlockSize);
    }
    void ProcessBlock(int, const unsigned char* data, unsigned long length) override {
        ResolveBlock(data, length);
        const unsigned long available = m_dwLength - m_dwPosition;
        const unsigned long common = std::min(length, available);
        const int order = common ? std::memcmp(data, m_pOther + m_dwPosition, common) : 0;
        m_dwPosition += common;
        if (order != 0) {
            m_nResult = order < 0 ? -1 : 1;
            ___throwTerminateCompareException(0);
        }
        if (common < length) {
            m_nResult = 1;  // the other encoding ended first
            ___throwTerminateCompareException(0);
        }
    }
    // After a complete stream: the other encoding is longer, or both are equal.
    int Outcome() const { return m_dwPosition < m_dwLength ? -1 : 0; }
    int m_nResult = 0;

private:
    const unsigned char* m_pOther;
    unsigned long m_dwLength;
    unsigned long m_dwPosition = 0;
};

// Applies an octet rule block by block; the first failing block ends the walk.
class CCheckFilter : public virtual CBufferedFilterNS {
public:
    explicit CCheckFilter(int (*accepts)(const unsigned char*, unsigned long)) : m_pfnAccepts(accepts) {
        SetBlockSize(kSinkBlockSize);
        Reset();
    }
    int Reset() override {
        m_bResult = 1;
        return CBufferedFilterNS::Reset();
    }
    void ProcessBlock(int final, const unsigned char* data, unsigned long length) override {
        ResolveBlock(data, length);
        if (m_bResult && !m_pfnAccepts(data, length)) m_bResult = 0;
        if (!m_bResult || final) ___throwTerminateValidationException(0);
    }
    int m_bResult = 1;

private:
    int (*m_pfnAccepts)(const unsigned char*, unsigned long);
};

}  // namespace

CMemoryFilter::CMemoryFilter(unsigned char* memory, unsigned long capacity) : m_pMemory(memory), m_dwCapacity(capacity) {
    SetBlockSize(kSinkBlockSize);
}

void CMemoryFilter::ProcessBlock(int, const unsigned char* data, unsigned long length) {
    ResolveBlock(data, length);
    if (length > m_dwCapacity - m_dwWritten) AfxThrowFileException(CFileException::diskFull);
    if (length) std::memcpy(m_pMemory + m_dwWritten, data, length);
    m_dwWritten += length;
}

CInPlaceFilter::CInPlaceFilter(unsigned char* memory, unsigned long capacity) {
    m_pBlock = memory;
    m_dwBlockSize = static_cast<DWORD>(capacity + 1);
}

void CInPlaceFilter::ProcessBlock(int final, const unsigned char* data, unsigned long) {
    // Only the final call finds the octets where they belong; a full block or a run handed on
    // whole is a stream longer than the capacity.
    if (!final || data) AfxThrowFileException(CFileException::diskFull);
    m_dwWritten = m_dwFill;
}

void readIntoSink(CDEREncoding& encoding, unsigned long count, CBufferedFilterNS& sink) {
    for (unsigned long left = count; left > 0;) {
        const unsigned long room = sink.m_dwBlockSize - sink.m_dwFill;
        const unsigned long got = encoding.Read(sink.m_pBlock + sink.m_dwFill, std::min(left, room));
        if (got == 0) AfxThrowFileException(CFileException::endOfFile);
        sink.m_dwFill += static_cast<DWORD>(got);
        sink.m_dwTotal += static_cast<DWORD>(got);
        left -= got;
        if (sink.m_dwFill == sink.m_dwBlockSize) {
            sink.ProcessBlock(0, nullptr, 0);
            sink.m_dwFill = 0;
        }
    }
}

void copyWindow(vorlan::detail::SharedStream& stream, DWORD position, DWORD length, CBufferedFilterNS& out) {
    // A window in memory goes to the sink in place; a file is read through a block.
    if (const unsigned char* octets = stream.MemoryWindow(position, length)) {
        out.Write(octets, length);
        return;
    }
    vorlan::detail::ReadWindow(stream, position, [&](CDEREncoding& window) {
        CForwardFilter sink(out);
        readIntoSink(window, length, sink);
        sink.Finish();
    });
}

int compareEncodings(const CASN1Type& a, const CASN1Type& b) {
    CByteArray other;
    b.encodeTo(other);
    CCompareFilter sink(other.GetData(), static_cast<unsigned long>(other.GetSize()));
    EncodingPass pass;
    try {
        a.writeEncoding(sink, 0, 0, 0);
        sink.Finish();
    } catch (CTerminateCompareException* e) {
        e->Delete();
        return sink.m_nResult;
    }
    return sink.Outcome();
}

int checkClearContents(const CASN1Type& value, int (*accepts)(const unsigned char*, unsigned long)) {
    CCheckFilter sink(accepts);
    try {
        value.writeClearContents(sink);
        sink.Finish();
    } catch (CTerminateValidationException* e) {
        e->Delete();
    }
    return sink.m_bResult;
}

CBitShiftFilter::CBitShiftFilter(CBufferedFilterNS& target, int shift) : m_pTarget(&target), m_nShift(shift) {
    SetBlockSize(kSinkBlockSize);
}

void CBitShiftFilter::ProcessBlock(int, const unsigned char* data, unsigned long length) {
    ResolveBlock(data, length);
    if (length == 0) return;
    const int s = m_nShift;
    unsigned char shifted[kSinkBlockSize];
    unsigned char previous = m_cLast;
    bool carry = m_bCarry != 0;
    for (unsigned long start = 0; start < length; start += kSinkBlockSize) {
        const unsigned long n = std::min(length - start, kSinkBlockSize);
        for (unsigned long i = 0; i < n; ++i) {
            const unsigned char c = data[start + i];
            shifted[i] = static_cast<unsigned char>((carry ? previous << (8 - s) : 0) | (c >> s));
            previous = c;
            carry = true;
        }
        m_pTarget->Write(shifted, n);
    }
    m_bCarry = 1;
    m_cLast = previous;
}

}  // namespace vorlan::detail
