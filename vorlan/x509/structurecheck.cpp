#include "vorlan/x509/structurecheck.h"

#include <cctype>
#include <cstdarg>
#include <cstring>

#include "vorlan/asn1/decoder.h"

namespace vorlan::detail {
namespace {

void SetReason(const char* format, ...) __attribute__((format(printf, 1, 2)));
void SetReason(const char* format, ...) {
    va_list args;
    va_start(args, format);
    CDERDecodingException::SetReasonV(format, args);
    va_end(args);
}

}  // namespace

CStructureReader ReaderOf(const CASN1Type& value, BYTE identifier, int anyTag, const char* structure) {
    const auto* constructed = dynamic_cast<const CASN1_CONSTRUCTED_TYPE*>(&value);
    if (!constructed || !value.m_bConstructed || (!anyTag && value.identifier != identifier))
        ___throwDERDecodingException("%s: constructed value of identifier 0x%02x expected", structure, identifier);
    return CStructureReader(*constructed);
}

std::unique_ptr<CASN1Type> DecodedOctets(const CByteArray& octets) {
    CDEREncoding der(0, const_cast<BYTE*>(octets.GetData()), static_cast<unsigned long>(octets.GetSize()), 0, 0);
    return std::unique_ptr<CASN1Type>(___buildFromEncoding(der));
}

void Require(bool ok, const char* field) {
    if (!ok) ___throwDERDecodingException("%s is not valid", field);
}

void CheckField(CStructureReader& reader, BYTE identifier, const char* field, void (*check)(const CASN1Type&, int)) {
    const CASN1Type& component = reader.Next(identifier, field);
    Within(field, [&] { check(component, 0); });
}

namespace {

// The innermost frame of the calling thread's path, and the count of the last reason rendered.
thread_local const CFieldFrame* t_pInnermost = nullptr;
thread_local unsigned t_nRendered = ~0u;

// The reason with `field` joined as `join` says.
void Join(EFieldJoin join, const char* field) {
    char reason[kReasonSize];
    std::strncpy(reason, LastDecodingReason(), sizeof reason - 1);
    reason[sizeof reason - 1] = '\0';
    switch (join) {
        case EFieldJoin::kPath:
            // A field of the structure, the structure itself, or a sentence of a lower layer.
            SetReason(std::islower(static_cast<unsigned char>(reason[0])) ? "%s.%s"
                      : reason[0] == ':'                                  ? "%s%s"
                                                                          : "%s: %s",
                      field, reason);
            break;
        case EFieldJoin::kNote:
            SetReason("%s (%s)", reason, field);
            break;
        case EFieldJoin::kWrap:
            SetReason("%s (%s)", field, reason);
            break;
        case EFieldJoin::kBoundary:
            break;
    }
}

}  // namespace

CFieldFrame::CFieldFrame(EFieldJoin join, const char* field)
    : m_join(join), m_field(field), m_pOuter(t_pInnermost) {
    t_pInnermost = this;
}

CFieldFrame::~CFieldFrame() { t_pInnermost = m_pOuter; }

void CFieldFrame::Render() const {
    if (CDERDecodingException::ReasonCount() == t_nRendered) return;
    for (const CFieldFrame* frame = this; frame && frame->m_join != EFieldJoin::kBoundary; frame = frame->m_pOuter)
        Join(frame->m_join, frame->m_field);
    t_nRendered = CDERDecodingException::ReasonCount();
}

}  // namespace vorlan::detail
