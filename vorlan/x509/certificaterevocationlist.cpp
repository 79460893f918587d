#include "vorlan/x509/certificaterevocationlist.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

#include "vorlan/x509/certificate.h"
#include "vorlan/x509/crldata.h"
#include "vorlan/x509/extensionvalues.h"
#include "vorlan/x509/signaturealgorithm.h"
#include "vorlan/x509/structurecheck.h"

IMPLEMENT_SERIAL(CCertificateRevocationList, CObject, VERSIONABLE_SCHEMA | 0)

// An open-addressing table of the entries' serial numbers, built once for an entry array of
// a given count and storage. Each slot holds the serial's hash and the index of the last
// entry with that serial; a lookup compares with the entries themselves.
class CCertificateRevocationList::CSerialIndex {
public:
    using Entries = CArray<CCRLEntry*, CCRLEntry*>;

    explicit CSerialIndex(const Entries& entries) : m_nCount(entries.GetSize()), m_pData(entries.GetData()) {
        int bits = 3;
        while ((std::size_t{1} << bits) < 2 * static_cast<std::size_t>(m_nCount)) ++bits;
        m_nShift = 64 - bits;
        m_slots.assign(std::size_t{1} << bits, Slot{0, -1});
        for (int i = 0; i < m_nCount; ++i) {
            if (!entries[i]) continue;
            const std::uint64_t hash = HashOf(entries[i]->m_serialNumber);
            m_slots[Probe(entries, entries[i]->m_serialNumber, hash)] = Slot{hash, i};  // the later entry wins
        }
    }

    bool Fits(const Entries& entries) const { return entries.GetSize() == m_nCount && entries.GetData() == m_pData; }

    int Find(const Entries& entries, const CSerialNumber& serial) const {
        return m_slots[Probe(entries, serial, HashOf(serial))].index;
    }

private:
    struct Slot {
        std::uint64_t hash;
        int index;  // -1: empty
    };

    // Numeric: leading zero octets aside, and zero has no sign.
    static std::uint64_t HashOf(const CSerialNumber& serial) {
        const BYTE* octets = serial.GetData();
        int at = 0;
        const int size = serial.GetSize();
        while (at < size && octets[at] == 0) ++at;
        std::uint64_t hash = 14695981039346656037u;  // FNV-1a
        for (; at < size; ++at) hash = (hash ^ octets[at]) * 1099511628211u;
        return serial.m_bNegative && hash != 14695981039346656037u ? ~hash : hash;
    }

    // The slot of `serial`, or the empty slot where it belongs (the table is never full).
    std::size_t Probe(const Entries& entries, const CSerialNumber& serial, std::uint64_t hash) const {
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t at = (hash * 0x9E3779B97F4A7C15u) >> m_nShift;; at = (at + 1) & mask) {
            const Slot& slot = m_slots[at];
            if (slot.index < 0) return at;
            const CCRLEntry* entry = entries[slot.index];
            if (slot.hash == hash && entry && entry->m_serialNumber == serial) return at;
        }
    }

    std::vector<Slot> m_slots;
    int m_nShift = 0;
    int m_nCount;
    const CCRLEntry* const* m_pData;
};

CCertificateRevocationList::CCertificateRevocationList() = default;

CCertificateRevocationList::CCertificateRevocationList(const CCertificateRevocationList& other) : CSignedObject() {
    *this = other;
}

CCertificateRevocationList::~CCertificateRevocationList() = default;

CCertificateRevocationList& CCertificateRevocationList::operator=(const CCertificateRevocationList& other) {
    if (this == &other) return *this;
    CArray<CCRLEntry*, CCRLEntry*> copies;
    copies.SetSize(0, other.m_entries.GetSize());
    for (int i = 0; i < other.m_entries.GetSize(); ++i)
        copies.Add(other.m_entries[i] ? new CCRLEntry(*other.m_entries[i]) : nullptr);
    CSignedObject::operator=(other);
    CopyFields(other);
    vorlan::detail::MoveEntries(copies, m_entries);
    return *this;
}

