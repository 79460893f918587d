/// \file
/// Declaring named structures by their component tables: a SEQUENCE/SET (OF) class with its
/// table, decoding constructor, validity and get_/is_ accessors, and a CHOICE class as a view on
/// the alternative's own value.
///
/// Accessors are checked: an absent member, an index past the last component, and a component
/// of another class than the accessor names all fail with the decoding exception, so no
/// reference ever names an object as a class it is not.
#pragma once

#include <utility>

#include "vorlan/asn1/tabledecoder.h"

namespace vorlan::detail {

[[noreturn]] void throwMemberAbsent(const char* structure, const char* member);
[[noreturn]] void throwMemberClass(const char* structure, const char* member);

template <class T>
const T& memberAs(const CASN1Type& value, const char* structure, const char* member) {
    const T* typed = valueAs<T>(value);
    if (!typed) throwMemberClass(structure, member);
    return *typed;
}

/// The component of row `row` of a named value, as T.
template <class T>
const T& namedMember(const CASN1_CONSTRUCTED_TYPE& self, const ASN1_TYPE_INFO& type, int row) {
    const int index = ASN1FindComponentByRow(type.m_pRows, self.GetComponents(), row);
    if (index < 0) throwMemberAbsent(type.m_szName, type.m_pRows[row].m_szMemberName);
    return memberAs<T>(self.GetComponent(index), type.m_szName, type.m_pRows[row].m_szMemberName);
}

}  // namespace vorlan::detail

/// What every named SEQUENCE/SET (OF) class X with identifier TAG declares.
#define DECLARE_ASN1_NAMED(X, TAG)                                                      \
public:                                                                                 \
    /** An empty X, without components, to be filled or decoded into. */                \
    X();                                                                                \
    /** Decodes with the table and validates; the decoding exception otherwise. */      \
    explicit X(CDEREncoding& der);                                                      \
    DECLARE_ASN1_VALUE_FAMILY(X)                                                        \
    /** 1 when value is a well-formed X (anyTag: with any identifier octet), else 0. */ \
    static int isValid(const CASN1Type* value, int anyTag);                             \
    /** The identifier octet of X. */                                                   \
    static constexpr BYTE m_tagAndClass = TAG;                                          \
    /** The component table of X, one row per member, ended by ASN1EndRow(). */         \
    static const ASN1_COMPONENT_INFO m_compInfoList[];                                  \
    /** The name and table of X, for the table-driven decoder. */                       \
    static const ASN1_TYPE_INFO m_typeInfo;

