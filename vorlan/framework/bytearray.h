/// \file
/// CByteArray: the growable octet array that carries encodings, keys and digests. Since any of
/// them may be secret, a buffer is wiped whenever it is given back, grown out of or dropped.
#pragma once

#include "vorlan/framework/object.h"

/// A growable array of octets, a value with deep copies; the buffer is wiped before it is freed
/// or replaced. Indices out of range are the caller's error; a negative size is the memory
/// exception, archive data cut short the archive exception.
class CByteArray : public CObject {
    DECLARE_SERIAL(CByteArray)
public:
    CByteArray() = default;
    /// A copy of the octets of `other`.
    CByteArray(const CByteArray& other);
    /// Replaces the octets by a copy of those of `other`.
    CByteArray& operator=(const CByteArray& other);
    /// Takes the buffer of `other`, which is left empty.
    CByteArray(CByteArray&& other) noexcept;
    /// Wipes the own buffer and takes that of `other`, which is left empty.
    CByteArray& operator=(CByteArray&& other) noexcept;
    ~CByteArray() override { Release(m_pData, m_nMaxSize); }

    /// The number of octets.
    int GetSize() const { return m_nSize; }
    /// The last index, -1 when empty.
    int GetUpperBound() const { return m_nSize - 1; }
    /// Existing octets are kept; new octets are not cleared. growBy -1 keeps the grow step.
    void SetSize(int newSize, int growBy = -1);
    /// Shrinks the buffer to the octets held.
    void FreeExtra();
    /// Drops every octet; the buffer is wiped and freed.
    void RemoveAll() { SetSize(0); }

    /// Octet `index`.
    BYTE GetAt(int index) const { return m_pData[index]; }
    /// Replaces octet `index`.
    void SetAt(int index, BYTE value) { m_pData[index] = value; }
    ///@{
    /// Octet `index` in place.
    BYTE& ElementAt(int index) { return m_pData[index]; }
    BYTE operator[](int index) const { return m_pData[index]; }
    BYTE& operator[](int index) { return m_pData[index]; }
    ///@}
    ///@{
    /// The octets, null when empty; valid until the array changes size.
    const BYTE* GetData() const { return m_pData; }
    BYTE* GetData() { return m_pData; }
    ///@}

    /// Replaces octet `index`, growing the array first when it is shorter.
    void SetAtGrow(int index, BYTE value);
    /// Appends an octet; its index.
    int Add(BYTE value);
    /// Appends the octets of `other` (which may be this array); the index of the first.
    int Append(const CByteArray& other);
    /// Replaces the octets by those of `other`.
    void Copy(const CByteArray& other);
    /// Inserts `count` copies of `value` at `index`.
    void InsertAt(int index, BYTE value, int count = 1);
    /// Removes `count` octets from `index`.
    void RemoveAt(int index, int count = 1);

    /// Archive form: the element count (ReadCount/WriteCount form), then the octets.
    void Serialize(CArchive& ar) override;

protected:
    /// Wipes the buffer of `capacity` octets and frees it.
    static void Release(BYTE* data, int capacity);
    /// The loading half of Serialize once the count is read: `count` octets.
    void LoadOctets(CArchive& ar, DWORD count);

    BYTE* m_pData = nullptr;  ///< the buffer, null when empty
    int m_nSize = 0;  ///< octets held
    int m_nMaxSize = 0;  ///< octets the buffer has room for
    int m_nGrowBy = 0;  ///< grow step, 0 for one chosen by size
};
