/// \file
/// CCRLEntry: one revoked certificate of a revocation list, its serial number (with its sign),
/// the date it was revoked and, in a version 2 list, its extensions (a reason code, say).
#pragma once

#include "vorlan/framework/array.h"
#include "vorlan/x509/extensions.h"
#include "vorlan/x509/serialnumber.h"
#include "vorlan/x509/utctime.h"

/// One revoked certificate of a revocation list: its serial number (with its sign), the date it
/// was revoked and, in a version 2 list, its extensions. A plain value with deep copies.
class CCRLEntry : public CObject {
    DECLARE_SERIAL(CCRLEntry)
public:
    /// An empty serial number, revoked now.
    CCRLEntry() = default;
    /// The serial number revoked at the date, no extensions.
    CCRLEntry(const CSerialNumber& serialNumber, const CUTCTime& revocationDate);
    /// A copy of every field.
    CCRLEntry(const CCRLEntry& other);
    /// Copies every field.
    CCRLEntry& operator=(const CCRLEntry& other);
    ~CCRLEntry() override = default;

    /// "Serial Number: <hex> Revocation Date: <date, time with seconds, zone>".
    operator CString() const;  // NOLINT: the client's text conversion

    /// Octet 0, the serial number, the date; with extensions octet 1 and the extensions after
    /// the date. Loading refuses another octet (generic archive exception) and, like any
    /// failure, leaves the entry as it was.
    void Serialize(CArchive& ar) override;

    CSerialNumber m_serialNumber;  ///< the revoked certificate's serial number
    CUTCTime m_revocationDate;  ///< when it was revoked
    CCertificateExtensionArray m_extensions;  ///< crlEntryExtensions, as received
};

///@{
/// Arrays of entry pointers own the entries: destroying deletes them, loading creates the
/// missing ones.
void DestructElements(CCRLEntry** elements, int count);
void SerializeElements(CArchive& ar, CCRLEntry** elements, int count);
///@}

namespace vorlan::detail {
/// The entries of `from` in place of those of `to` (deleted); `from` is left empty.
void MoveEntries(CArray<CCRLEntry*, CCRLEntry*>& from, CArray<CCRLEntry*, CCRLEntry*>& to);
}  // namespace vorlan::detail
