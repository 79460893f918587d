// What the PKCS structures share: the cursor of their walks (fields in order, failures naming
// the field), typed access to the components a walk located, and the decoding constructors'
// common steps.
#pragma once

#include <memory>

#include "vorlan/asn1/sequence.h"
#include "vorlan/asn1/set.h"
#include "vorlan/asn1/tagged.h"
#include "vorlan/x509/structurecheck.h"

class CASN1_ContentInfo;
class CASN1_OBJECT_IDENTIFIER;

namespace vorlan::detail {

using PkcsCheck = int (*)(const CASN1Type*, int);

// The cursor of one walk over a PKCS structure (a SEQUENCE; any identifier when anyTag). A walk
// that checks (isValid) holds versions and components to their own rules as it passes them; one
// that only locates (the accessors, on values checked when read or made by the constructors)
// takes the fields by order and identifier. Failures name the field, or `structure` for its shape.
class CPkcsWalk {
public:
    CPkcsWalk(const CASN1Type& value, int anyTag, const char* structure, bool check);

    bool Checks() const { return m_check; }
    bool AtEnd() const { return m_reader.AtEnd(); }
    // An INTEGER; when checking, one that reads as a number (`unreadable` otherwise) equal to `expected`.
    void Version(unsigned long expected, const char* unreadable);
    const CASN1Type& Next(BYTE identifier, const char* field) { return m_reader.Next(identifier, field); }
    const CASN1Type* Optional(BYTE identifier) { return m_reader.Optional(identifier); }
    // The next component; when checking, one that passes `isValid(component, 0)`.
    const CASN1Type& Checked(PkcsCheck isValid, const char* field);
    // A SET, or a SET OF under [n] IMPLICIT, of `identifier`; when checking, its elements pass `element`.
    const CASN1Type& SetOf(BYTE identifier, PkcsCheck element, const char* field);
    // The same when the next component carries `identifier`; null, and nothing read, otherwise.
    const CASN1Type* OptionalSetOf(BYTE identifier, PkcsCheck element, const char* field);
    void End() const { m_reader.End(m_structure); }
    // `fields`, once no component is left.
    template <class Fields>
    Fields Ended(Fields fields) const {
        End();
        return fields;
    }

private:
    CStructureReader m_reader;
    const char* m_structure;
    bool m_check;
};

// isValid of a structure: 1 when its checking walk passes, else 0.
template <class Walk>
int Valid(Walk walk, const CASN1Type* value, int anyTag) {
    return Passes([&] { walk(*value, anyTag, true); });
}

// The component a walk located in `parent` as T, made a T in place when the decoder left it
// generic; "<field> is missing" when there is none. The structures hand out non-constant
// references to their parts.
template <class T>
T& Typed(const CASN1_CONSTRUCTED_TYPE& parent, const CASN1Type* component, const char* field) {
    if (!component) ___throwDERDecodingException("%s is missing", field);
    return const_cast<T&>(TypedComponent<T>(parent, *component, field));
}
// Element `index` of a SET OF as T, likewise.
template <class T>
T& Typed(const CASN1_CONSTRUCTED_TYPE& parent, int index, const char* field) {
    return const_cast<T&>(TypedComponent<T>(parent, index, field));
}

// Appends the components in order (null ones left out), owning all of them whatever happens.
template <class... Components>
void AppendAll(CASN1_CONSTRUCTED_TYPE& self, Components*... components) {
    std::unique_ptr<CASN1Type> owned[] = {std::unique_ptr<CASN1Type>(components)...};
    for (auto& component : owned)
        if (component) self.AddObject(component.release());
}
// `component` (owned from now on) in the place of `present`, or before `next` when there is none.
void PutComponent(CASN1_CONSTRUCTED_TYPE& parent, const CASN1Type* present, const CASN1Type& next,
                  CASN1Type* component);
// `component` taken out of `parent`: deleted, or without `destroy` left to whoever holds it.
void RemoveComponent(CASN1_CONSTRUCTED_TYPE& parent, const CASN1Type& component, bool destroy);

// A new SET, the caller's, of the elements of `tagged`, an [n] IMPLICIT SET OF of `parent`
// (the decoding exception `missing` when there is none): copies, or with clearAfterGet the
// elements themselves, moved out. Either way the returned elements have the move flag off, so
// reading them later copies as usual.
CASN1_SET* SetFromImplicit(const CASN1_CONSTRUCTED_TYPE& parent, const CASN1Type* tagged, int clearAfterGet,
                           const char* missing);
// `set` as an [n] IMPLICIT component (a copy; `set` stays the caller's).
CASN1_TAGGED* NewImplicitSet(BYTE tag, const CASN1_SET& set);
// `set` kept sorted as DER wants a SET OF: a copy of each element, inserted in order.
CASN1_SET* NewSortedCopy(const CASN1_SET& set);

// Decodes into `self`, then requires `isValid`; cleared and the decoding exception `reason` otherwise.
void DecodeChecked(CASN1_CONSTRUCTED_TYPE& self, CDEREncoding& der, PkcsCheck isValid, const char* reason);
// `self` from a copy of `value`, which must pass `isValid`; cleared and `reason` otherwise.
void FromValue(CASN1_CONSTRUCTED_TYPE& self, const CASN1Type& value, PkcsCheck isValid, const char* reason);
// `self` from a copy of the content of a ContentInfo, which must be of `type` and pass `isValid`.
void FromContent(CASN1_CONSTRUCTED_TYPE& self, const CASN1_ContentInfo& contentInfo,
                 const CASN1_OBJECT_IDENTIFIER& type, PkcsCheck isValid, const char* reason);

// The parts SignedData and SignedAndEnvelopedData share, located by their walks.
struct SSignedParts {
    const CASN1Type *digestAlgorithms, *certificates, *crls, *signerInfos;  // certificates, crls optional
};
// The certificates, crls and signerInfos that end both, then the end of `structure`.
void WalkSignedTail(CPkcsWalk& walk, SSignedParts& parts, const char* structure);

}  // namespace vorlan::detail
