/// \file
/// CArray<TYPE, ARG_TYPE>: an ordered array whose elements are created, destroyed
/// and archived through the overloadable element functions ConstructElements,
/// DestructElements, CopyElements and SerializeElements, and whose storage comes from the
/// overloadable AllocateElementBlock and FreeElementBlock.
#pragma once

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#include "vorlan/framework/archive.h"
#include "vorlan/framework/object.h"

template <class TYPE>
/// Default-constructs `count` elements in raw storage.
void ConstructElements(TYPE* elements, int count) {
    for (int i = 0; i < count; ++i) ::new (static_cast<void*>(elements + i)) TYPE();
}

template <class TYPE>
/// Destroys `count` elements, leaving raw storage.
void DestructElements(TYPE* elements, int count) {
    for (int i = 0; i < count; ++i) elements[i].~TYPE();
}

/// Storage of `bytes` octets for elements like *tag; freed with the same size.
template <class TYPE>
void* AllocateElementBlock(TYPE* /*tag*/, size_t bytes) {
    return ::operator new(bytes);
}

template <class TYPE>
/// Frees storage that AllocateElementBlock gave.
void FreeElementBlock(TYPE* /*tag*/, void* block, size_t /*bytes*/) noexcept {
    ::operator delete(block);
}

template <class TYPE>
/// Assigns `count` elements of `source` to `dest`.
void CopyElements(TYPE* dest, const TYPE* source, int count) {
    for (int i = 0; i < count; ++i) dest[i] = source[i];
}

/// Default archive form: the octets of plain values as they lie in memory, other values through
/// their archive operators; a value with neither has no archive form.
template <class TYPE>
void SerializeElements(CArchive& ar, TYPE* elements, int count) {
    if constexpr (std::is_trivially_copyable_v<TYPE>) {
        const UINT bytes = static_cast<UINT>(count) * static_cast<UINT>(sizeof(TYPE));
        if (ar.IsStoring())
            ar.Write(elements, bytes);
        else if (ar.Read(elements, bytes) != bytes)
            AfxThrowArchiveException(CArchiveException::endOfFile);
    } else if constexpr (requires(TYPE& value) {
                             ar << value;
                             ar >> value;
                         }) {
        for (int i = 0; i < count; ++i) {
            if (ar.IsStoring())
                ar << elements[i];
            else
                ar >> elements[i];
        }
    } else {
        AfxThrowNotSupportedException();
    }
}

namespace vorlan::detail {

/// Moves count elements from source to dest, ranges possibly overlapping, leaving source raw
/// memory. Plain values move as octets; others are move-constructed and destroyed, since a value
/// such as a string may point into itself.
template <class TYPE>
void RelocateElements(TYPE* dest, TYPE* source, int count) {
    if (count <= 0 || dest == source) return;
    if constexpr (std::is_trivially_copyable_v<TYPE>) {
        std::memmove(static_cast<void*>(dest), static_cast<const void*>(source), sizeof(TYPE) * count);
    } else {
        auto relocate = [&](int i) {
            std::construct_at(dest + i, std::move(source[i]));
            std::destroy_at(source + i);
        };
        if (dest < source)
            for (int i = 0; i < count; ++i) relocate(i);
        else
            for (int i = count - 1; i >= 0; --i) relocate(i);
    }
}

}  // namespace vorlan::detail

template <class TYPE, class ARG_TYPE = const TYPE&>
/// An ordered array of TYPE owning its elements (pointer elements are not deleted unless the
/// element functions for that pointer type say so, as for CASN1Type*); move-only in effect, since
/// copying is explicit (Copy). Indices out of range are the caller's error; a negative size is the
/// memory exception.
class CArray : public CObject {
public:
    CArray() = default;
    CArray(const CArray&) = delete;
    CArray& operator=(const CArray&) = delete;
    ~CArray() override { SetSize(0); }

    /// The number of elements.
    int GetSize() const { return m_nSize; }
    /// The last index, -1 when empty.
    int GetUpperBound() const { return m_nSize - 1; }
    /// Grows with default-constructed elements or shrinks destroying the rest; growBy -1 keeps the
    /// grow step (0: chosen by size). The memory exception for a negative size.
    void SetSize(int newSize, int growBy = -1);
    /// Destroys every element and frees the storage.
    void RemoveAll() { SetSize(0); }
    /// Shrinks the storage to the elements held.
    void FreeExtra();

    /// A copy of element `index`.
    TYPE GetAt(int index) const { return m_pData[index]; }
    /// Replaces element `index`.
    void SetAt(int index, ARG_TYPE element) { m_pData[index] = element; }
    /// Element `index` in place.
    TYPE& ElementAt(int index) { return m_pData[index]; }
    /// Element `index`.
    const TYPE& operator[](int index) const { return m_pData[index]; }
    /// Element `index` in place.
    TYPE& operator[](int index) { return m_pData[index]; }
    /// The elements as one block, null when empty; valid until the array changes size.
    const TYPE* GetData() const { return m_pData; }
    /// The elements as one changeable block, null when empty.
    TYPE* GetData() { return m_pData; }

    /// Replaces element `index`, growing the array first when it is shorter.
    void SetAtGrow(int index, ARG_TYPE element);
    /// Appends a copy of `element`; its index.
    int Add(ARG_TYPE element);
    /// Appends copies of the elements of `source` (which may be this array); the index of the first.
    int Append(const CArray& source);
    /// Appends copies of `count` elements at `source`, which lies outside this array.
    void AppendElements(const TYPE* source, int count);
    /// Replaces the elements by copies of those of `source`.
    void Copy(const CArray& source);
    /// Inserts `count` copies of `element` at `index` (past the end: the array grows to it).
    void InsertAt(int index, ARG_TYPE element, int count = 1);
    /// Destroys `count` elements from `index` and closes the gap; nothing for a range out of bounds.
    void RemoveAt(int index, int count = 1);

