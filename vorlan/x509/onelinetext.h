// One attribute as RFC 4514 text: "CN=Erika Mustermann". The value is UTF-8 (UTF8String
// octets as they stand, the single-octet string types read as Latin-1, as readers do),
// with the escapes of RFC 4514 and control octets as \XX; a type without a short name is
// written as its dotted identifier and an OCTET STRING or such a type's value as "#" and
// the hexadecimal of the value's encoding.
#pragma once

#include "vorlan/x509/attributevalue.h"

namespace vorlan::detail {
CString OneLineAttribute(const CAttributeValue& attribute);
}  // namespace vorlan::detail
