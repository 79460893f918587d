/// \file
/// The DER decoder: one recursive driver over identifier and length octets that
/// hands contents and components to the values' own slots.
///
/// Hostile input: an element or component that runs past the end of the data or of its
/// parent fails, nothing is sized before the data are known to hold it, and constructed
/// encodings nest at most kMaxDERNestingDepth levels (real certificates, messages and
/// LDAP filters stay far below).
#pragma once

#include "vorlan/asn1/asn1type.h"

/// the deepest nesting of constructed encodings the decoder reads
inline constexpr int kMaxDERNestingDepth = kDERLimits.nestingDepth;

/// The value class for an identifier octet (constructed bit cleared); the caller owns it.
CASN1Type* ___makeASN1Class(unsigned char identifier);
/// One element at the position into a new value of the class its identifier gives.
CASN1Type* ___buildFromEncoding(CDEREncoding& der);
/// One element at the position into `target`, which must carry the element's identifier.
void ___buildFromEncoding(CASN1Type& target, CDEREncoding& der);
/// Contents only (no identifier and length at the position), in the target's own form.
void ___getContentsFromEncoding(CASN1Type& target, CDEREncoding& der, unsigned long length);