    /// Archive form: the element count, then SerializeElements.
    void Serialize(CArchive& ar) override;

protected:
    TYPE* m_pData = nullptr;  ///< the storage, null when empty
    int m_nSize = 0;  ///< elements held
    int m_nMaxSize = 0;  ///< elements the storage has room for
    int m_nGrowBy = 0;  ///< grow step, 0 for one chosen by size

private:
    void Reserve(int capacity);
    void Reallocate(int capacity);
    static size_t blockBytes(int capacity) { return sizeof(TYPE) * static_cast<size_t>(capacity); }
};

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::Reserve(int capacity) {
    if (capacity <= m_nMaxSize) return;
    int grow = m_nGrowBy;
    if (grow == 0) grow = std::min(1024, std::max(4, m_nSize / 8));
    Reallocate(std::max(capacity, m_nMaxSize + grow));
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::Reallocate(int capacity) {
    auto* fresh = static_cast<TYPE*>(AllocateElementBlock(m_pData, blockBytes(capacity)));
    vorlan::detail::RelocateElements(fresh, m_pData, m_nSize);
    if (m_pData) FreeElementBlock(m_pData, m_pData, blockBytes(m_nMaxSize));
    m_pData = fresh;
    m_nMaxSize = capacity;
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::SetSize(int newSize, int growBy) {
    if (newSize < 0) AfxThrowMemoryException();
    if (growBy >= 0) m_nGrowBy = growBy;
    if (newSize == 0) {
        if (m_pData) {
            DestructElements(m_pData, m_nSize);
            FreeElementBlock(m_pData, m_pData, blockBytes(m_nMaxSize));
        }
        m_pData = nullptr;
        m_nSize = m_nMaxSize = 0;
        return;
    }
    if (newSize > m_nSize) {
        Reserve(newSize);
        ConstructElements(m_pData + m_nSize, newSize - m_nSize);
    } else if (newSize < m_nSize) {
        DestructElements(m_pData + newSize, m_nSize - newSize);
    }
    m_nSize = newSize;
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::FreeExtra() {
    if (m_nSize == m_nMaxSize) return;
    if (m_nSize == 0) {
        SetSize(0);
        return;
    }
    Reallocate(m_nSize);
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::SetAtGrow(int index, ARG_TYPE element) {
    if (index >= m_nMaxSize) {
        // Copy first: element may refer into the storage about to be replaced.
        TYPE value = element;
        SetSize(index + 1);
        m_pData[index] = std::move(value);
        return;
    }
    if (index >= m_nSize) SetSize(index + 1);
    m_pData[index] = element;
}

template <class TYPE, class ARG_TYPE>
int CArray<TYPE, ARG_TYPE>::Add(ARG_TYPE element) {
    const int index = m_nSize;
    SetAtGrow(index, element);
    return index;
}

template <class TYPE, class ARG_TYPE>
int CArray<TYPE, ARG_TYPE>::Append(const CArray& source) {
    const int oldSize = m_nSize;
    const int count = source.m_nSize;  // source may be this array
    SetSize(oldSize + count);
    CopyElements(m_pData + oldSize, source.m_pData, count);
    return oldSize;
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::AppendElements(const TYPE* source, int count) {
    if (count <= 0) return;
    if (count > INT_MAX - m_nSize) AfxThrowMemoryException();
    // Copy-constructed in place: no default construction to be overwritten.
    Reserve(m_nSize + count);
    std::uninitialized_copy_n(source, count, m_pData + m_nSize);
    m_nSize += count;
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::Copy(const CArray& source) {
    if (this == &source) return;
    SetSize(source.m_nSize);
    CopyElements(m_pData, source.m_pData, source.m_nSize);
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::InsertAt(int index, ARG_TYPE element, int count) {
    if (index < 0 || count <= 0) return;
    // Copy first: element may refer into this array.
    TYPE value = element;
    if (index >= m_nSize) {
        SetSize(index + count);
    } else {
        const int oldSize = m_nSize;
        Reserve(m_nSize + count);
        vorlan::detail::RelocateElements(m_pData + index + count, m_pData + index, oldSize - index);
        ConstructElements(m_pData + index, count);
        m_nSize = oldSize + count;
    }
    for (int i = 0; i < count; ++i) m_pData[index + i] = value;
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::RemoveAt(int index, int count) {
    if (index < 0 || count <= 0 || index + count > m_nSize) return;
    DestructElements(m_pData + index, count);
    const int tail = m_nSize - (index + count);
    vorlan::detail::RelocateElements(m_pData + index, m_pData + index + count, tail);
    m_nSize -= count;
}

template <class TYPE, class ARG_TYPE>
void CArray<TYPE, ARG_TYPE>::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD>(m_nSize));
    } else {
        const DWORD count = ar.ReadCount();
        // A count is trusted only as far as the elements actually arrive; growing in steps
        // keeps a forged count from allocating far more than the archive holds.
        SetSize(0);
        constexpr DWORD step = 4096;
        for (DWORD done = 0; done < count;) {
            const DWORD chunk = std::min(count - done, std::max(step, done));  // geometric growth
            SetSize(static_cast<int>(done + chunk));
            SerializeElements(ar, m_pData + done, static_cast<int>(chunk));
            done += chunk;
        }
        return;
    }
    SerializeElements(ar, m_pData, m_nSize);
}
