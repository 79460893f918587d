#include "vorlan/support/memfilepro.h"

IMPLEMENT_DYNAMIC(CMemFilePro, CMemFile)

CMemFilePro::CMemFilePro(UINT growBytes) : CMemFile(growBytes) {}

CMemFilePro::CMemFilePro(unsigned char* buffer, UINT size, UINT growBytes, BOOL autoDelete) : CMemFile(growBytes) {
    Attach(buffer, size, growBytes);
    // The whole buffer is file data, whatever the grow step.
    m_nFileSize = size;
    m_bAutoDelete = autoDelete;
}

CMemFilePro::~CMemFilePro() {
    // Free through our own hook while this object is still a CMemFilePro.
    if (m_lpBuffer) Close();
}

BYTE* CMemFilePro::Alloc(DWORD bytes) { return new BYTE[bytes]; }

void CMemFilePro::Free(BYTE* block) { delete[] block; }
