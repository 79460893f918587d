/// \file
/// CCertificateRevocationList: an issuer's signed list of revoked serial numbers as the client
/// handles it — the entries, both update times, the issuer, in a version 2 list the version and
/// the extensions of the list and its entries, and the signature with the cached digests of the
/// signed part (CSignedObject). It signs itself, checks its signature, looks serial numbers up,
/// archives and prints itself.
/// CASN1_CertificateRevocationList fills it (SetDataTo) and is built from it (GetDataFrom).
#pragma once

#include <memory>

#include "vorlan/x509/crlentry.h"
#include "vorlan/x509/distinguishedname.h"
#include "vorlan/x509/signedobject.h"

class CCertificate;

/// An issuer's signed list of revoked serial numbers as the client handles it: the entries, both
/// update times, the issuer, the extensions and the signature. A value with deep copies; it owns
/// its entries.
class CCertificateRevocationList : public CSignedObject {
    DECLARE_SERIAL(CCertificateRevocationList)
public:
    /// No entries, both times now, an empty issuer, SHA-1 with RSA, no signature, no digest.
    CCertificateRevocationList();
    /// Deep copies of the entries and every field; a digest only when its flag is set.
    CCertificateRevocationList(const CCertificateRevocationList& other);
    /// Deep copies, as the copy constructor makes them; the own entries are deleted.
    CCertificateRevocationList& operator=(const CCertificateRevocationList& other);
    /// Takes the entries over; `other` is left without entries.
    CCertificateRevocationList& operator=(CCertificateRevocationList&& other);
    ~CCertificateRevocationList() override;

    /// Deletes the entries and empties the issuer.
    void Done();

    using CSignedObject::IsSignatureOKFor;
    /// The signature check with the issuer's key, RSA or EC.
    int IsSignatureOKFor(const CCertificate& issuer) const;

    /// The index of the last entry whose serial number equals `serial` (with its sign), -1
    /// when there is none. The serial numbers are indexed once and looked up in constant
    /// time; the index is rebuilt when the list is read, loaded, assigned or emptied and when
    /// the entry array changes its count or storage. An entry edited or replaced in place at
    /// the same count is seen after Reindex().
    int FindSerial(const CSerialNumber& serial) const;
    /// Drops the index of the serial numbers; the next lookup indexes the entries again.
    void Reindex() const;

    /// 1 when the list or one of its entries has a critical extension whose meaning FindSerial
    /// and IsPresentInCRL do not apply (every one but the CRL number, the authority key
    /// identifier, the reason code and the invalidity date, which only inform), or a malformed
    /// value of an extension CListExtensions or CEntryExtensions reads, critical or not. The
    /// delta list indicator, the issuing distribution point and an entry's certificate issuer are
    /// read there but count here: such a list may revoke less or otherwise than its entries say
    /// (a delta list, a partial or indirect one), and a caller that does not apply them through
    /// CListExtensions should refuse it. The signature check does not look at it.
    int HasUnknownCriticalExtension() const;
    /// The identifier of the first such extension, the list's before its entries'; empty when there is none.
    CString GetUnknownCriticalExtension() const;

    /// "CRL issued by:", the issuer, both times and the entries, last entry first.
    operator CString() const;  // NOLINT: the client's text conversion

    /// Format octet 1 (2 with a SHA-256 digest, 3 with a SHA-384 or SHA-512 one), the signature,
    /// algorithm, bit count and digests, then the entries, both times and the issuer; a version 2
    /// list has the format octet's high bit set and its version and extensions after the issuer; a
    /// list without a next update has the next bit (0x40) set and stores no next update; a list
    /// without entries that leaves out revokedCertificates has the bit 0x10 set; a signature past
    /// 2,048 bits sets kWideFields (0x20) and is stored whole. Loading accepts formats 0 to 3 (each
    /// with those bits too), refuses an unknown algorithm and a signature past its field
    /// (generic archive exception); a failed load leaves the list as it was.
    void Serialize(CArchive& ar) override;

    CArray<CCRLEntry*, CCRLEntry*> m_entries;  ///< owned
    CUTCTime m_lastUpdate;  ///< thisUpdate: when the list was issued
    CUTCTime m_nextUpdate;                    ///< meaningful only with m_bHasNextUpdate
    BYTE m_bHasNextUpdate = 1;                ///< 0: the list names no next update (RFC 5280 lets it out)
    /// Without entries, 1 writes an empty revokedCertificates; 0 leaves it out, as RFC 5280 asks
    /// and as lists read without one had it, so that they write back as they were signed.
    BYTE m_bWritesEmptyEntries = 1;
    /// The issuer's name.
    CDistinguishedName m_issuer;
    BYTE m_bVersion = 0;                      ///< as encoded: 0 for version 1 (written without), 1 for version 2
    CCertificateExtensionArray m_extensions;  ///< crlExtensions of a version 2 list, as received

private:
    friend class CASN1_CertificateRevocationList;
    friend class CASN1_CertificateRevocationListData;
    class CSerialIndex;

    void EncodeFields(const vorlan::detail::SSignatureAlgorithm& algorithm, CByteArray& out) const override;
    void EncodeReadAgain(const CByteArray& octets, CByteArray& out) const override;
    /// Every field but the entries and CSignedObject's; the index is dropped.
    void CopyFields(const CCertificateRevocationList& other);

    mutable std::unique_ptr<CSerialIndex> m_pIndex;
};

/// Arrays hold lists by value: the framework's element functions construct and destroy them;
/// each archives in its own form.
void SerializeElements(CArchive& ar, CCertificateRevocationList* elements, int count);
