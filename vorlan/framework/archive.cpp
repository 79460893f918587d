#include "vorlan/framework/archive.h"

#include <algorithm>
#include <cstring>

#include "vorlan/framework/securewipe.h"

namespace {

// Object and class tags of the framework's archive format.
constexpr WORD kNullTag = 0;
constexpr WORD kNewClassTag = 0xFFFF;
constexpr WORD kClassTag = 0x8000;
constexpr WORD kBigObjectTag = 0x7FFF;
constexpr DWORD kBigClassTag = 0x80000000u;
// Indices below this fit the 16-bit tag form.
constexpr DWORD kMaxSmallIndex = 0x7FFE;

constexpr int kMinBufferSize = 128;

}  // namespace

CArchive::CArchive(CFile* file, UINT mode, int bufferSize, void*)
    : m_pFile(file), m_nMode(mode), m_buffer(static_cast<size_t>(std::max(bufferSize, kMinBufferSize))) {
    m_loadArray.push_back({});  // index 0: the null object
}

CArchive::~CArchive() {
    // Flush what is still buffered unless asked not to; a failing flush is dropped here.
    if (m_pFile && IsStoring() && !(m_nMode & bNoFlushOnDelete)) {
        try {
            Flush();
        } catch (CException* e) {
            e->Delete();
        }
    }
    // The buffer has held what passed through, keys among it.
    SecureWipe(m_buffer.data(), m_buffer.size());
}

UINT CArchive::Read(void* buffer, UINT count) {
    if (IsStoring()) AfxThrowArchiveException(CArchiveException::writeOnly);
    if (count == 0) return 0;
    auto* out = static_cast<BYTE*>(buffer);
    UINT done = 0;
    const UINT buffered = std::min(count, m_nMax - m_nCur);
    std::memcpy(out, m_buffer.data() + m_nCur, buffered);
    m_nCur += buffered;
    done += buffered;
    if (done == count) return done;
    // Large reads go straight to the file; small ones refill the buffer.
    if (count - done >= m_buffer.size()) return done + m_pFile->Read(out + done, count - done);
    m_nMax = m_pFile->Read(m_buffer.data(), static_cast<UINT>(m_buffer.size()));
    m_nCur = 0;
    const UINT rest = std::min(count - done, m_nMax);
    std::memcpy(out + done, m_buffer.data(), rest);
    m_nCur = rest;
    return done + rest;
}

void CArchive::Write(const void* buffer, UINT count) {
    if (IsLoading()) AfxThrowArchiveException(CArchiveException::readOnly);
    if (count == 0) return;
    const auto* in = static_cast<const BYTE*>(buffer);
    if (m_nCur + count > m_buffer.size()) {
        Flush();
        if (count >= m_buffer.size()) {
            m_pFile->Write(in, count);
            return;
        }
    }
    std::memcpy(m_buffer.data() + m_nCur, in, count);
    m_nCur += count;
}

void CArchive::Flush() {
    if (IsStoring()) {
        if (m_nCur) m_pFile->Write(m_buffer.data(), m_nCur);
        m_nCur = 0;
    } else if (m_nCur < m_nMax) {
        // Give unread octets back to the file so its position is the archive's.
        m_pFile->Seek(-static_cast<LONG>(m_nMax - m_nCur), CFile::current);
        m_nCur = m_nMax = 0;
    }
}

void CArchive::Close() {
    Flush();
    m_pFile = nullptr;
}

void CArchive::Abort() {
    m_nCur = m_nMax = 0;
    m_pFile = nullptr;
}

void CArchive::FillBuffer(UINT bytes) {
    if (m_nMax - m_nCur >= bytes) return;
    const UINT left = m_nMax - m_nCur;
    std::memmove(m_buffer.data(), m_buffer.data() + m_nCur, left);
    m_nCur = 0;
    m_nMax = left;
    while (m_nMax < bytes) {
        const UINT got = m_pFile->Read(m_buffer.data() + m_nMax, static_cast<UINT>(m_buffer.size()) - m_nMax);
        if (got == 0) AfxThrowArchiveException(CArchiveException::endOfFile, m_pFile->GetFilePath());
        m_nMax += got;
    }
}

DWORD CArchive::ReadCount() {
    WORD small = 0;
    *this >> small;
    if (small != 0xFFFF) return small;
    DWORD count = 0;
    *this >> count;
    return count;
}

void CArchive::WriteCount(DWORD count) {
    if (count < 0xFFFF) {
        *this << static_cast<WORD>(count);
    } else {
        *this << static_cast<WORD>(0xFFFF) << count;
    }
}

void CArchive::WriteTag(DWORD index, DWORD bigFlag, WORD smallFlag) {
    if (index <= kMaxSmallIndex) {
        *this << static_cast<WORD>(smallFlag | index);
    } else {
        *this << kBigObjectTag << (bigFlag | index);
    }
}

