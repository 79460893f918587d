/// \file
/// Component tables: a named SEQUENCE, SET, SEQUENCE OF or SET OF type, or a CHOICE type, is a
/// constant table of rows, one per member or alternative, closed by an end row. One walk over
/// rows and components validates every structure, resolves CHOICEs and finds members by name.
///
/// Tables are constant-initialised data (constexpr rows, addresses of functions and of other
/// tables), so a named value works during any other unit's static initialisation.
#pragma once

#include <typeinfo>

#include "vorlan/asn1/constructed.h"

/// How a row's member is tagged: not at all, implicitly or explicitly.
enum enumTAGGING_METHOD { TAGGING_NONE = 0, TAGGING_IMPLICIT = 1, TAGGING_EXPLICIT = 2 };

struct ASN1_COMPONENT_INFO;

/// A named type as the table-directed decoder sees it: its rows, its identifier and its class.
struct ASN1_TYPE_INFO {
    const char* m_szName;  ///< the type's name, as failures report it
    BYTE m_tagAndClass;  ///< 0 for a CHOICE
    int m_bChoice;  ///< 1 for a CHOICE
    const ASN1_COMPONENT_INFO* m_pRows;  ///< the rows, ended by ASN1EndRow()
    /// A new empty value of the class; null for a CHOICE. Named classes keep the plain component
    /// slots (no override of adding a component), so the decoder fills their arrays directly.
    CASN1_CONSTRUCTED_TYPE* (*m_pfnMake)();
};

/// One row of a component table: a member or alternative with its name, identifier, tagging,
/// validity test and presence. Tables are constant data; nothing in a row is owned.
struct ASN1_COMPONENT_INFO {
    /// The alternative index of a CHOICE value, -1 for none.
    using ResolveFunction = int (*)(const CASN1Type*);
    /// A value's validity test: 1 or 0, anyTag accepting any identifier.
    using IsValidFunction = int (*)(const CASN1Type*, int);

    /// A row with every field given; tables use ASN1Row, ASN1TypedRow, ASN1ChoiceRow and ASN1EndRow.
    constexpr ASN1_COMPONENT_INFO(int endOfList, const char* memberName, ResolveFunction resolveAlternative,
                                  unsigned char tag, unsigned char classNumber, enumTAGGING_METHOD taggingMethod,
                                  IsValidFunction isValidFunction, int optional, int repeated, int any,
                                  const ASN1_TYPE_INFO* type = nullptr)
        : m_bEndOfList(endOfList),
          m_szMemberName(memberName),
          m_pfnResolveAlternative(resolveAlternative),
          m_tag(tag),
          m_class(classNumber),
          m_identifier(static_cast<BYTE>(tag | (classNumber << 6))),
          m_bPlain(!endOfList && (taggingMethod != TAGGING_NONE || (!any && !resolveAlternative))),
          m_taggingMethod(taggingMethod),
          m_pfnIsValid(isValidFunction),
          m_bOptional(optional),
          m_bRepeated(repeated),
          m_bAny(any),
          m_pType(type) {}

    /// Is v the value of this row; the end row is the value of nothing.
    int isMember(const CASN1Type* v) const {
        return isPlain() ? rowIdentifier() == v->identifier : isMemberOtherwise(v);
    }
    /// Is v a valid value for this row.
    int isValid(const CASN1Type* v, int anyTag) const;

    /// The identifier octet the row's member carries.
    constexpr BYTE rowIdentifier() const { return m_identifier; }
    /// The row reads the same from the identifier alone: membership without a value.
    int isMemberByIdentifier(BYTE identifier) const {
        return isPlain() ? rowIdentifier() == identifier : isMemberByIdentifierOtherwise(identifier);
    }

    int m_bEndOfList;  ///< 1 for the end row
    const char* m_szMemberName;  ///< the member's name
    ResolveFunction m_pfnResolveAlternative;  ///< for an untagged CHOICE member: its resolver
    unsigned char m_tag;  ///< the tag number
    unsigned char m_class;  ///< the class bits
    BYTE m_identifier;  ///< tag and class as one identifier octet
    /// Membership is the identifier alone: not the end row, not an untagged CHOICE or any value.
    bool m_bPlain;
    enumTAGGING_METHOD m_taggingMethod;  ///< how the member is tagged
    IsValidFunction m_pfnIsValid;  ///< the member's validity test, null for none
    int m_bOptional;  ///< the member may be absent
    int m_bRepeated;  ///< the row takes any number of components (SEQUENCE OF, SET OF)
    int m_bAny;  ///< the row takes a value of any type
    /// The named type of the member (record or CHOICE); null for universal and identifier-only rows.
    const ASN1_TYPE_INFO* m_pType;

private:
    bool isPlain() const { return m_bPlain; }
    int isMemberOtherwise(const CASN1Type* v) const;
    int isMemberByIdentifierOtherwise(BYTE identifier) const;
};

/// 1 when the components fill the table's rows in order, else 0.
int ___validateComponents(const ASN1_COMPONENT_INFO* table, const CASN1ComponentArray& components);
/// 1 when v is a valid value of one of the table's alternatives, else 0.
int ___validateAlternative(const ASN1_COMPONENT_INFO* table, const CASN1Type* v, int anyTag);
/// The index of the first alternative v is a member of, or -1.
int ___resolveAlternative(const ASN1_COMPONENT_INFO* table, const CASN1Type* v);
/// The index of the alternative called `name` when v is a member of it, or -1.
int ___resolveAlternative(const ASN1_COMPONENT_INFO* table, const CASN1Type* v, const char* name);
/// The index in `components` of the member called `name`, or -1.
int ___findComponentByMemberName(const ASN1_COMPONENT_INFO* table, const CASN1ComponentArray& components,
                                 const char* name);
