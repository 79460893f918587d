/// \file
/// CMemFile: a CFile over a memory block that grows in steps of m_nGrowBytes. A block of its own
/// is wiped before it is freed, when the file is closed or grows out of it: it may hold secrets.
#pragma once

#include "vorlan/framework/file.h"

/// A CFile over a memory block that grows in steps of m_nGrowBytes. A block of its own is freed
/// (wiped) by Close or destruction; a caller's block stays the caller's unless the file had to
/// grow out of it. Growing a file over a fixed block is the memory exception, seeking before
/// the start CFileException* badSeek.
class CMemFile : public CFile {
    DECLARE_DYNAMIC(CMemFile)
public:
    /// An empty file whose block grows by at least growBytes.
    explicit CMemFile(UINT growBytes = 1024);
    /// Over a caller's buffer. growBytes 0: the buffer is the file's data (length = size) and
    /// cannot grow; otherwise the file starts empty and may grow (the buffer is then reallocated).
    CMemFile(BYTE* buffer, UINT size, UINT growBytes = 0);
    ~CMemFile() override;

    /// Puts the file over a caller's buffer, as the constructor of that form does.
    void Attach(BYTE* buffer, UINT size, UINT growBytes = 0);
    /// Returns the buffer and leaves the file empty; the caller owns the buffer.
    BYTE* Detach();

    /// Copies up to `count` octets from the position.
    UINT Read(void* buffer, UINT count) override;
    /// Copies `count` octets to the position, growing the file (a gap past the end reads as zeros).
    void Write(const void* buffer, UINT count) override;
    /// Moves the position, also past the end; badSeek before the start or past 2^31 - 1.
    LONG Seek(LONG offset, UINT from) override;
    /// The file's length.
    DWORD GetLength() const override { return m_nFileSize; }
    /// Cuts or extends (with zeros) the file.
    void SetLength(DWORD newLength) override;
    /// The position.
    DWORD GetPosition() const override { return m_nPosition; }
    /// Nothing to write through.
    void Flush() override {}
    /// Frees (wiped) a block of the file's own and empties the file.
    void Close() override;
    /// Close().
    void Abort() override { Close(); }
    CFile* Duplicate() const override;
    /// The length only; TRUE.
    BOOL GetStatus(CFileStatus& status) const override;

    /// Direct access for readers that want to avoid a copy: the file's data and length.
    const BYTE* GetBuffer() const { return m_lpBuffer; }
    /// The file's length (the octets GetBuffer points at).
    DWORD GetBufferLength() const { return m_nFileSize; }

protected:
    /// Memory management hooks: allocation with malloc/free.
    virtual BYTE* Alloc(DWORD bytes);
    /// Frees a block from Alloc.
    virtual void Free(BYTE* block);
    /// Makes room for newLength octets in a block of the file's own; the memory exception for a
    /// fixed block or a failed allocation.
    virtual void GrowFile(DWORD newLength);
    /// Wipes and frees the buffer when it is the file's own.
    void FreeOwnBuffer();

    UINT m_nGrowBytes;  ///< the grow step, 0 for a fixed caller buffer
    DWORD m_nPosition = 0;  ///< the position
    DWORD m_nBufferSize = 0;  ///< the block's size
    DWORD m_nFileSize = 0;  ///< the file's length
    BYTE* m_lpBuffer = nullptr;  ///< the block
    BOOL m_bAutoDelete = TRUE;  ///< the block is the file's own and is freed with it
};
