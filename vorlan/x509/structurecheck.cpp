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

void PrefixReason(const char* field) {
    char reason[vorlan::detail::kReasonSize];
    std::strncpy(reason, LastDecodingReason(), sizeof reason - 1);
    reason[sizeof reason - 1] = '\0';
    // A field of the structure, the structure itself, or a sentence of a lower layer.
    SetReason(std::islower(static_cast<unsigned char>(reason[0])) ? "%s.%s"
              : reason[0] == ':'                                  ? "%s%s"
                                                                  : "%s: %s",
              field, reason);
}

void SuffixReason(const char* field) { CDERDecodingException::Append(" (%s)", field); }

}  // namespace vorlan::detail
