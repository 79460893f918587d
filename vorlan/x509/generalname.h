// CGeneralName: one GeneralName of RFC 5280 4.2.1.6 as the extensions carry it (alternative
// names, authority and distribution point names, name constraints), with its reading from and
// writing to DER.
#pragma once

#include <vector>

#include "vorlan/x509/distinguishedname.h"

class CASN1Type;
class CASN1_SEQUENCE;

/// One GeneralName: its alternative and its value.
class CGeneralName {
public:
    /// The alternatives, numbered as their context tags.
    enum EKind : BYTE {
        kOtherName = 0,
        kRfc822Name = 1,
        kDNSName = 2,
        kX400Address = 3,
        kDirectoryName = 4,
        kEdiPartyName = 5,
        kURI = 6,
        kIPAddress = 7,
        kRegisteredID = 8
    };

    EKind m_kind = kRfc822Name;
    CString m_strText;                   ///< rfc822Name, dNSName, URI as IA5 text; registeredID dotted
    CDistinguishedName m_directoryName;  ///< directoryName
    CByteArray m_abOctets;               ///< iPAddress (4 or 16 octets, twice that in a subtree); the
                                         ///< contents as received for otherName, x400Address, ediPartyName
};

/// GeneralNames, in the order of the encoding.
using CGeneralNames = std::vector<CGeneralName>;

namespace vorlan::detail {

// The contents octets of a primitive value (an OCTET STRING, or one implicitly tagged); the
// decoding exception naming `field` for a constructed one.
CByteArray PrimitiveContents(const CASN1Type& value, const char* field);

// The GeneralName `value` (a component of a GeneralNames); the decoding exception naming the
// alternative when it is malformed.
void ReadGeneralName(const CASN1Type& value, CGeneralName& name);
// A GeneralNames, SEQUENCE SIZE (1..MAX) OF GeneralName; with anyTag under an implicit tag.
void ReadGeneralNames(const CASN1Type& value, int anyTag, CGeneralNames& names);
// The value of `name`; the decoding exception when it cannot be written (a text that is not
// IA5, a registeredID that is not dotted, octets that are not an alternative's contents).
CASN1Type* NewGeneralName(const CGeneralName& name);
// The GeneralNames of `names` (one at least), tagged `tag` unless it is 0.
CASN1Type* NewGeneralNames(const CGeneralNames& names, BYTE tag = 0);

}  // namespace vorlan::detail
