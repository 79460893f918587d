#include "vorlan/framework/exception.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CMemoryException, CException)
IMPLEMENT_DYNAMIC(CNotSupportedException, CException)
IMPLEMENT_DYNAMIC(CArchiveException, CException)
IMPLEMENT_DYNAMIC(CFileException, CException)

namespace {

BOOL CopyMessage(char* buffer, UINT maxLength, const char* text) {
    if (!buffer || maxLength == 0) return FALSE;
    std::snprintf(buffer, maxLength, "%s", text);
    return TRUE;
}

constexpr const char* kArchiveCauses[] = {
    "no error",          "archive error",         "archive is read-only", "unexpected end of archive",
    "archive is write-only", "invalid object index", "unexpected class in archive", "unexpected schema in archive",
};

constexpr const char* kFileCauses[] = {
    "no error",          "file error",        "file not found",       "bad path",
    "too many open files", "access denied",   "invalid file",         "cannot remove current directory",
    "directory full",    "bad seek",          "hardware I/O error",   "sharing violation",
    "lock violation",    "disk full",         "unexpected end of file",
};

template <size_t N>
const char* CauseText(const char* const (&texts)[N], int cause) {
    return cause >= 0 && static_cast<size_t>(cause) < N ? texts[cause] : "unknown error";
}

}  // namespace

void CException::Delete() {
    if (m_bAutoDelete) delete this;
}

BOOL CException::GetErrorMessage(char* buffer, UINT maxLength, UINT*) const {
    if (buffer && maxLength) *buffer = '\0';
    return FALSE;
}

BOOL CMemoryException::GetErrorMessage(char* buffer, UINT maxLength, UINT*) const {
    return CopyMessage(buffer, maxLength, "out of memory");
}

BOOL CNotSupportedException::GetErrorMessage(char* buffer, UINT maxLength, UINT*) const {
    return CopyMessage(buffer, maxLength, "operation not supported");
}

BOOL CArchiveException::GetErrorMessage(char* buffer, UINT maxLength, UINT*) const {
    CString text = CauseText(kArchiveCauses, m_cause);
    if (!m_strFileName.IsEmpty()) text += CString(": ") + m_strFileName;
    return CopyMessage(buffer, maxLength, text);
}

BOOL CFileException::GetErrorMessage(char* buffer, UINT maxLength, UINT*) const {
    CString text = CauseText(kFileCauses, m_cause);
    if (!m_strFileName.IsEmpty()) text += CString(": ") + m_strFileName;
    if (m_lOsError > 0) text += CString(" (") + std::strerror(m_lOsError) + ")";
    return CopyMessage(buffer, maxLength, text);
}

int CFileException::OsErrorToException(LONG osError) {
    switch (osError) {
        case 0: return none;
        case ENOENT: return fileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP: return badPath;
        case EMFILE:
        case ENFILE: return tooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case EEXIST: return accessDenied;
        case EBADF: return invalidFile;
        case EBUSY: return sharingViolation;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return diskFull;
        case ESPIPE:
        case EINVAL: return badSeek;
        case EIO: return hardIO;
        default: return generic;
    }
}

void CFileException::ThrowOsError(LONG osError, const char* fileName) {
    if (osError != 0) AfxThrowFileException(OsErrorToException(osError), osError, fileName);
}

void AfxThrowMemoryException() { throw new CMemoryException; }

void AfxThrowNotSupportedException() { throw new CNotSupportedException; }

void AfxThrowArchiveException(int cause, const char* fileName) { throw new CArchiveException(cause, fileName); }

void AfxThrowFileException(int cause, LONG osError, const char* fileName) {
    throw new CFileException(cause, osError, fileName);
}