/// Defines them after the class's table; DATA carries the data in assignment (CASN1_TAGGED for
/// application-tagged records, CASN1_CONSTRUCTED_TYPE for SEQUENCE and SET types).
#define IMPLEMENT_ASN1_NAMED(X, DATA)                                                                              \
    constexpr ASN1_TYPE_INFO X::m_typeInfo{#X, X::m_tagAndClass, 0, X::m_compInfoList, &vorlan::detail::MakeASN1Value<X>}; \
    IMPLEMENT_ASN1_VALUE_FAMILY(X, DATA)                                                                           \
    X::X() {                                                                                                       \
        identifier = m_tagAndClass;                                                                                \
        m_bConstructed = 1;                                                                                        \
    }                                                                                                              \
    X::X(CDEREncoding& der) : X() { ASN1DecodeNamed(*this, m_typeInfo, der); }                                     \
    int X::isValid(const CASN1Type* value, int anyTag) { return ASN1ValidateNamed(m_typeInfo, value, anyTag); }

/// get_<name>() of a member of class T (const and non-const); is_<name>() for an optional one.
#define ASN1_MEMBER(T, name)                                                              \
    /** The member name; the decoding exception when it is absent or of another class. */ \
    const T& get_##name() const;                                                          \
    /** The member name, changeable in place; this value keeps owning it. */              \
    T& get_##name() { return const_cast<T&>(std::as_const(*this).get_##name()); }
/// ASN1_MEMBER and is_<name>() for an optional member.
#define ASN1_OPTIONAL_MEMBER(T, name)                  \
    ASN1_MEMBER(T, name)                               \
    /** 1 when the optional member name is present. */ \
    int is_##name() const;
/// A member whose type is a CHOICE: the accessor gives the CHOICE's view.
#define ASN1_CHOICE_MEMBER(T, name)                                                          \
    /** The member name seen through its CHOICE view; the decoding exception when absent. */ \
    T get_##name() const;                                                                    \
    /** The same view from a non-const value. */                                             \
    T get_##name() { return std::as_const(*this).get_##name(); }

/// The row of member `name` of X as the constant kRow; compiling fails without one.
#define VORLAN_ASN1_ROW_OF(X, name, optional)                      \
    constexpr int kRow = ASN1RowOfMember(X::m_compInfoList, #name); \
    static_assert(kRow >= 0, "no row " #name " in " #X);           \
    static_assert(!optional || X::m_compInfoList[kRow].m_bOptional, #name " is not optional in " #X)

/// Defines what ASN1_MEMBER declares, in the class's .cpp.
#define IMPLEMENT_ASN1_MEMBER(X, T, name)                       \
    const T& X::get_##name() const {                            \
        VORLAN_ASN1_ROW_OF(X, name, false);                     \
        return vorlan::detail::namedMember<T>(*this, m_typeInfo, kRow); \
    }
/// Defines what ASN1_OPTIONAL_MEMBER declares.
#define IMPLEMENT_ASN1_OPTIONAL_MEMBER(X, T, name)                                 \
    IMPLEMENT_ASN1_MEMBER(X, T, name)                                              \
    int X::is_##name() const {                                                     \
        VORLAN_ASN1_ROW_OF(X, name, true);                                         \
        return ASN1FindComponentByRow(m_compInfoList, GetComponents(), kRow) != -1; \
    }
/// Defines what ASN1_CHOICE_MEMBER declares.
#define IMPLEMENT_ASN1_CHOICE_MEMBER(X, T, name)                           \
    T X::get_##name() const {                                              \
        VORLAN_ASN1_ROW_OF(X, name, false);                                \
        return T(vorlan::detail::namedMember<CASN1Type>(*this, m_typeInfo, kRow)); \
    }

/// getComponent(index) and getComponentCount() of a SEQUENCE OF / SET OF class whose elements
/// are of class T, or, with the CHOICE form, seen through the CHOICE class T.
#define ASN1_ELEMENTS(T)                                                                              \
    /** The number of elements. */                                                                    \
    int getComponentCount() const { return GetCount(); }                                              \
    /** Element index; the decoding exception for an index out of range or another class. */          \
    const T& getComponent(int index) const {                                                          \
        return vorlan::detail::memberAs<T>(GetComponent(index), m_typeInfo.m_szName, "getComponent"); \
    }                                                                                                 \
    /** Element index, changeable in place; this value keeps owning it. */                            \
    T& getComponent(int index) { return const_cast<T&>(std::as_const(*this).getComponent(index)); }
/// The same for elements of the CHOICE type T, seen through its view.
#define ASN1_CHOICE_ELEMENTS(T)                                                             \
    /** The number of elements. */                                                          \
    int getComponentCount() const { return GetCount(); }                                    \
    /** Element index seen through its CHOICE view; the decoding exception out of range. */ \
    T getComponent(int index) const { return T(GetComponent(index)); }

/// A CHOICE class is a view: it holds no data of its own and sees the alternative's value.
class CASN1ChoiceView {
public:
    /// The alternative's value; the decoding exception for a view of nothing.
    const CASN1Type& GetValue() const;
    /// The value as class T; the decoding exception when it is of another class.
    template <class T>
    const T& As() const {
        return vorlan::detail::memberAs<T>(GetValue(), "CHOICE", "value");
    }

protected:
    CASN1ChoiceView() = default;
    /// A view of `value`, which must outlive the view.
    explicit CASN1ChoiceView(const CASN1Type& value) : m_pValue(&value) {}

    const CASN1Type* m_pValue = nullptr;  ///< the value seen, not owned; null for none
};

/// What every CHOICE class X declares: its constructors, validity, resolution and table.
#define DECLARE_ASN1_CHOICE(X)                                                         \
public:                                                                                \
    /** A view of nothing: resolve() gives -1, GetValue() throws. */                   \
    X() = default;                                                                     \
    /** A view of value, which must outlive the view. */                               \
    explicit X(const CASN1Type& value) : CASN1ChoiceView(value) {}                     \
    /** 1 when value is one of the alternatives of X and valid as that one, else 0. */ \
    static int isValid(const CASN1Type* value, int anyTag);                            \
    /** The index of the alternative of value, -1 for none. */                         \
    static int resolveAlternative(const CASN1Type* value);                             \
    /** The index of the alternative of the value seen, -1 for none. */                \
    int resolve() const { return m_pValue ? resolveAlternative(m_pValue) : -1; }       \
    /** The alternatives of X as table rows, ended by ASN1EndRow(). */                 \
    static const ASN1_COMPONENT_INFO m_alternativesList[];                             \
    /** The name and alternatives of X, for the table-driven decoder. */               \
    static const ASN1_TYPE_INFO m_typeInfo;

/// Defines what DECLARE_ASN1_CHOICE declares, after the class's table of alternatives.
#define IMPLEMENT_ASN1_CHOICE(X)                                                      \
    constexpr ASN1_TYPE_INFO X::m_typeInfo{#X, 0, 1, X::m_alternativesList, nullptr}; \
    int X::isValid(const CASN1Type* value, int anyTag) {                              \
        return ___validateAlternative(m_alternativesList, value, anyTag);             \
    }                                                                                 \
    int X::resolveAlternative(const CASN1Type* value) { return ___resolveAlternative(m_alternativesList, value); }

/// is_<name>() of an alternative; get_<name>() as class T for the typed form.
#define ASN1_ALTERNATIVE(name) \
    /** 1 when the value seen is the alternative name. */ \
    int is_##name() const;
/// ASN1_ALTERNATIVE and get_<name>() as class T.
#define ASN1_TYPED_ALTERNATIVE(T, name)                                                \
    ASN1_ALTERNATIVE(name)                                                             \
    /** The alternative name; the decoding exception when the value is another one. */ \
    const T& get_##name() const;

/// The row of alternative `name` of X as the constant kRow; compiling fails without one.
#define VORLAN_ASN1_ALTERNATIVE_ROW(X, name)                           \
    constexpr int kRow = ASN1RowOfMember(X::m_alternativesList, #name); \
    static_assert(kRow >= 0, "no alternative " #name " in " #X)

/// Defines what ASN1_ALTERNATIVE declares.
#define IMPLEMENT_ASN1_ALTERNATIVE(X, name)                             \
    int X::is_##name() const {                                          \
        VORLAN_ASN1_ALTERNATIVE_ROW(X, name);                           \
        return m_pValue && m_alternativesList[kRow].isMember(m_pValue); \
    }
/// Defines what ASN1_TYPED_ALTERNATIVE declares.
#define IMPLEMENT_ASN1_TYPED_ALTERNATIVE(X, T, name)                             \
    IMPLEMENT_ASN1_ALTERNATIVE(X, name)                                          \
    const T& X::get_##name() const {                                             \
        if (!is_##name()) vorlan::detail::throwMemberAbsent(m_typeInfo.m_szName, #name); \
        return vorlan::detail::memberAs<T>(*m_pValue, m_typeInfo.m_szName, #name);       \
    }
