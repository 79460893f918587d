/// \file
/// CObject and run-time classes: names, schemas, bases and factories that let
/// archives store an object's class and create it again when loading.
#pragma once

#include "vorlan/framework/types.h"

class CArchive;
class CObject;

/// Schema flag: the class reads every schema and asks the archive which one it got.
inline constexpr UINT VERSIONABLE_SCHEMA = 0x80000000u;

struct CRuntimeClass {
    const char* m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema;  ///< 0xFFFF: not serializable
    CObject* (*m_pfnCreateObject)();
    const CRuntimeClass* m_pBaseClass;

    CObject* CreateObject() const;
    BOOL IsDerivedFrom(const CRuntimeClass* base) const;

    /// Class header in archives: schema (16 bits), name length (16 bits), name.
    void Store(CArchive& ar) const;
    static const CRuntimeClass* Load(CArchive& ar, UINT* schema);

    /// Registered classes by name; null when none has that name.
    static const CRuntimeClass* FromName(const char* name);
    static void Register(const CRuntimeClass* cls);
};

/// Registers a run-time class with the module's list when the program starts.
struct AFX_CLASSINIT {
    explicit AFX_CLASSINIT(const CRuntimeClass* cls) { CRuntimeClass::Register(cls); }
};

class CObject {
public:
    virtual ~CObject() = default;
    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual void Serialize(CArchive& ar);
    virtual void AssertValid() const {}

    BOOL IsKindOf(const CRuntimeClass* cls) const;
    BOOL IsSerializable() const;

    static const CRuntimeClass classCObject;

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                          \
public:                                                      \
    static const CRuntimeClass class##class_name;            \
    const CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name) \
    DECLARE_DYNAMIC(class_name)       \
    static CObject* CreateObject();

#define DECLARE_SERIAL(class_name)     \
    DECLARE_DYNCREATE(class_name)      \
    friend CArchive& operator>>(CArchive& ar, class_name*& pOb);

#define VORLAN_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, schema, factory)       \
    const CRuntimeClass class_name::class##class_name = {                                   \
        #class_name, static_cast<int>(sizeof(class_name)), schema, factory,                 \
        RUNTIME_CLASS(base_class_name)};                                                    \
    const CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); } \
    static const AFX_CLASSINIT _init_##class_name(RUNTIME_CLASS(class_name));

#define IMPLEMENT_DYNAMIC(class_name, base_class_name) \
    VORLAN_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name)                             \
    CObject* class_name::CreateObject() { return new class_name; }                   \
    VORLAN_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, class_name::CreateObject)

#define IMPLEMENT_SERIAL(class_name, base_class_name, schema)                        \
    CObject* class_name::CreateObject() { return new class_name; }                   \
    VORLAN_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, schema, class_name::CreateObject) \
    CArchive& operator>>(CArchive& ar, class_name*& pOb) {                           \
        pOb = static_cast<class_name*>(ar.ReadObject(RUNTIME_CLASS(class_name)));    \
        return ar;                                                                   \
    }
