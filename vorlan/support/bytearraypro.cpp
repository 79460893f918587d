#include "vorlan/support/bytearraypro.h"

unsigned char* CByteArrayPro::Detach() {
    unsigned char* buffer = m_pData;
    m_pData = nullptr;
    m_nSize = m_nMaxSize = m_nGrowBy = 0;
    return buffer;
}
