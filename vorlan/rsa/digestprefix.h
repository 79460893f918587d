// The fixed DER prefixes of the PKCS#1 DigestInfo put in front of a signed digest
// (AlgorithmIdentifier with NULL parameters, then the OCTET STRING header).
#pragma once

#include <span>

#include "vorlan/framework/types.h"
#include "vorlan/rsa/digestinfo.h"

namespace vorlan::detail {

struct SDigestInfo {
    EDigestAlgorithm algorithm;
    const char* name;  // as the reason texts spell it
    std::span<const BYTE> header;
    int digestSize;

    int BlockSize() const { return static_cast<int>(header.size()) + digestSize; }
};

// The row of an algorithm; CNotSupportedException for any other value.
const SDigestInfo& FindDigestInfo(EDigestAlgorithm algorithm);

}  // namespace vorlan::detail
