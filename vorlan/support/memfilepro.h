/// \file
/// CMemFilePro: a memory file over a caller's buffer whose whole buffer is file data
/// and which may own that buffer (allocated with new[]).
#pragma once

#include "vorlan/framework/memfile.h"

/// A memory file over a caller's buffer whose whole buffer is file data and which may own the
/// buffer (new[]-allocated); with auto-delete it frees it (wiped) when closed or destroyed.
class CMemFilePro : public CMemFile {
    DECLARE_DYNAMIC(CMemFilePro)
public:
    /// An empty file that grows by growBytes; its buffers are its own.
    explicit CMemFilePro(UINT growBytes = 1024);
    /// The file length is `size` even when growBytes is non-zero; with autoDelete the
    /// file frees the buffer (delete[]) when closed or destroyed.
    CMemFilePro(unsigned char* buffer, UINT size, UINT growBytes, BOOL autoDelete);
    ~CMemFilePro() override;

    /// Whether the file frees its buffer when closed or destroyed.
    void SetAutoDelete(BOOL autoDelete) { m_bAutoDelete = autoDelete; }
    /// Only records the name.
    void SetFilePath(const char* path) override { m_strFileName = path; }

protected:
    /// Buffers are new[]-allocated so that adopted caller buffers and grown ones free alike.
    BYTE* Alloc(DWORD bytes) override;
    void Free(BYTE* block) override;
};
