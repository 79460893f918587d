// What the PKCS structures share: shape checks through the component reader that fail with
// the decoding exception naming the field, version numbers, SETs of checked elements, typed
// access to decoded components and the decoding constructors' common steps.
#pragma once

#include "vorlan/asn1/sequence.h"
#include "vorlan/asn1/set.h"
#include "vorlan/asn1/tagged.h"
#include "vorlan/x509/structurecheck.h"

class CASN1_ContentInfo;
class CASN1_OBJECT_IDENTIFIER;

namespace vorlan::detail {

using PkcsCheck = int (*)(const CASN1Type*, int);

// The next component: an INTEGER that reads as a number (`unreadable` otherwise) equal to `expected`.
void CheckVersion(CStructureReader& reader, unsigned long expected, const char* unreadable);
// The next component when it passes `check(component, 0)`; the decoding exception naming `field` otherwise.
const CASN1Type& CheckNext(CStructureReader& reader, PkcsCheck check, const char* field);
// A constructed value (any identifier when anyTag, else SET) whose elements all pass `element`.
void CheckSetOf(const CASN1Type& value, int anyTag, PkcsCheck element, const char* field);

// Component `index` of `parent` as T, made a T in place when the decoder left it generic; the
// structures hand out non-constant references to their parts.
template <class T>
T& Typed(const CASN1_CONSTRUCTED_TYPE& parent, int index, const char* field) {
    return const_cast<T&>(TypedComponent<T>(parent, index, field));
}

// 1 when `parent` has a component at `index` with identifier `tag`.
int HasTagAt(const CASN1_CONSTRUCTED_TYPE& parent, int index, BYTE tag);

// A new SET, the caller's, of the elements of the [n] IMPLICIT SET OF at `index`: copies, or
// with clearAfterGet the elements themselves, moved out. Either way the returned elements
// have the move flag off, so reading them later copies as usual.
CASN1_SET* SetFromImplicit(const CASN1_CONSTRUCTED_TYPE& parent, int index, int clearAfterGet);
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

// certificates, crls and signerInfos of SignedData or SignedAndEnvelopedData, then the end of
// `structure`. Signers need a digest algorithm among `digestAlgorithms`: the SET may be empty
// only when there are none.
void CheckSignedTail(CStructureReader& reader, const CASN1Type& digestAlgorithms, const char* structure);

}  // namespace vorlan::detail
