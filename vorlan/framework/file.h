/// \file
/// CFile: a byte stream over a POSIX file descriptor; the base of memory files,
/// encrypted files and every stream the library reads or writes.
#pragma once

#include <ctime>

#include "vorlan/framework/exception.h"
#include "vorlan/framework/object.h"
#include "vorlan/framework/string.h"

/// What GetStatus reports about a file.
struct CFileStatus {
    std::time_t m_ctime = 0;  ///< status change time
    std::time_t m_mtime = 0;  ///< last modification time
    std::time_t m_atime = 0;  ///< last access time
    LONG m_size = 0;  ///< length in octets
    BYTE m_attribute = 0;  ///< 0x10 for a directory, else 0
    char m_szFullName[4096] = {};  ///< the absolute path
};

/// A byte stream over a POSIX file descriptor, the base of memory and encrypted files. Failures
/// are CFileException* with the errno value; a CFile made with a descriptor does not close it.
class CFile : public CObject {
    DECLARE_DYNAMIC(CFile)
public:
    /// The open flags: one access mode, sharing, creation and text/binary (ignored) ORed together.
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
    /// Where Seek counts from.
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };
    /// The commands of GetBufferPtr.
    enum BufferCommand : UINT { bufferRead = 0, bufferWrite = 1, bufferCommit = 2, bufferCheck = 3 };
    static constexpr int hFileNull = -1;  ///< the descriptor of a file not open

    CFile() = default;
    /// A file over an open descriptor, which stays the caller's: Close() closes it, destruction does not.
    explicit CFile(int hFile) : m_hFile(hFile) {}
    /// Opens or throws CFileException.
    CFile(const char* fileName, UINT openFlags);
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    ~CFile() override;

    /// FALSE on failure, with the cause in *error when given.
    virtual BOOL Open(const char* fileName, UINT openFlags, CFileException* error = nullptr);

    /// Reads up to `count` octets; fewer only at the end of the file.
    virtual UINT Read(void* buffer, UINT count);
    /// Writes all `count` octets; diskFull and the like as CFileException*.
    virtual void Write(const void* buffer, UINT count);
    /// Moves the position (from begin, current or end); the new position; badSeek before the start.
    virtual LONG Seek(LONG offset, UINT from);
    /// The length in octets.
    virtual DWORD GetLength() const;
    /// Cuts or extends (with zeros) the file.
    virtual void SetLength(DWORD newLength);
    /// The position in octets from the start.
    virtual DWORD GetPosition() const;
    /// Writes buffered data through.
    virtual void Flush();
    /// An exclusive lock on count octets from pos, against other processes; lockViolation when held.
    virtual void LockRange(DWORD pos, DWORD count);
    /// Releases a lock taken by LockRange.
    virtual void UnlockRange(DWORD pos, DWORD count);
    /// Closes the file; the exception when closing fails (the file is closed anyway).
    virtual void Close();
    /// Closes the file without raising anything.
    virtual void Abort();
    /// A new CFile on the same open file (its own descriptor, shared position).
    virtual CFile* Duplicate() const;
    /// Direct access to a buffer behind the file: none, so 0 for every command (bufferCheck
    /// included) and nothing handed out.
    virtual UINT GetBufferPtr(UINT /*command*/, UINT /*count*/ = 0, void** /*bufferStart*/ = nullptr,
                              void** /*bufferMax*/ = nullptr) {
        return 0;
    }
    /// The open file's times, length and name; FALSE when they cannot be read.
    virtual BOOL GetStatus(CFileStatus& status) const;
    /// The file name without its folder.
    virtual CString GetFileName() const;
    /// The file name without its extension.
    virtual CString GetFileTitle() const;
    /// The path the file was opened with.
    virtual CString GetFilePath() const { return m_strFileName; }
    /// Sets the path that exceptions and GetFilePath report.
    virtual void SetFilePath(const char* path) { m_strFileName = path; }

    /// Seek(0, begin).
    void SeekToBegin() { Seek(0, begin); }
    /// Seek(0, end); the length.
    DWORD SeekToEnd() { return static_cast<DWORD>(Seek(0, end)); }

    /// Deletes a file; CFileException* when it cannot.
    static void Remove(const char* fileName);
    /// Renames a file; CFileException* when it cannot.
    static void Rename(const char* oldName, const char* newName);
    /// The status of the named file; FALSE when it cannot be read.
    static BOOL GetStatus(const char* fileName, CFileStatus& status);

    int m_hFile = hFileNull;  ///< the descriptor, hFileNull when not open

protected:
    BOOL m_bCloseOnDelete = FALSE;  ///< the file was opened here and is closed on destruction
    CString m_strFileName;  ///< the path given when opening
};
