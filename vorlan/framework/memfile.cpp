#include "vorlan/framework/memfile.h"

#include <cstdlib>
#include <cstring>

#include "vorlan/framework/securewipe.h"

IMPLEMENT_DYNAMIC(CMemFile, CFile)

CMemFile::CMemFile(UINT growBytes) : m_nGrowBytes(growBytes) {}

CMemFile::CMemFile(BYTE* buffer, UINT size, UINT growBytes) : m_nGrowBytes(growBytes) {
    Attach(buffer, size, growBytes);
}

CMemFile::~CMemFile() {
    if (m_lpBuffer) Close();
}

void CMemFile::Attach(BYTE* buffer, UINT size, UINT growBytes) {
    m_nGrowBytes = growBytes;
    m_nPosition = 0;
    m_nBufferSize = size;
    m_nFileSize = growBytes == 0 ? size : 0;
    m_lpBuffer = buffer;
    m_bAutoDelete = FALSE;
}

BYTE* CMemFile::Detach() {
    BYTE* buffer = m_lpBuffer;
    m_lpBuffer = nullptr;
    m_nFileSize = m_nBufferSize = m_nPosition = 0;
    return buffer;
}

UINT CMemFile::Read(void* buffer, UINT count) {
    if (m_nPosition >= m_nFileSize || count == 0) return 0;
    const UINT available = m_nFileSize - m_nPosition;
    const UINT n = count < available ? count : available;
    std::memcpy(buffer, m_lpBuffer + m_nPosition, n);
    m_nPosition += n;
    return n;
}

void CMemFile::Write(const void* buffer, UINT count) {
    if (count == 0) return;
    const DWORD end = m_nPosition + count;
    if (end < m_nPosition) AfxThrowFileException(CFileException::diskFull);
    if (end > m_nBufferSize) GrowFile(end);
    // Octets between the old end and a position sought beyond it read as zeros.
    if (m_nPosition > m_nFileSize) std::memset(m_lpBuffer + m_nFileSize, 0, m_nPosition - m_nFileSize);
    std::memcpy(m_lpBuffer + m_nPosition, buffer, count);
    m_nPosition = end;
    if (end > m_nFileSize) m_nFileSize = end;
}

LONG CMemFile::Seek(LONG offset, UINT from) {
    std::int64_t position = offset;
    if (from == current)
        position += m_nPosition;
    else if (from == end)
        position += m_nFileSize;
    if (position < 0 || position > 0x7FFFFFFF) AfxThrowFileException(CFileException::badSeek);
    m_nPosition = static_cast<DWORD>(position);
    return static_cast<LONG>(position);
}

void CMemFile::SetLength(DWORD newLength) {
    if (newLength > m_nBufferSize) GrowFile(newLength);
    if (newLength > m_nFileSize) std::memset(m_lpBuffer + m_nFileSize, 0, newLength - m_nFileSize);
    if (newLength < m_nPosition) m_nPosition = newLength;
    m_nFileSize = newLength;
}

void CMemFile::Close() {
    FreeOwnBuffer();
    m_lpBuffer = nullptr;
    m_nFileSize = m_nBufferSize = m_nPosition = 0;
}

CFile* CMemFile::Duplicate() const { AfxThrowNotSupportedException(); }

BOOL CMemFile::GetStatus(CFileStatus& status) const {
    status = CFileStatus{};
    status.m_size = static_cast<LONG>(m_nFileSize);
    return TRUE;
}

BYTE* CMemFile::Alloc(DWORD bytes) { return static_cast<BYTE*>(std::malloc(bytes)); }

void CMemFile::Free(BYTE* block) { std::free(block); }

void CMemFile::FreeOwnBuffer() {
    if (!m_lpBuffer || !m_bAutoDelete) return;
    SecureWipe(m_lpBuffer, m_nBufferSize);
    Free(m_lpBuffer);
}

void CMemFile::GrowFile(DWORD newLength) {
    if (newLength <= m_nBufferSize) return;
    // A file over a fixed caller buffer cannot grow.
    if (m_nGrowBytes == 0) AfxThrowMemoryException();
    std::uint64_t size = m_nBufferSize;
    while (size < newLength) size += m_nGrowBytes + size / 2;  // geometric: large encodings stay linear
    if (size > 0xFFFFFFFFu) size = 0xFFFFFFFFu;
    // The octets move into a block of our own.
    BYTE* fresh = Alloc(static_cast<DWORD>(size));
    if (!fresh) AfxThrowMemoryException();
    if (m_nFileSize) std::memcpy(fresh, m_lpBuffer, m_nFileSize);
    FreeOwnBuffer();
    m_bAutoDelete = TRUE;
    m_lpBuffer = fresh;
    m_nBufferSize = static_cast<DWORD>(size);
}