CCertificateRevocationList& CCertificateRevocationList::operator=(CCertificateRevocationList&& other) {
    if (this == &other) return *this;
    CSignedObject::operator=(std::move(other));
    CopyFields(other);
    vorlan::detail::MoveEntries(other.m_entries, m_entries);
    other.Reindex();
    return *this;
}

void CCertificateRevocationList::CopyFields(const CCertificateRevocationList& other) {
    m_lastUpdate = other.m_lastUpdate;
    m_nextUpdate = other.m_nextUpdate;
    m_bHasNextUpdate = other.m_bHasNextUpdate;
    m_bWritesEmptyEntries = other.m_bWritesEmptyEntries;
    m_issuer = other.m_issuer;
    m_bVersion = other.m_bVersion;
    m_extensions.Copy(other.m_extensions);
    Reindex();
}

void CCertificateRevocationList::Done() {
    m_entries.RemoveAll();
    m_issuer.RemoveAll();
    Reindex();
}

int CCertificateRevocationList::HasUnknownCriticalExtension() const { return !GetUnknownCriticalExtension().IsEmpty(); }

namespace {

// Only these inform; the delta indicator, the issuing distribution point and an entry's
// certificate issuer change what the list covers, which FindSerial does not apply.
constexpr const char* kInforming[] = {vorlan::oid::kCRLNumber, vorlan::oid::kAuthorityKeyIdentifier,
                                      vorlan::oid::kReasonCode, vorlan::oid::kInvalidityDate};

// The first extension that is critical and not informing, or a malformed value of one the
// Holder (CListExtensions, CEntryExtensions) reads; null when there is none.
template <class Holder>
const CCertificateExtension* NeedingAttention(const CCertificateExtensionArray& extensions) {
    for (int i = 0; i < extensions.GetSize(); ++i) {
        CCertificateExtensionArray one;
        one.Add(extensions[i]);
        if (!vorlan::detail::Passes([&] { Holder{one}; }) ||
            (extensions[i].m_bCritical &&
             std::none_of(std::begin(kInforming), std::end(kInforming),
                          [&](const char* known) { return extensions[i].m_strIdentifier == known; })))
            return &extensions[i];
    }
    return nullptr;
}

}  // namespace

CString CCertificateRevocationList::GetUnknownCriticalExtension() const {
    if (const CCertificateExtension* extension = NeedingAttention<CListExtensions>(m_extensions))
        return extension->m_strIdentifier;
    for (int i = 0; i < m_entries.GetSize(); ++i)
        if (const CCertificateExtension* extension =
                m_entries[i] ? NeedingAttention<CEntryExtensions>(m_entries[i]->m_extensions) : nullptr)
            return extension->m_strIdentifier;
    return CString();
}

int CCertificateRevocationList::IsSignatureOKFor(const CCertificate& issuer) const {
    return issuer.IsSignatureOfKey(*this);
}

int CCertificateRevocationList::FindSerial(const CSerialNumber& serial) const {
    if (!m_pIndex || !m_pIndex->Fits(m_entries)) m_pIndex = std::make_unique<CSerialIndex>(m_entries);
    return m_pIndex->Find(m_entries, serial);
}

void CCertificateRevocationList::Reindex() const { m_pIndex.reset(); }

void CCertificateRevocationList::EncodeFields(const vorlan::detail::SSignatureAlgorithm& algorithm,
                                              CByteArray& out) const {
    CASN1_CertificateRevocationListData data;
    vorlan::detail::BuildCRLData(data, *this, algorithm);
    data.encodeTo(out);
}

void CCertificateRevocationList::EncodeReadAgain(const CByteArray& octets, CByteArray& out) const {
    CCertificateRevocationList read;
    vorlan::detail::ReadCRLData(*vorlan::detail::DecodedOctets(octets), read);
    read.EncodeFields(*vorlan::detail::FindSignatureAlgorithm(read.m_nSignatureAlgorithm), out);
}

