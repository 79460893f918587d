/// \file
/// CArchive: the framework's serialization stream over a CFile. Integers travel
/// little-endian; counts, strings and object/class tags have the framework's
/// byte format, so archives written by older clients read back unchanged.
#pragma once

#include <algorithm>
#include <bit>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "vorlan/framework/exception.h"
#include "vorlan/framework/file.h"
#include "vorlan/framework/object.h"

class CArchive {
public:
    enum Mode { store = 0, load = 1, bNoFlushOnDelete = 2 };

    CArchive(CFile* file, UINT mode, int bufferSize = 4096, void* buffer = nullptr);
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;
    ~CArchive();

    BOOL IsLoading() const { return (m_nMode & load) != 0; }
    BOOL IsStoring() const { return (m_nMode & load) == 0; }
    CFile* GetFile() const { return m_pFile; }

    /// Reads up to count octets; fewer only at the end of the file.
    UINT Read(void* buffer, UINT count);
    void Write(const void* buffer, UINT count);
    void Flush();
    void Close();
    void Abort();
    /// Makes at least `bytes` octets available in the buffer, or throws end of file.
    void FillBuffer(UINT bytes);

    /// Counts: 16 bits, or 0xFFFF followed by 32 bits.
    DWORD ReadCount();
    void WriteCount(DWORD count);

    CObject* ReadObject(const CRuntimeClass* requested);
    void WriteObject(const CObject* object);
    const CRuntimeClass* ReadClass(const CRuntimeClass* requested = nullptr, UINT* schema = nullptr,
                                   DWORD* objectTag = nullptr);
    void WriteClass(const CRuntimeClass* cls);
    /// The schema of the object being loaded (versionable classes); -1 once read.
    UINT GetObjectSchema();
    void SetObjectSchema(UINT schema) { m_nObjectSchema = schema; }

    CArchive& operator<<(BYTE value) { return WriteRaw(value); }
    CArchive& operator<<(WORD value) { return WriteRaw(value); }
    CArchive& operator<<(DWORD value) { return WriteRaw(value); }
    CArchive& operator<<(LONG value) { return WriteRaw(value); }
    CArchive& operator<<(std::int16_t value) { return WriteRaw(value); }
    CArchive& operator<<(char value) { return WriteRaw(value); }
    CArchive& operator<<(signed char value) { return WriteRaw(value); }
    CArchive& operator<<(float value) { return WriteRaw(value); }
    CArchive& operator<<(double value) { return WriteRaw(value); }
    /// long is 32 bits in the archive format but 64 here: say which width is meant.
    CArchive& operator<<(long) = delete;
    CArchive& operator<<(unsigned long) = delete;

    CArchive& operator>>(BYTE& value) { return ReadRaw(value); }
    CArchive& operator>>(WORD& value) { return ReadRaw(value); }
    CArchive& operator>>(DWORD& value) { return ReadRaw(value); }
    CArchive& operator>>(LONG& value) { return ReadRaw(value); }
    CArchive& operator>>(std::int16_t& value) { return ReadRaw(value); }
    CArchive& operator>>(char& value) { return ReadRaw(value); }
    CArchive& operator>>(signed char& value) { return ReadRaw(value); }
    CArchive& operator>>(float& value) { return ReadRaw(value); }
    CArchive& operator>>(double& value) { return ReadRaw(value); }
    CArchive& operator>>(long&) = delete;
    CArchive& operator>>(unsigned long&) = delete;

private:
    template <class T>
    CArchive& WriteRaw(T value);
    template <class T>
    CArchive& ReadRaw(T& value);
    void WriteTag(DWORD index, DWORD bigFlag, WORD smallFlag);

    CFile* m_pFile;
    UINT m_nMode;
    std::vector<BYTE> m_buffer;
    UINT m_nCur = 0;  ///< next octet in the buffer
    UINT m_nMax = 0;  ///< loading: octets held; storing: unused
    UINT m_nObjectSchema = static_cast<UINT>(-1);

    /// Object and class tags share one index space starting at 1 (0 is the null object).
    std::unordered_map<const void*, DWORD> m_storeMap;
    struct LoadEntry {
        CObject* object = nullptr;
        const CRuntimeClass* cls = nullptr;
        UINT schema = 0;
    };
    std::vector<LoadEntry> m_loadArray;
    DWORD m_nMapCount = 1;
};

template <class T>
CArchive& CArchive::WriteRaw(T value) {
    if (IsLoading()) AfxThrowArchiveException(CArchiveException::readOnly);
    BYTE octets[sizeof(T)];
    std::memcpy(octets, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) std::reverse(octets, octets + sizeof(T));
    Write(octets, sizeof(T));
    return *this;
}

template <class T>
CArchive& CArchive::ReadRaw(T& value) {
    if (IsStoring()) AfxThrowArchiveException(CArchiveException::writeOnly);
    FillBuffer(sizeof(T));
    BYTE octets[sizeof(T)];
    std::memcpy(octets, m_buffer.data() + m_nCur, sizeof(T));
    m_nCur += sizeof(T);
    if constexpr (std::endian::native == std::endian::big) std::reverse(octets, octets + sizeof(T));
    std::memcpy(&value, octets, sizeof(T));
    return *this;
}

/// Object pointers: the object's class (once per archive) and its Serialize form.
CArchive& operator<<(CArchive& ar, const CObject* object);
CArchive& operator>>(CArchive& ar, CObject*& object);
