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

/// The framework's serialization stream over a CFile, buffered, storing or loading. It does not
/// own the file. Failures are CArchiveException* (endOfFile when loading past the end,
/// readOnly/writeOnly for the wrong direction, badIndex/badClass/badSchema for object tags) and
/// the file's own exceptions; objects it creates while loading belong to the caller.
class CArchive {
public:
    /// The direction, and bNoFlushOnDelete to drop what is buffered when the archive is destroyed.
    enum Mode { store = 0, load = 1, bNoFlushOnDelete = 2 };

    /// An archive over `file` (which must outlive it) with a buffer of bufferSize octets (at least
    /// a minimum); `buffer` is not used.
    CArchive(CFile* file, UINT mode, int bufferSize = 4096, void* buffer = nullptr);
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;
    ~CArchive();

    /// TRUE when the archive reads.
    BOOL IsLoading() const { return (m_nMode & load) != 0; }
    /// TRUE when the archive writes.
    BOOL IsStoring() const { return (m_nMode & load) == 0; }
    /// The file, null after Close() or Abort().
    CFile* GetFile() const { return m_pFile; }

    /// Reads up to count octets; fewer only at the end of the file.
    UINT Read(void* buffer, UINT count);
    /// Writes `count` octets through the buffer.
    void Write(const void* buffer, UINT count);
    /// Storing: writes the buffer to the file. Loading: gives unread buffered octets back to the
    /// file, so its position is the archive's.
    void Flush();
    /// Flushes and detaches from the file.
    void Close();
    /// Detaches from the file, dropping what is buffered.
    void Abort();
    /// Makes at least `bytes` octets available in the buffer, or throws end of file.
    void FillBuffer(UINT bytes);

    /// Counts: 16 bits, or 0xFFFF followed by 32 bits.
    DWORD ReadCount();
    /// Writes a count in the form ReadCount reads.
    void WriteCount(DWORD count);

    /// Loads an object stored by WriteObject: a new object of its class (owned by the caller), the
    /// same pointer again for an object already read in this archive, or null; badClass when it is
    /// not of `requested` (when given).
    CObject* ReadObject(const CRuntimeClass* requested);
    /// Stores an object with its class (once per archive) or a reference to one stored before.
    void WriteObject(const CObject* object);
    /// Reads a class tag or header; the class (null for an object reference, whose tag goes to
    /// `objectTag`), its schema into `schema`; badClass or badSchema when not as requested.
    const CRuntimeClass* ReadClass(const CRuntimeClass* requested = nullptr, UINT* schema = nullptr,
                                   DWORD* objectTag = nullptr);
    /// Writes a class header, or a tag for a class written before.
    void WriteClass(const CRuntimeClass* cls);
    /// The schema of the object being loaded (versionable classes); -1 once read.
    UINT GetObjectSchema();
    /// Sets the schema GetObjectSchema gives.
    void SetObjectSchema(UINT schema) { m_nObjectSchema = schema; }

    ///@{
    /// Stores a value little-endian; readOnly when loading.
    CArchive& operator<<(BYTE value) { return WriteRaw(value); }
    CArchive& operator<<(WORD value) { return WriteRaw(value); }
    CArchive& operator<<(DWORD value) { return WriteRaw(value); }
    CArchive& operator<<(LONG value) { return WriteRaw(value); }
    CArchive& operator<<(std::int16_t value) { return WriteRaw(value); }
    CArchive& operator<<(char value) { return WriteRaw(value); }
    CArchive& operator<<(signed char value) { return WriteRaw(value); }
    CArchive& operator<<(float value) { return WriteRaw(value); }
    CArchive& operator<<(double value) { return WriteRaw(value); }
    ///@}
    /// long is 32 bits in the archive format but 64 here: say which width is meant.
    CArchive& operator<<(long) = delete;
    CArchive& operator<<(unsigned long) = delete;

    ///@{
    /// Loads a value little-endian; writeOnly when storing, endOfFile past the end.
    CArchive& operator>>(BYTE& value) { return ReadRaw(value); }
    CArchive& operator>>(WORD& value) { return ReadRaw(value); }
    CArchive& operator>>(DWORD& value) { return ReadRaw(value); }
    CArchive& operator>>(LONG& value) { return ReadRaw(value); }
    CArchive& operator>>(std::int16_t& value) { return ReadRaw(value); }
    CArchive& operator>>(char& value) { return ReadRaw(value); }
    CArchive& operator>>(signed char& value) { return ReadRaw(value); }
    CArchive& operator>>(float& value) { return ReadRaw(value); }
    CArchive& operator>>(double& value) { return ReadRaw(value); }
    ///@}
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
/// Loads an object pointer stored by operator<<, as ReadObject(nullptr); the caller owns it.
CArchive& operator>>(CArchive& ar, CObject*& object);