/// Validity of a value of a named SEQUENCE/SET type: constructed, its identifier unless anyTag,
/// components by the table.
int ASN1ValidateNamed(const ASN1_TYPE_INFO& type, const CASN1Type* v, int anyTag);

/// The row of the member called `name` (accessors find theirs when compiling), -1 for none.
constexpr int ASN1RowOfMember(const ASN1_COMPONENT_INFO* table, const char* name) {
    for (int row = 0; !table[row].m_bEndOfList; ++row) {
        const char* a = table[row].m_szMemberName;
        const char* b = name;
        while (*a && *a == *b) ++a, ++b;
        if (*a == *b) return row;
    }
    return -1;
}

/// Rows as the tables write them.
enum class EASN1Presence { mandatory, optional, repeated };

namespace vorlan::detail {

template <class X>
CASN1_CONSTRUCTED_TYPE* MakeASN1Value() {
    return new X;
}

constexpr ASN1_COMPONENT_INFO makeRow(const char* name, BYTE identifier, enumTAGGING_METHOD tagging,
                                      ASN1_COMPONENT_INFO::IsValidFunction isValid, EASN1Presence presence,
                                      const ASN1_TYPE_INFO* type,
                                      ASN1_COMPONENT_INFO::ResolveFunction resolve = nullptr) {
    return ASN1_COMPONENT_INFO(0, name, resolve, identifier, 0, tagging, isValid, presence == EASN1Presence::optional,
                               presence == EASN1Presence::repeated, 0, type);
}

}  // namespace vorlan::detail

/// The row that ends every table.
constexpr ASN1_COMPONENT_INFO ASN1EndRow() {
    return ASN1_COMPONENT_INFO(1, "", nullptr, 0, 0, TAGGING_NONE, nullptr, 0, 0, 0);
}

/// A member of a universal type, or a tagged member whose contents are not checked (identifier
/// only, implicit); `isValid` adds a check of the value.
constexpr ASN1_COMPONENT_INFO ASN1Row(const char* name, BYTE identifier,
                                      EASN1Presence presence = EASN1Presence::mandatory,
                                      ASN1_COMPONENT_INFO::IsValidFunction isValid = nullptr) {
    return vorlan::detail::makeRow(name, identifier, (identifier & kASN1ClassMask) ? TAGGING_IMPLICIT : TAGGING_NONE, isValid,
                           presence, nullptr);
}

/// A member (or alternative) of the named type X, untagged or tagged as stated.
template <class X>
constexpr ASN1_COMPONENT_INFO ASN1TypedRow(const char* name, BYTE identifier, enumTAGGING_METHOD tagging,
                                           EASN1Presence presence = EASN1Presence::mandatory) {
    return vorlan::detail::makeRow(name, identifier, tagging, &X::isValid, presence, &X::m_typeInfo);
}

/// An untagged member of the CHOICE type X: recognised by its alternatives.
template <class X>
constexpr ASN1_COMPONENT_INFO ASN1ChoiceRow(const char* name, EASN1Presence presence = EASN1Presence::mandatory) {
    return vorlan::detail::makeRow(name, 0xFF, TAGGING_NONE, &X::isValid, presence, &X::m_typeInfo, &X::resolveAlternative);
}

namespace vorlan::detail {

/// The one walk of components against rows that validation and the decoder share. Source gives
/// the components in order: more(), isMember(row) of the next one, take(row) -> its validity.
template <class Source>
int walkComponents(const ASN1_COMPONENT_INFO* row, Source& source) {
    while (!row->m_bEndOfList && source.more()) {
        if (source.isMember(*row)) {
            if (!source.take(*row)) return 0;
            if (!row->m_bRepeated) ++row;
        } else {
            if (!row->m_bOptional && !row->m_bRepeated) return 0;
            ++row;
        }
    }
    if (source.more()) return 0;
    for (; !row->m_bEndOfList; ++row)
        if (!row->m_bOptional && !row->m_bRepeated) return 0;
    return 1;
}

/// Rows and components walked together without repetition: the index of the first component
/// taken by a row that `wanted` accepts, -1 when the rows or the components run out first.
template <class Wanted>
int findComponent(const ASN1_COMPONENT_INFO* table, const CASN1ComponentArray& components, Wanted&& wanted) {
    int index = 0;
    for (int row = 0; !table[row].m_bEndOfList && index < components.GetSize(); ++row) {
        const CASN1Type* component = components[index];
        if (!component || !table[row].isMember(component)) continue;
        if (wanted(row)) return index;
        ++index;
    }
    return -1;
}

/// The components of a value; null for a value that cannot hold any.
const CASN1ComponentArray* componentsOf(const CASN1Type& value);

/// `value` as the class T: the exact class is one comparison of type records, anything else
/// (a derived class, or the same class known by another record) a dynamic cast.
template <class T>
const T* valueAs(const CASN1Type& value) {
    if (&typeid(value) == &typeid(T)) return static_cast<const T*>(&value);
    return dynamic_cast<const T*>(&value);
}

}  // namespace vorlan::detail

/// The index in `components` of the member of row `row`, or -1: what the generated accessors
/// use, inline so that the walk is compiled for each accessor's row.
inline int ASN1FindComponentByRow(const ASN1_COMPONENT_INFO* table, const CASN1ComponentArray& components, int row) {
    return vorlan::detail::findComponent(table, components, [row](int candidate) { return candidate == row; });
}
