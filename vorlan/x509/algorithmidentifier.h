/// \file
/// CASN1_AlgorithmIdentifier: an algorithm's object identifier and its optional parameters.
#pragma once

#include "vorlan/asn1/objectidentifier.h"
#include "vorlan/asn1/sequence.h"

/// AlgorithmIdentifier ::= SEQUENCE { algorithm, parameters ANY OPTIONAL }; it owns both.
class CASN1_AlgorithmIdentifier : public CASN1_SEQUENCE {
public:
    CASN1_AlgorithmIdentifier() = default;
    /// Owns both from now on; null parameters leave the identifier alone.
    CASN1_AlgorithmIdentifier(CASN1_OBJECT_IDENTIFIER* algorithm, CASN1Type* parameters);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_AlgorithmIdentifier)

    /// An OBJECT IDENTIFIER, then at most one value of any kind.
    static int isValid(const CASN1Type* value, int anyTag);
};

namespace vorlan::detail {
/// The check of isValid; fails with the decoding exception naming the field.
void CheckAlgorithmIdentifier(const CASN1Type& value, int anyTag);
}  // namespace vorlan::detail