CCertificateRevocationList::operator CString() const {
    // Names are joined, not formatted: a value may hold a zero octet.
    CString text = "CRL issued by:\r\n" + CString(m_issuer) + "Last Update: " + m_lastUpdate.GetTimeAsString(1, 0) +
                   "\r\nNext Update: " + (m_bHasNextUpdate ? m_nextUpdate.GetTimeAsString(1, 0) : CString("NONE")) + "\r\nRevoked Certificates:\r\n";
    if (m_entries.GetSize() == 0) return text + "No CRL Entries\r\n";
    for (int i = m_entries.GetSize() - 1; i >= 0; --i)
        if (m_entries[i]) text += CString(*m_entries[i]) + "\r\n";
    return text;
}

void CCertificateRevocationList::Serialize(CArchive& ar) {
    // The high bit of the format octet: the version 2 fields follow the issuer; the next one:
    // the list names no next update, and none is stored; the third: an empty list is written
    // without revokedCertificates.
    constexpr BYTE kVersion2 = 0x80, kNoNextUpdate = 0x40, kNoEmptyEntries = 0x10;
    if (ar.IsStoring()) {
        const bool second = m_bVersion != 0 || m_extensions.GetSize() > 0;
        const bool noEmptyEntries = !m_bWritesEmptyEntries && m_entries.GetSize() == 0;
        const bool wide = NeedsWideFields({}, 0);
        ar << static_cast<BYTE>(RecordFormat() | (second ? kVersion2 : 0) | (m_bHasNextUpdate ? 0 : kNoNextUpdate) |
                                (noEmptyEntries ? kNoEmptyEntries : 0) | (wide ? kWideFields : 0));
        SerializeField(ar, m_signature, wide);
        ar << static_cast<WORD>(m_nSignatureAlgorithm) << m_wSignatureBits;
        SerializeDigests(ar, RecordFormat());
        m_entries.Serialize(ar);
        m_lastUpdate.Serialize(ar);
        if (m_bHasNextUpdate) m_nextUpdate.Serialize(ar);
        m_issuer.Serialize(ar);
        if (second) {
            ar << m_bVersion;
            m_extensions.Serialize(ar);
        }
        return;
    }
    CCertificateRevocationList loaded;
    BYTE format = 0;
    WORD algorithm = 0;
    ar >> format;
    const BYTE record = format & ~(kVersion2 | kNoNextUpdate | kNoEmptyEntries | kWideFields);
    const bool wide = format & kWideFields;
    SerializeField(ar, loaded.m_signature, wide);
    ar >> algorithm >> loaded.m_wSignatureBits;
    RequireLoadable(record, algorithm, loaded.m_wSignatureBits, wide);
    loaded.m_nSignatureAlgorithm = algorithm;
    loaded.SerializeDigests(ar, record);
    loaded.m_entries.Serialize(ar);
    loaded.m_lastUpdate.Serialize(ar);
    loaded.m_bHasNextUpdate = !(format & kNoNextUpdate);
    loaded.m_bWritesEmptyEntries = !(format & kNoEmptyEntries);
    if (loaded.m_bHasNextUpdate) loaded.m_nextUpdate.Serialize(ar);
    loaded.m_issuer.Serialize(ar);
    if (format & kVersion2) {
        ar >> loaded.m_bVersion;
        if (loaded.m_bVersion > 1) AfxThrowArchiveException(CArchiveException::generic);
        loaded.m_extensions.Serialize(ar);
    }
    loaded.BindLoadedDigests();
    *this = std::move(loaded);
}

void SerializeElements(CArchive& ar, CCertificateRevocationList* elements, int count) {
    for (int i = 0; i < count; ++i) elements[i].Serialize(ar);
}
