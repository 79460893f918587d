/// \file
/// CMemFile: a CFile over a memory block that grows in steps of m_nGrowBytes. A block of its own
/// is wiped before it is freed, when the file is closed or grows out of it: it may hold secrets.
#pragma once

#include "vorlan/framework/file.h"

class CMemFile : public CFile {
    DECLARE_DYNAMIC(CMemFile)
public:
    explicit CMemFile(UINT growBytes = 1024);
    /// Over a caller's buffer. growBytes 0: the buffer is the file's data (length = size) and
    /// cannot grow; otherwise the file starts empty and may grow (the buffer is then reallocated).
    CMemFile(BYTE* buffer, UINT size, UINT growBytes = 0);
    ~CMemFile() override;

    void Attach(BYTE* buffer, UINT size, UINT growBytes = 0);
    /// Returns the buffer and leaves the file empty; the caller owns the buffer.
    BYTE* Detach();

    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;
    LONG Seek(LONG offset, UINT from) override;
    DWORD GetLength() const override { return m_nFileSize; }
    void SetLength(DWORD newLength) override;
    DWORD GetPosition() const override { return m_nPosition; }
    void Flush() override {}
    void Close() override;
    void Abort() override { Close(); }
    CFile* Duplicate() const override;
    BOOL GetStatus(CFileStatus& status) const override;

    /// Direct access for readers that want to avoid a copy: the file's data and length.
    const BYTE* GetBuffer() const { return m_lpBuffer; }
    DWORD GetBufferLength() const { return m_nFileSize; }

protected:
    /// Memory management hooks: allocation with malloc/free.
    virtual BYTE* Alloc(DWORD bytes);
    virtual void Free(BYTE* block);
    virtual void GrowFile(DWORD newLength);
    /// Wipes and frees the buffer when it is the file's own.
    void FreeOwnBuffer();

    UINT m_nGrowBytes;
    DWORD m_nPosition = 0;
    DWORD m_nBufferSize = 0;
    DWORD m_nFileSize = 0;
    BYTE* m_lpBuffer = nullptr;
    BOOL m_bAutoDelete = TRUE;
};
