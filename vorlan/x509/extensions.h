// CCertificateExtension: one extension of a version 3 certificate as it was received, and the
// reading of the extensions of a tbsCertificate value.
#pragma once

#include "vorlan/asn1/asn1type.h"
#include "vorlan/framework/array.h"

class CCertificateExtension {
public:
    CString m_strIdentifier;  // dotted, "2.5.29.19"
    int m_bCritical = 0;
    CByteArray m_abValue;  // the contents of extnValue: the extension's own DER
};

using CCertificateExtensionArray = CArray<CCertificateExtension, const CCertificateExtension&>;

namespace detail {

inline constexpr const char* kBasicConstraints = "2.5.29.19";

// The extensions of a tbsCertificate value in their order (none without the [3] component);
// the decoding exception naming the field for a malformed one or one that appears twice.
void ReadExtensions(const CASN1Type& tbsCertificate, CCertificateExtensionArray& extensions);
// The cA flag of a basicConstraints value; the decoding exception when it is malformed.
int BasicConstraintsCA(const CByteArray& value);

}  // namespace detail
