// CCertificateExtension: one extension of a version 3 certificate or a version 2 revocation
// list as it was received; the reading of the extensions of a tbsCertificate value and of
// Extensions values, and their writing.
#pragma once

#include "vorlan/asn1/objectidentifier.h"
#include "vorlan/asn1/sequence.h"
#include "vorlan/framework/array.h"

class CCertificateExtension {
public:
    CString m_strIdentifier;  // dotted, "2.5.29.19"
    int m_bCritical = 0;
    CByteArray m_abValue;  // the contents of extnValue: the extension's own DER
};

using CCertificateExtensionArray = CArray<CCertificateExtension, const CCertificateExtension&>;

// Archive form of each: the identifier, an octet 1 when critical (else 0), the value octets;
// loading refuses another critical octet (generic archive exception).
void SerializeElements(CArchive& ar, CCertificateExtension* elements, int count);

namespace vorlan::detail {

// The Extensions inside an explicit `tag` (named `name`), or the Extensions value, into
// `extensions` (replaced, or unchanged on failure); the decoding exception for a malformed
// one or one that appears twice.
void ReadTaggedExtensions(const CASN1Type& tagged, BYTE tag, const char* name, CCertificateExtensionArray& extensions);
void ReadExtensionList(const CASN1Type& value, CCertificateExtensionArray& extensions);
// The Extensions value of `extensions` in DER (critical written only when set); the decoding
// exception for an identifier that cannot be written.
CASN1_SEQUENCE* NewExtensionList(const CCertificateExtensionArray& extensions);
// The identifier of a dotted text of two arcs or more ("2.5.29.20"); the decoding exception for
// a text that is not one the identifier class can hold.
CASN1_OBJECT_IDENTIFIER* NewIdentifier(const CString& dotted);

}  // namespace vorlan::detail
