#include "vorlan/framework/object.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "vorlan/framework/archive.h"

namespace {

// The module's class list; filled during static initialisation, read afterwards.
std::vector<const CRuntimeClass*>& ClassList() {
    static std::vector<const CRuntimeClass*> list;
    return list;
}

std::mutex& ClassListMutex() {
    static std::mutex mutex;
    return mutex;
}

constexpr WORD kMaxClassNameLength = 64;

}  // namespace

const CRuntimeClass CObject::classCObject = {"CObject", static_cast<int>(sizeof(CObject)), 0xFFFF, nullptr, nullptr};

const CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }

void CObject::Serialize(CArchive&) {}

BOOL CObject::IsKindOf(const CRuntimeClass* cls) const { return GetRuntimeClass()->IsDerivedFrom(cls); }

BOOL CObject::IsSerializable() const { return GetRuntimeClass()->m_wSchema != 0xFFFF; }

CObject* CRuntimeClass::CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const {
    for (const CRuntimeClass* cls = this; cls; cls = cls->m_pBaseClass)
        if (cls == base) return TRUE;
    return FALSE;
}

void CRuntimeClass::Store(CArchive& ar) const {
    const WORD length = static_cast<WORD>(std::strlen(m_lpszClassName));
    ar << static_cast<WORD>(m_wSchema & ~VERSIONABLE_SCHEMA) << length;
    ar.Write(m_lpszClassName, length);
}

const CRuntimeClass* CRuntimeClass::Load(CArchive& ar, UINT* schema) {
    WORD storedSchema = 0;
    WORD length = 0;
    ar >> storedSchema >> length;
    if (length >= kMaxClassNameLength) return nullptr;
    char name[kMaxClassNameLength] = {};
    if (ar.Read(name, length) != length) return nullptr;
    if (schema) *schema = storedSchema;
    return FromName(name);
}

const CRuntimeClass* CRuntimeClass::FromName(const char* name) {
    std::lock_guard lock(ClassListMutex());
    for (const CRuntimeClass* cls : ClassList())
        if (std::strcmp(cls->m_lpszClassName, name) == 0) return cls;
    return nullptr;
}

void CRuntimeClass::Register(const CRuntimeClass* cls) {
    std::lock_guard lock(ClassListMutex());
    ClassList().push_back(cls);
}
