/// \file
/// CByteArray: the growable octet array that carries encodings, keys and digests. Since any of
/// them may be secret, a buffer is wiped whenever it is given back, grown out of or dropped.
#pragma once

#include "vorlan/framework/object.h"

class CByteArray : public CObject {
    DECLARE_SERIAL(CByteArray)
public:
    CByteArray() = default;
    CByteArray(const CByteArray& other);
    CByteArray& operator=(const CByteArray& other);
    CByteArray(CByteArray&& other) noexcept;
    CByteArray& operator=(CByteArray&& other) noexcept;
    ~CByteArray() override { Release(m_pData, m_nMaxSize); }

    int GetSize() const { return m_nSize; }
    int GetUpperBound() const { return m_nSize - 1; }
    /// Existing octets are kept; new octets are not cleared. growBy -1 keeps the grow step.
    void SetSize(int newSize, int growBy = -1);
    void FreeExtra();
    void RemoveAll() { SetSize(0); }

    BYTE GetAt(int index) const { return m_pData[index]; }
    void SetAt(int index, BYTE value) { m_pData[index] = value; }
    BYTE& ElementAt(int index) { return m_pData[index]; }
    BYTE operator[](int index) const { return m_pData[index]; }
    BYTE& operator[](int index) { return m_pData[index]; }
    const BYTE* GetData() const { return m_pData; }
    BYTE* GetData() { return m_pData; }

    void SetAtGrow(int index, BYTE value);
    int Add(BYTE value);
    int Append(const CByteArray& other);
    void Copy(const CByteArray& other);
    void InsertAt(int index, BYTE value, int count = 1);
    void RemoveAt(int index, int count = 1);

    /// Archive form: the element count (ReadCount/WriteCount form), then the octets.
    void Serialize(CArchive& ar) override;

protected:
    /// Wipes the buffer of `capacity` octets and frees it.
    static void Release(BYTE* data, int capacity);
    /// The loading half of Serialize once the count is read: `count` octets.
    void LoadOctets(CArchive& ar, DWORD count);

    BYTE* m_pData = nullptr;
    int m_nSize = 0;
    int m_nMaxSize = 0;
    int m_nGrowBy = 0;
};
