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

// How a field of the path joins the reason of a failure inside it.
enum class EFieldJoin {
    kPath,     // in front: "<field>.serialNumber is missing", "<field>: unexpected component ...",
               // "<field>: <a lower layer's sentence>"
    kNote,     // after: "<reason> (<field>)"
    kWrap,     // around: "<field> (<reason>)"
    kBoundary  // a check that gives 0 on failure: the fields outside it are not part of its reason
};

// One field of the path being read on this thread, from construction to destruction. The
// frames link the calling thread's path, innermost first. The reason of a decoding failure is
// rendered from them once, by the innermost frame it passes: joined with every field from
// there out to the nearest boundary, in today's words.
class CFieldFrame {
public:
    CFieldFrame(EFieldJoin join, const char* field);
    CFieldFrame(const CFieldFrame&) = delete;
    CFieldFrame& operator=(const CFieldFrame&) = delete;
    ~CFieldFrame();

    // The reason of the decoding failure in flight, joined with the fields from this frame
    // out to the nearest boundary; nothing when a frame inside has rendered it already.
    void Render() const;

private:
    EFieldJoin m_join;
    const char* m_field;
    const CFieldFrame* m_pOuter;
};

// Runs `run` inside the field `field`; a decoding failure inside goes on with its reason
// joined to the path.
template <class Run>
decltype(auto) Annotated(EFieldJoin join, const char* field, Run&& run) {
    const CFieldFrame frame(join, field);
    try {
        return run();
    } catch (CDERDecodingException*) {
        frame.Render();
        throw;
    }
}

// A check whose failures name the path through `field` ("validity.notAfter: ...").
template <class Check>
decltype(auto) Within(const char* field, Check&& check) {
    return Annotated(EFieldJoin::kPath, field, std::forward<Check>(check));
}

// A conversion whose failure keeps its own reason and adds the field it was reading.
template <class Convert>
decltype(auto) Reading(const char* field, Convert&& convert) {
    return Annotated(EFieldJoin::kNote, field, std::forward<Convert>(convert));
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

// 1 when `check` passes, 0 when it raises the decoding exception; LastDecodingReason() then
// says why, with the path of the fields inside the check.
template <class Check>
int Passes(Check&& check) {
    const CFieldFrame boundary(EFieldJoin::kBoundary, nullptr);
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