void CArchive::WriteClass(const CRuntimeClass* cls) {
    if (IsLoading()) AfxThrowArchiveException(CArchiveException::readOnly);
    if (cls->m_wSchema == 0xFFFF) AfxThrowNotSupportedException();
    if (auto found = m_storeMap.find(cls); found != m_storeMap.end()) {
        WriteTag(found->second, kBigClassTag, kClassTag);
        return;
    }
    *this << kNewClassTag;
    cls->Store(*this);
    m_storeMap[cls] = m_nMapCount++;
}

void CArchive::WriteObject(const CObject* object) {
    if (IsLoading()) AfxThrowArchiveException(CArchiveException::readOnly);
    if (!object) {
        *this << kNullTag;
        return;
    }
    if (auto found = m_storeMap.find(object); found != m_storeMap.end()) {
        WriteTag(found->second, 0, 0);
        return;
    }
    WriteClass(object->GetRuntimeClass());
    m_storeMap[object] = m_nMapCount++;
    const_cast<CObject*>(object)->Serialize(*this);
}

const CRuntimeClass* CArchive::ReadClass(const CRuntimeClass* requested, UINT* schema, DWORD* objectTag) {
    if (IsStoring()) AfxThrowArchiveException(CArchiveException::writeOnly);
    WORD tag = 0;
    *this >> tag;
    DWORD fullTag = 0;
    if (tag == kBigObjectTag) {
        *this >> fullTag;
    } else {
        fullTag = (static_cast<DWORD>(tag & kClassTag) << 16) | (tag & ~kClassTag);
    }
    if (!(fullTag & kBigClassTag)) {
        if (objectTag) *objectTag = fullTag;
        return nullptr;
    }

    const CRuntimeClass* cls = nullptr;
    UINT loadedSchema = 0;
    if (tag == kNewClassTag) {
        cls = CRuntimeClass::Load(*this, &loadedSchema);
        if (!cls) AfxThrowArchiveException(CArchiveException::badClass, m_pFile->GetFilePath());
        if (!(cls->m_wSchema & VERSIONABLE_SCHEMA) && loadedSchema != cls->m_wSchema)
            AfxThrowArchiveException(CArchiveException::badSchema, m_pFile->GetFilePath());
        m_loadArray.push_back({nullptr, cls, loadedSchema});
        ++m_nMapCount;
    } else {
        const DWORD index = fullTag & ~kBigClassTag;
        if (index == 0 || index >= m_loadArray.size() || !m_loadArray[index].cls)
            AfxThrowArchiveException(CArchiveException::badIndex, m_pFile->GetFilePath());
        cls = m_loadArray[index].cls;
        loadedSchema = m_loadArray[index].schema;
    }
    if (requested && !cls->IsDerivedFrom(requested))
        AfxThrowArchiveException(CArchiveException::badClass, m_pFile->GetFilePath());
    if (schema) *schema = loadedSchema;
    return cls;
}

CObject* CArchive::ReadObject(const CRuntimeClass* requested) {
    UINT schema = 0;
    DWORD objectTag = 0;
    const CRuntimeClass* cls = ReadClass(requested, &schema, &objectTag);
    if (!cls) {
        if (objectTag >= m_loadArray.size() || m_loadArray[objectTag].cls)
            AfxThrowArchiveException(CArchiveException::badIndex, m_pFile->GetFilePath());
        CObject* object = m_loadArray[objectTag].object;
        if (object && requested && !object->IsKindOf(requested))
            AfxThrowArchiveException(CArchiveException::badClass, m_pFile->GetFilePath());
        return object;
    }
    CObject* object = cls->CreateObject();
    if (!object) AfxThrowArchiveException(CArchiveException::badClass, m_pFile->GetFilePath());
    // Registered before loading so that the object's own members may refer back to it.
    const size_t slot = m_loadArray.size();
    m_loadArray.push_back({object, nullptr, 0});
    ++m_nMapCount;
    const UINT savedSchema = m_nObjectSchema;
    m_nObjectSchema = schema;
    try {
        object->Serialize(*this);
    } catch (...) {
        m_loadArray[slot].object = nullptr;
        delete object;
        throw;
    }
    m_nObjectSchema = savedSchema;
    return object;
}

UINT CArchive::GetObjectSchema() {
    const UINT schema = m_nObjectSchema;
    m_nObjectSchema = static_cast<UINT>(-1);
    return schema;
}

CArchive& operator<<(CArchive& ar, const CObject* object) {
    ar.WriteObject(object);
    return ar;
}

CArchive& operator>>(CArchive& ar, CObject*& object) {
    object = ar.ReadObject(nullptr);
    return ar;
}
