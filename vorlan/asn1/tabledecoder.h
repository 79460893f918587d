/// \file
/// The table-directed decoder: reads a value of a named type with each component made in the
/// class its row names (records as their own classes, tagged members as CASN1_TAGGED, universal
/// members as their universal classes), and validates while it reads, so a decoded structure is
/// checked once and its accessors hand out references to objects of the very classes they name.
///
/// Hostile input is bounded as by the generic decoder: lengths against the data, nesting depth
/// against kMaxDERNestingDepth, contents kept as windows on the shared encoding.
#pragma once

#include "vorlan/asn1/componenttable.h"

/// Forms a decode accepts: the decoder's BER, or only definite lengths and primitive OCTET
/// STRINGs (what LDAP peers send, RFC 4511 section 5.1).
enum class EASN1DecodeForm { tolerant, definitePrimitiveStrings };

/// Decodes the element at the encoding's position into `target`, a new value of the named type
/// `type` (its identifier must match), and advances the position past it. Malformed input fails
/// with the decoding exception; a structure that fails the type's table with the reason
/// "<type name>::(CDEREncoding& der) - der not valid". On failure the target is cleared.
void ASN1DecodeNamed(CASN1Type& target, const ASN1_TYPE_INFO& type, CDEREncoding& der,
                     EASN1DecodeForm form = EASN1DecodeForm::tolerant);
