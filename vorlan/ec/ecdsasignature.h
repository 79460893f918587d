// The DER form of an ECDSA signature (RFC 3279, SEC 1 C.5):
//   Ecdsa-Sig-Value ::= SEQUENCE { r INTEGER, s INTEGER }
// read strictly by a small bounded reader, since the ASN.1 classes lie above this layer.
#pragma once

#include <span>

namespace vorlan::detail {

// The contents octets of r and s (windows on `der`) when `der` is exactly one such
// SEQUENCE in DER: definite minimal lengths, minimal positive INTEGERs, nothing after
// s or after the SEQUENCE. False for anything else.
bool ParseEcdsaSignature(std::span<const unsigned char> der, std::span<const unsigned char>& r,
                         std::span<const unsigned char>& s);

}  // namespace vorlan::detail
