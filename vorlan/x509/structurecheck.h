// The shape checks and readers of certificate structures: the component reader of a value
// of a given identifier, failures that name the path of the field, and the 1 or 0 of isValid.
#pragma once

#include <memory>
#include <utility>

#include "vorlan/asn1/componentreader.h"

namespace vorlan::detail {

using CStructureReader = CASN1ComponentReader<const CASN1_CONSTRUCTED_TYPE>;

// The name a check gives its own structure in a failure of the structure itself (a wrong
// identifier, a component too many): none, since the path of the field holding it comes in
// front ("tbsCertificate: unexpected component ...").
inline constexpr const char* kThisStructure = "";

// The reader of `value`, which must be constructed and, unless anyTag, carry `identifier`;
// otherwise the decoding exception naming `structure`.
CStructureReader ReaderOf(const CASN1Type& value, BYTE identifier, int anyTag, const char* structure);

// The decoding exception "<field> is not valid" unless `ok`.
void Require(bool ok, const char* field);

// The path through `field` in front of the reason of the decoding failure in flight:
// "<field>.serialNumber is missing", "<field>: unexpected component ...".
void PrefixReason(const char* field);
// " (<field>)" after it.
void SuffixReason(const char* field);

// Runs `run`; a decoding failure inside goes on with `annotate(field)` applied to its reason.
template <class Run>
decltype(auto) Annotated(void (*annotate)(const char*), const char* field, Run&& run) {
    try {
        return run();
    } catch (CDERDecodingException*) {
        annotate(field);
        throw;
    }
}

// A check whose failures name the path through `field` ("validity.notAfter: ...").
template <class Check>
decltype(auto) Within(const char* field, Check&& check) {
    return Annotated(PrefixReason, field, std::forward<Check>(check));
}

// A conversion whose failure keeps its own reason and adds the field it was reading.
template <class Convert>
decltype(auto) Reading(const char* field, Convert&& convert) {
    return Annotated(SuffixReason, field, std::forward<Convert>(convert));
}

// The next component, of `identifier`, checked by `check`; failures inside name `field`.
void CheckField(CStructureReader& reader, BYTE identifier, const char* field, void (*check)(const CASN1Type&, int));

// The next component, of `identifier` and of the class T; else the decoding exception naming `field`.
template <class T>
const T& NextOf(CStructureReader& reader, BYTE identifier, const char* field) {
    const auto* typed = dynamic_cast<const T*>(&reader.Next(identifier, field));
    Require(typed != nullptr, field);
    return *typed;
}

// 1 when `check` passes, 0 when it raises the decoding exception.
template <class Check>
int Passes(Check&& check) {
    try {
        check();
        return 1;
    } catch (CDERDecodingException* e) {
        e->Delete();
        return 0;
    }
}

// The value of the one DER element in `octets`, by the generic decoder.
std::unique_ptr<CASN1Type> DecodedOctets(const CByteArray& octets);

// Component `index` of `parent` as the structure T. A component the decoder left a plain
// constructed value of T's identifier is turned into a T in place (the same components, the
// same encoding; references to the plain value end); anything else is the decoding exception
// naming `field`.
template <class T>
const T& TypedComponent(const CASN1_CONSTRUCTED_TYPE& parent, int index, const char* field) {
    parent.GetComponent(index);  // bounds
    CASN1Type*& slot = const_cast<CASN1_CONSTRUCTED_TYPE&>(parent).GetComponents()[index];
    if (const auto* typed = dynamic_cast<const T*>(slot)) return *typed;
    auto typed = std::make_unique<T>();
    Require(slot->identifier == typed->identifier && dynamic_cast<CASN1_CONSTRUCTED_TYPE*>(slot), field);
    typed->moveFrom(std::exchange(slot, nullptr));
    slot = typed.release();
    return *static_cast<const T*>(slot);
}
// The same for `component`, a component of `parent`.
template <class T>
const T& TypedComponent(const CASN1_CONSTRUCTED_TYPE& parent, const CASN1Type& component, const char* field) {
    int index = 0;
    while (&parent.GetComponent(index) != &component) ++index;
    return TypedComponent<T>(parent, index, field);
}

}  // namespace vorlan::detail
