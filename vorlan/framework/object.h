/// \file
/// CObject and run-time classes: names, schemas, bases and factories that let
/// archives store an object's class and create it again when loading.
#pragma once

#include "vorlan/framework/types.h"

class CArchive;
class CObject;

/// Schema flag: the class reads every schema and asks the archive which one it got.
inline constexpr UINT VERSIONABLE_SCHEMA = 0x80000000u;

/// A class's run-time description: its name, size, archive schema, factory and base. One static
/// instance per class (DECLARE_DYNAMIC and its kin); never copied or freed.
struct CRuntimeClass {
    const char* m_lpszClassName;  ///< the class name, as archives store it
    int m_nObjectSize;            ///< sizeof the class
    UINT m_wSchema;  ///< 0xFFFF: not serializable
    CObject* (*m_pfnCreateObject)();   ///< the factory; null for a class that cannot be created
    const CRuntimeClass* m_pBaseClass;  ///< the base class; null for CObject

    /// A new object of the class, owned by the caller; null for a class without a factory.
    CObject* CreateObject() const;
    /// 1 when the class is `base` or derives from it.
    BOOL IsDerivedFrom(const CRuntimeClass* base) const;

    /// Class header in archives: schema (16 bits), name length (16 bits), name.
    void Store(CArchive& ar) const;
    /// Reads a class header as Store writes it: the registered class of that name (null for an
    /// unknown, overlong or cut-short name), the schema read into `*schema` when given.
    static const CRuntimeClass* Load(CArchive& ar, UINT* schema);

    /// Registered classes by name; null when none has that name.
    static const CRuntimeClass* FromName(const char* name);
    /// Adds a class to the list FromName searches (AFX_CLASSINIT does it at start-up).
    static void Register(const CRuntimeClass* cls);
};

/// Registers a run-time class with the module's list when the program starts.
struct AFX_CLASSINIT {
    /// Registers `cls`.
    explicit AFX_CLASSINIT(const CRuntimeClass* cls) { CRuntimeClass::Register(cls); }
};

/// The root of the framework's class tree: a run-time class, an archive form and a validity
/// check. Objects are owned by whoever created them; archives create objects for the caller.
class CObject {
public:
    virtual ~CObject() = default;
    /// The object's run-time class (classCObject here; DECLARE_DYNAMIC overrides it).
    virtual const CRuntimeClass* GetRuntimeClass() const;
    /// Stores the object into, or loads it from, an archive; CObject itself has no data and
    /// stores nothing. Failures are the framework's archive or file exceptions.
    virtual void Serialize(CArchive& ar);
    /// Checks the object's invariants in a debugging build; nothing here.
    virtual void AssertValid() const {}

    /// 1 when the object's class is `cls` or derives from it.
    BOOL IsKindOf(const CRuntimeClass* cls) const;
    /// 1 when the class has a schema other than 0xFFFF (DECLARE_SERIAL).
    BOOL IsSerializable() const;

    /// CObject's run-time class.
    static const CRuntimeClass classCObject;

protected:
    /// Only derived classes make objects.
    CObject() = default;
    /// Copies nothing: CObject has no data.
    CObject(const CObject&) = default;
    /// Assigns nothing: CObject has no data.
    CObject& operator=(const CObject&) = default;
};

/// The run-time class of `class_name`, a `const CRuntimeClass*`.
#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

/// Declares a class's run-time class: the static `class<name>` and GetRuntimeClass().
#define DECLARE_DYNAMIC(class_name)                          \
public:                                                      \
    /** The run-time class of class_name. */                \
    static const CRuntimeClass class##class_name;            \
    const CRuntimeClass* GetRuntimeClass() const override;

/// DECLARE_DYNAMIC and a factory, so that the class can be created by name.
#define DECLARE_DYNCREATE(class_name)                                      \
    DECLARE_DYNAMIC(class_name)                                            \
    /** A new default-constructed class_name, owned by the caller. */     \
    static CObject* CreateObject();

/// DECLARE_DYNCREATE and the archive's extraction operator, so that the class archives itself.
#define DECLARE_SERIAL(class_name)                                                            \
    DECLARE_DYNCREATE(class_name)                                                             \
    /** Loads an object stored with its class; `pOb` receives it and the caller owns it. */ \
    friend CArchive& operator>>(CArchive& ar, class_name*& pOb);

/// What the IMPLEMENT_ macros have in common: the run-time class, GetRuntimeClass and its
/// registration at start-up.
#define VORLAN_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, schema, factory)       \
    const CRuntimeClass class_name::class##class_name = {                                   \
        #class_name, static_cast<int>(sizeof(class_name)), schema, factory,                 \
        RUNTIME_CLASS(base_class_name)};                                                    \
    const CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); } \
    static const AFX_CLASSINIT _init_##class_name(RUNTIME_CLASS(class_name));

/// Defines what DECLARE_DYNAMIC declares (in the class's .cpp).
#define IMPLEMENT_DYNAMIC(class_name, base_class_name) \
    VORLAN_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, nullptr)

/// Defines what DECLARE_DYNCREATE declares.
#define IMPLEMENT_DYNCREATE(class_name, base_class_name)                             \
    CObject* class_name::CreateObject() { return new class_name; }                   \
    VORLAN_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, class_name::CreateObject)

/// Defines what DECLARE_SERIAL declares; `schema` is the version archives store.
#define IMPLEMENT_SERIAL(class_name, base_class_name, schema)                        \
    CObject* class_name::CreateObject() { return new class_name; }                   \
    VORLAN_IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, schema, class_name::CreateObject) \
    CArchive& operator>>(CArchive& ar, class_name*& pOb) {                           \
        pOb = static_cast<class_name*>(ar.ReadObject(RUNTIME_CLASS(class_name)));    \
        return ar;                                                                   \
    }
