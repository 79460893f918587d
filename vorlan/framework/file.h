/// \file
/// CFile: a byte stream over a POSIX file descriptor; the base of memory files,
/// encrypted files and every stream the library reads or writes.
#pragma once

#include <ctime>

#include "vorlan/framework/exception.h"
#include "vorlan/framework/object.h"
#include "vorlan/framework/string.h"

struct CFileStatus {
    std::time_t m_ctime = 0;
    std::time_t m_mtime = 0;
    std::time_t m_atime = 0;
    LONG m_size = 0;
    BYTE m_attribute = 0;
    char m_szFullName[4096] = {};
};

class CFile : public CObject {
    DECLARE_DYNAMIC(CFile)
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };
    enum BufferCommand : UINT { bufferRead = 0, bufferWrite = 1, bufferCommit = 2, bufferCheck = 3 };
    static constexpr int hFileNull = -1;

    CFile() = default;
    explicit CFile(int hFile) : m_hFile(hFile) {}
    /// Opens or throws CFileException.
    CFile(const char* fileName, UINT openFlags);
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    ~CFile() override;

    /// FALSE on failure, with the cause in *error when given.
    virtual BOOL Open(const char* fileName, UINT openFlags, CFileException* error = nullptr);

    virtual UINT Read(void* buffer, UINT count);
    virtual void Write(const void* buffer, UINT count);
    virtual LONG Seek(LONG offset, UINT from);
    virtual DWORD GetLength() const;
    virtual void SetLength(DWORD newLength);
    virtual DWORD GetPosition() const;
    virtual void Flush();
    /// An exclusive lock on count octets from pos, against other processes; lockViolation when held.
    virtual void LockRange(DWORD pos, DWORD count);
    virtual void UnlockRange(DWORD pos, DWORD count);
    virtual void Close();
    virtual void Abort();
    /// A new CFile on the same open file (its own descriptor, shared position).
    virtual CFile* Duplicate() const;
    /// Direct access to a buffer behind the file: none, so 0 for every command (bufferCheck
    /// included) and nothing handed out.
    virtual UINT GetBufferPtr(UINT /*command*/, UINT /*count*/ = 0, void** /*bufferStart*/ = nullptr,
                              void** /*bufferMax*/ = nullptr) {
        return 0;
    }
    virtual BOOL GetStatus(CFileStatus& status) const;
    virtual CString GetFileName() const;
    /// The file name without its extension.
    virtual CString GetFileTitle() const;
    virtual CString GetFilePath() const { return m_strFileName; }
    virtual void SetFilePath(const char* path) { m_strFileName = path; }

    void SeekToBegin() { Seek(0, begin); }
    DWORD SeekToEnd() { return static_cast<DWORD>(Seek(0, end)); }

    static void Remove(const char* fileName);
    static void Rename(const char* oldName, const char* newName);
    static BOOL GetStatus(const char* fileName, CFileStatus& status);

    int m_hFile = hFileNull;

protected:
    BOOL m_bCloseOnDelete = FALSE;
    CString m_strFileName;
};
