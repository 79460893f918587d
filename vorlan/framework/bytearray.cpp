#include "vorlan/framework/bytearray.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "vorlan/framework/archive.h"
#include "vorlan/framework/securewipe.h"

IMPLEMENT_SERIAL(CByteArray, CObject, 0)

void CByteArray::Release(BYTE* data, int capacity) {
    if (!data) return;
    SecureWipe(data, static_cast<size_t>(capacity));
    delete[] data;
}

CByteArray::CByteArray(const CByteArray& other) : CObject() { Copy(other); }

CByteArray& CByteArray::operator=(const CByteArray& other) {
    Copy(other);
    return *this;
}

CByteArray::CByteArray(CByteArray&& other) noexcept
    : CObject(),
      m_pData(std::exchange(other.m_pData, nullptr)),
      m_nSize(std::exchange(other.m_nSize, 0)),
      m_nMaxSize(std::exchange(other.m_nMaxSize, 0)),
      m_nGrowBy(other.m_nGrowBy) {}

CByteArray& CByteArray::operator=(CByteArray&& other) noexcept {
    if (this != &other) {
        Release(m_pData, m_nMaxSize);
        m_pData = std::exchange(other.m_pData, nullptr);
        m_nSize = std::exchange(other.m_nSize, 0);
        m_nMaxSize = std::exchange(other.m_nMaxSize, 0);
        m_nGrowBy = other.m_nGrowBy;
    }
    return *this;
}

void CByteArray::SetSize(int newSize, int growBy) {
    if (newSize < 0) AfxThrowMemoryException();
    if (growBy >= 0) m_nGrowBy = growBy;
    if (newSize == 0) {
        Release(m_pData, m_nMaxSize);
        m_pData = nullptr;
        m_nSize = m_nMaxSize = 0;
        return;
    }
    if (newSize > m_nMaxSize) {
        int grow = m_nGrowBy;
        if (grow == 0) grow = std::clamp(m_nSize / 8, 4, 1024);
        const int newMax = std::max(newSize, m_nMaxSize + grow);
        auto* fresh = new BYTE[static_cast<size_t>(newMax)];
        if (m_nSize > 0) std::memcpy(fresh, m_pData, static_cast<size_t>(m_nSize));
        Release(m_pData, m_nMaxSize);
        m_pData = fresh;
        m_nMaxSize = newMax;
    }
    m_nSize = newSize;
}

void CByteArray::FreeExtra() {
    if (m_nSize == m_nMaxSize) return;
    BYTE* fresh = nullptr;
    if (m_nSize > 0) {
        fresh = new BYTE[static_cast<size_t>(m_nSize)];
        std::memcpy(fresh, m_pData, static_cast<size_t>(m_nSize));
    }
    Release(m_pData, m_nMaxSize);
    m_pData = fresh;
    m_nMaxSize = m_nSize;
}

void CByteArray::SetAtGrow(int index, BYTE value) {
    if (index >= m_nSize) SetSize(index + 1);
    m_pData[index] = value;
}

int CByteArray::Add(BYTE value) {
    const int index = m_nSize;
    SetAtGrow(index, value);
    return index;
}

int CByteArray::Append(const CByteArray& other) {
    const int oldSize = m_nSize;
    const int count = other.m_nSize;  // other may be *this
    SetSize(m_nSize + count);
    if (count > 0) std::memmove(m_pData + oldSize, other.m_pData, static_cast<size_t>(count));
    return oldSize;
}

void CByteArray::Copy(const CByteArray& other) {
    if (this == &other) return;
    SetSize(other.m_nSize);
    if (m_nSize > 0) std::memcpy(m_pData, other.m_pData, static_cast<size_t>(m_nSize));
}

void CByteArray::InsertAt(int index, BYTE value, int count) {
    if (count <= 0 || index < 0) return;
    const int oldSize = m_nSize;
    if (index >= oldSize) {
        SetSize(index + count);
        std::memset(m_pData + oldSize, 0, static_cast<size_t>(index - oldSize));
    } else {
        SetSize(oldSize + count);
        std::memmove(m_pData + index + count, m_pData + index, static_cast<size_t>(oldSize - index));
    }
    std::memset(m_pData + index, value, static_cast<size_t>(count));
}

void CByteArray::RemoveAt(int index, int count) {
    if (index < 0 || count <= 0 || index + count > m_nSize) return;
    std::memmove(m_pData + index, m_pData + index + count, static_cast<size_t>(m_nSize - index - count));
    m_nSize -= count;
}

void CByteArray::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD>(m_nSize));
        ar.Write(m_pData, static_cast<UINT>(m_nSize));
        return;
    }
    LoadOctets(ar, ar.ReadCount());
}

void CByteArray::LoadOctets(CArchive& ar, DWORD count) {
    if (count > 0x7FFFFFFF) AfxThrowArchiveException(CArchiveException::generic);
    // Grow as the octets arrive so that a forged count cannot allocate more than the archive holds.
    SetSize(0);
    constexpr DWORD step = 1u << 16;
    for (DWORD done = 0; done < count;) {
        const DWORD chunk = std::min(count - done, std::max(step, done));  // geometric growth
        SetSize(static_cast<int>(done + chunk));
        if (ar.Read(m_pData + done, chunk) != chunk) AfxThrowArchiveException(CArchiveException::endOfFile);
        done += chunk;
    }
}
