// The octets behind a CDEREncoding handle and behind the windows of the values decoded
// from it: one counted stream that the last holder frees, so decoded values outlive the
// handle. A caller's file the stream does not own, and a caller's buffer read in place,
// must outlive every holder.
#pragma once

#include <atomic>

#include "vorlan/asn1/derencoding.h"
#include "vorlan/framework/file.h"
#include "vorlan/framework/memfile.h"

namespace vorlan::detail {

class SharedStream {
public:
    // Holds `file`, deleted with the stream when autoDeleteFile; the creator holds the one reference.
    SharedStream(CFile* file, int autoDeleteFile);
    // The same for a stream known to be in memory.
    SharedStream(CMemFile* file, int autoDeleteFile);
    SharedStream(const SharedStream&) = delete;
    SharedStream& operator=(const SharedStream&) = delete;

    // Counted atomically: threads that share a decoded tree may each copy from it. A decoder
    // takes references for many windows at once and gives back those it did not hand out.
    void AddRef(long count = 1) { m_nRefCount.fetch_add(count, std::memory_order_relaxed); }
    // The last holder ends the stream: an owned file is deleted, a temporary file closed and removed.
    void Release(long count = 1) {
        if (m_nRefCount.fetch_sub(count, std::memory_order_acq_rel) == count) delete this;
    }

    // The octets of a window read in place when the stream is in memory; null otherwise or
    // when the window runs past the end.
    const unsigned char* MemoryWindow(DWORD position, DWORD length) const {
        if (!m_pMemory) return nullptr;
        const DWORD size = m_pMemory->GetBufferLength();
        if (position > size || length > size - position) return nullptr;
        return m_pMemory->GetBuffer() + position;
    }

    CFile* const m_pFile;
    const int m_bAutoDeleteFile;
    int m_bTmpFile = 0;

protected:
    virtual ~SharedStream();

private:
    const CMemFile* const m_pMemory;
    std::atomic<long> m_nRefCount{1};
};

// An empty growable memory stream; the creator holds the one reference.
SharedStream* MemoryStream();
// A memory stream of `length` octets: the new[]-allocated buffer adopted (freed also on
// failure), a private copy, or (neither) the caller's buffer read in place. The creator
// holds the one reference.
SharedStream* MemoryStream(unsigned char* buffer, unsigned long length, int adopt, int copy);

}  // namespace vorlan::detail

namespace vorlan::detail {

// Runs `read` on a handle of `stream` positioned at `position`, then puts the stream's position
// back: reading a window leaves the next decode from the encoding where it was.
template <class Read>
void ReadWindow(SharedStream& stream, DWORD position, Read&& read) {
    CDEREncoding window(0, stream);
    struct Resume {
        CFile& file;
        long position;
        ~Resume() {
            try {
                file.Seek(position, CFile::begin);
            } catch (CException* e) {
                e->Delete();
            }
        }
    } resume{*stream.m_pFile, window.Seek(0, CFile::current)};
    window.Seek(static_cast<long>(position), CFile::begin);
    read(window);
}

}  // namespace vorlan::detail
