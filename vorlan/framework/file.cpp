#include "vorlan/framework/file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

IMPLEMENT_DYNAMIC(CFile, CObject)

namespace {

int PosixFlags(UINT openFlags) {
    int flags = O_CLOEXEC;
    switch (openFlags & 3) {
        case CFile::modeRead: flags |= O_RDONLY; break;
        case CFile::modeWrite: flags |= O_WRONLY; break;
        default: flags |= O_RDWR; break;
    }
    if (openFlags & CFile::modeCreate) {
        flags |= O_CREAT;
        if (!(openFlags & CFile::modeNoTruncate)) flags |= O_TRUNC;
    }
    return flags;
}

void FillStatus(const struct stat& info, const CString& path, CFileStatus& status) {
    status.m_ctime = info.st_ctime;
    status.m_mtime = info.st_mtime;
    status.m_atime = info.st_atime;
    status.m_size = static_cast<LONG>(info.st_size);
    status.m_attribute = S_ISDIR(info.st_mode) ? 0x10 : 0;
    std::snprintf(status.m_szFullName, sizeof status.m_szFullName, "%s", static_cast<const char*>(path));
}

}  // namespace

CFile::CFile(const char* fileName, UINT openFlags) {
    CFileException error;
    if (!Open(fileName, openFlags, &error)) AfxThrowFileException(error.m_cause, error.m_lOsError, fileName);
}

CFile::~CFile() {
    if (m_hFile != hFileNull && m_bCloseOnDelete) ::close(m_hFile);
}

BOOL CFile::Open(const char* fileName, UINT openFlags, CFileException* error) {
    m_strFileName = fileName;
    const int fd = ::open(fileName, PosixFlags(openFlags), 0666);
    if (fd < 0) {
        if (error) {
            error->m_lOsError = errno;
            error->m_cause = CFileException::OsErrorToException(errno);
            error->m_strFileName = fileName;
        }
        return FALSE;
    }
    m_hFile = fd;
    m_bCloseOnDelete = TRUE;
    return TRUE;
}

UINT CFile::Read(void* buffer, UINT count) {
    auto* out = static_cast<char*>(buffer);
    UINT done = 0;
    while (done < count) {
        const ssize_t got = ::read(m_hFile, out + done, count - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            CFileException::ThrowOsError(errno, m_strFileName);
        }
        if (got == 0) break;
        done += static_cast<UINT>(got);
    }
    return done;
}

void CFile::Write(const void* buffer, UINT count) {
    const auto* in = static_cast<const char*>(buffer);
    UINT done = 0;
    while (done < count) {
        const ssize_t put = ::write(m_hFile, in + done, count - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            CFileException::ThrowOsError(errno, m_strFileName);
        }
        done += static_cast<UINT>(put);
    }
}

LONG CFile::Seek(LONG offset, UINT from) {
    const int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
    const off_t position = ::lseek(m_hFile, offset, whence);
    if (position < 0) AfxThrowFileException(CFileException::badSeek, errno, m_strFileName);
    return static_cast<LONG>(position);
}

DWORD CFile::GetLength() const {
    struct stat info {};
    if (::fstat(m_hFile, &info) != 0) CFileException::ThrowOsError(errno, m_strFileName);
    return static_cast<DWORD>(info.st_size);
}

void CFile::SetLength(DWORD newLength) {
    if (::ftruncate(m_hFile, static_cast<off_t>(newLength)) != 0) CFileException::ThrowOsError(errno, m_strFileName);
}

DWORD CFile::GetPosition() const {
    const off_t position = ::lseek(m_hFile, 0, SEEK_CUR);
    if (position < 0) AfxThrowFileException(CFileException::badSeek, errno, m_strFileName);
    return static_cast<DWORD>(position);
}

void CFile::Flush() {
    if (m_hFile != hFileNull && ::fsync(m_hFile) != 0 && errno != EINVAL && errno != EROFS)
        CFileException::ThrowOsError(errno, m_strFileName);
}

namespace {

void SetRangeLock(int fd, short type, DWORD pos, DWORD count, const CString& fileName) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(pos);
    lock.l_len = static_cast<off_t>(count);
    if (::fcntl(fd, F_SETLK, &lock) == 0) return;
    const int error = errno;
    if (error == EACCES || error == EAGAIN) AfxThrowFileException(CFileException::lockViolation, error, fileName);
    CFileException::ThrowOsError(error, fileName);
}

}  // namespace

void CFile::LockRange(DWORD pos, DWORD count) { SetRangeLock(m_hFile, F_WRLCK, pos, count, m_strFileName); }

void CFile::UnlockRange(DWORD pos, DWORD count) { SetRangeLock(m_hFile, F_UNLCK, pos, count, m_strFileName); }

void CFile::Close() {
    const int fd = m_hFile;
    m_hFile = hFileNull;
    m_bCloseOnDelete = FALSE;
    if (fd != hFileNull && ::close(fd) != 0) CFileException::ThrowOsError(errno, m_strFileName);
}

void CFile::Abort() {
    if (m_hFile != hFileNull) ::close(m_hFile);
    m_hFile = hFileNull;
    m_bCloseOnDelete = FALSE;
}

CFile* CFile::Duplicate() const {
    const int fd = ::fcntl(m_hFile, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) CFileException::ThrowOsError(errno, m_strFileName);
    auto* copy = new CFile(fd);
    copy->m_bCloseOnDelete = TRUE;
    copy->m_strFileName = m_strFileName;
    return copy;
}

BOOL CFile::GetStatus(CFileStatus& status) const {
    struct stat info {};
    if (::fstat(m_hFile, &info) != 0) return FALSE;
    FillStatus(info, m_strFileName, status);
    return TRUE;
}

CString CFile::GetFileName() const {
    const int slash = m_strFileName.ReverseFind('/');
    return slash < 0 ? m_strFileName : m_strFileName.Mid(slash + 1);
}

CString CFile::GetFileTitle() const {
    const CString name = GetFileName();
    const int dot = name.ReverseFind('.');
    return dot <= 0 ? name : name.Left(dot);
}

void CFile::Remove(const char* fileName) {
    if (::unlink(fileName) != 0) CFileException::ThrowOsError(errno, fileName);
}

void CFile::Rename(const char* oldName, const char* newName) {
    if (::rename(oldName, newName) != 0) CFileException::ThrowOsError(errno, oldName);
}

BOOL CFile::GetStatus(const char* fileName, CFileStatus& status) {
    struct stat info {};
    if (::stat(fileName, &info) != 0) return FALSE;
    FillStatus(info, fileName, status);
    return TRUE;
}
