/// \file
/// Exceptions are thrown by pointer. A caught pointer is released with Delete(),
/// which frees it only when the exception was created with auto-delete on;
/// shared instances (auto-delete off) survive every throw.
#pragma once

#include "vorlan/framework/object.h"
#include "vorlan/framework/string.h"

/// The base of every exception of the library and its framework, thrown and caught by pointer
/// (`catch (CException* e)`); the catcher releases it with Delete().
class CException : public CObject {
    DECLARE_DYNAMIC(CException)
public:
    /// bAutoDelete: Delete() frees the object (off for the shared instances).
    explicit CException(BOOL bAutoDelete = TRUE) : m_bAutoDelete(bAutoDelete) {}

    /// Frees the exception when it was made with auto-delete on; does nothing for a shared instance.
    void Delete();
    /// A one-line description of the failure; FALSE when there is none.
    virtual BOOL GetErrorMessage(char* buffer, UINT maxLength, UINT* helpContext = nullptr) const;

    BOOL m_bAutoDelete;  ///< whether Delete() frees the exception
};

/// Memory could not be allocated (AfxThrowMemoryException).
class CMemoryException : public CException {
    DECLARE_DYNAMIC(CMemoryException)
public:
    CMemoryException() = default;
    BOOL GetErrorMessage(char* buffer, UINT maxLength, UINT* helpContext = nullptr) const override;
};

/// An operation the object does not support (AfxThrowNotSupportedException).
class CNotSupportedException : public CException {
    DECLARE_DYNAMIC(CNotSupportedException)
public:
    CNotSupportedException() = default;
    BOOL GetErrorMessage(char* buffer, UINT maxLength, UINT* helpContext = nullptr) const override;
};

/// An archive failed: its cause (generic for malformed or refused archive data, endOfFile for an
/// archive cut short ...) and the file name when known.
class CArchiveException : public CException {
    DECLARE_DYNAMIC(CArchiveException)
public:
    enum {
        none = 0,
        generic = 1,
        readOnly = 2,
        endOfFile = 3,
        writeOnly = 4,
        badIndex = 5,
        badClass = 6,
        badSchema = 7,
    };
    /// An exception of the cause given, one of the enumeration above.
    explicit CArchiveException(int cause = none, const char* fileName = nullptr)
        : m_cause(cause), m_strFileName(fileName ? fileName : "") {}
    BOOL GetErrorMessage(char* buffer, UINT maxLength, UINT* helpContext = nullptr) const override;

    int m_cause;  ///< none, generic, readOnly, endOfFile, writeOnly, badIndex, badClass or badSchema
    CString m_strFileName;  ///< the archive's file name, empty when unknown
};

/// A file operation failed: its cause, the operating system's error number and the file name.
class CFileException : public CException {
    DECLARE_DYNAMIC(CFileException)
public:
    enum {
        none = 0,
        generic = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };
    /// An exception of the cause given, with errno (-1 when none) and the file name.
    explicit CFileException(int cause = none, LONG osError = -1, const char* fileName = nullptr)
        : m_cause(cause), m_lOsError(osError), m_strFileName(fileName ? fileName : "") {}
    BOOL GetErrorMessage(char* buffer, UINT maxLength, UINT* helpContext = nullptr) const override;

    /// The cause code for a POSIX errno value.
    static int OsErrorToException(LONG osError);
    /// Throws a CFileException* for a non-zero errno value; does nothing for 0.
    static void ThrowOsError(LONG osError, const char* fileName = nullptr);

    int m_cause;  ///< one of the causes above
    LONG m_lOsError;  ///< the errno value, -1 when none
    CString m_strFileName;  ///< the file's name, empty when unknown
};

/// Throws a new CMemoryException* (auto-delete on; the catcher calls Delete()).
[[noreturn]] void AfxThrowMemoryException();
/// Throws a new CNotSupportedException*.
[[noreturn]] void AfxThrowNotSupportedException();
/// Throws a new CArchiveException* with the cause and file name given.
[[noreturn]] void AfxThrowArchiveException(int cause, const char* fileName = nullptr);
/// Throws a new CFileException* with the cause, errno value and file name given.
[[noreturn]] void AfxThrowFileException(int cause, LONG osError = -1, const char* fileName = nullptr);
