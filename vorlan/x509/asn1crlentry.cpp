#include "vorlan/x509/asn1crlentry.h"

#include <memory>

#include "vorlan/x509/crlentry.h"
#include "vorlan/x509/structurecheck.h"
#include "vorlan/x509/times.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_CRLEntry, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_RevokedCertificates, CASN1_CONSTRUCTED_TYPE)

namespace {

using vorlan::detail::CStructureReader;

constexpr const char* kEntryExtensions = "crlEntryExtensions";

// Extensions that read (CCertificateExtension), or the decoding exception naming `field`.
void CheckExtensions(const CASN1Type& value, const char* field) {
    CCertificateExtensionArray read;
    vorlan::detail::Within(field, [&] { vorlan::detail::ReadExtensionList(value, read); });
}

// CRLEntry  ::=  SEQUENCE  {
//      userCertificate         CertificateSerialNumber,
//      revocationDate          Time,
//      crlEntryExtensions      Extensions OPTIONAL  }  -- version 2 only
struct SCRLEntry {
    const CASN1_INTEGER* userCertificate = nullptr;
    const CASN1Type* revocationDate = nullptr;
    const CASN1Type* crlEntryExtensions = nullptr;
};

// The one walk over an entry: its fields in order, extensions only as `version2` allows.
SCRLEntry WalkEntry(const CASN1Type& value, int anyTag, bool version2, const char* structure) {
    CStructureReader reader = vorlan::detail::ReaderOf(value, kASN1Sequence, anyTag, structure);
    SCRLEntry fields;
    fields.userCertificate = &vorlan::detail::NextOf<CASN1_INTEGER>(reader, kASN1Integer, "userCertificate");
    fields.revocationDate = &vorlan::detail::NextTime(reader, "revocationDate");
    if (version2) fields.crlEntryExtensions = reader.Optional(kASN1Sequence);
    reader.End(structure);
    return fields;
}

void CheckEntry(const CASN1Type& value, int anyTag, bool version2) {
    const SCRLEntry fields = WalkEntry(value, anyTag, version2, vorlan::detail::kThisStructure);
    vorlan::detail::CheckTime(*fields.revocationDate, "revocationDate");
    if (fields.crlEntryExtensions) CheckExtensions(*fields.crlEntryExtensions, kEntryExtensions);
}

void ReadEntry(const CASN1Type& value, CCRLEntry& entry) {
    const SCRLEntry fields = WalkEntry(value, 1, true, "CRLEntry");
    vorlan::detail::Reading("userCertificate",
                            [&] { entry.m_serialNumber = static_cast<CSerialNumber>(*fields.userCertificate); });
    vorlan::detail::ReadTime(*fields.revocationDate, "revocationDate", entry.m_revocationDate);
    if (fields.crlEntryExtensions)
        vorlan::detail::Within(kEntryExtensions,
                               [&] { vorlan::detail::ReadExtensionList(*fields.crlEntryExtensions, entry.m_extensions); });
    else
        entry.m_extensions.RemoveAll();
}

}  // namespace

CASN1_CRLEntry::CASN1_CRLEntry(CASN1_INTEGER* userCertificate, CASN1_UTCTime* revocationDate) {
    std::unique_ptr<CASN1_UTCTime> ownedDate(revocationDate);
    AddObject(userCertificate);
    AddObject(ownedDate.release());
}

CASN1_CRLEntry::CASN1_CRLEntry(const CCRLEntry& entry) { GetDataFrom(entry); }

void CASN1_CRLEntry::GetDataFrom(const CCRLEntry& entry) {
    clear();
    std::unique_ptr<CASN1Type> date(vorlan::detail::NewTime(entry.m_revocationDate));
    std::unique_ptr<CASN1_SEQUENCE> extensions(entry.m_extensions.GetSize() > 0 ? vorlan::detail::NewExtensionList(entry.m_extensions) : nullptr);
    AddObject(new CASN1_INTEGER(entry.m_serialNumber));
    AddObject(date.release());
    if (extensions) AddObject(extensions.release());
}

void CASN1_CRLEntry::SetDataTo(CCRLEntry& entry) const {
    CCRLEntry read(entry);
    ReadEntry(*this, read);
    entry = read;
}

int CASN1_CRLEntry::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] { CheckEntry(*value, anyTag, true); });
}

CASN1_RevokedCertificates::CASN1_RevokedCertificates(const CArray<CCRLEntry*, CCRLEntry*>& entries) {
    GetDataFrom(entries);
}

void CASN1_RevokedCertificates::GetDataFrom(const CArray<CCRLEntry*, CCRLEntry*>& entries) {
    clear();
    try {
        for (int i = 0; i < entries.GetSize(); ++i) {
            if (!entries[i])
                ___throwDERDecodingException("RevokedCertificates cannot be written: entry %d is missing", i);
            AddObject(new CASN1_CRLEntry(*entries[i]));
        }
    } catch (CDERDecodingException*) {
        clear();
        throw;
    }
}

void CASN1_RevokedCertificates::SetDataTo(CArray<CCRLEntry*, CCRLEntry*>& entries) const {
    vorlan::detail::ReadEntries(*this, entries);
}

int CASN1_RevokedCertificates::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] { vorlan::detail::CheckEntries(*value, anyTag, true); });
}

namespace vorlan::detail {

const CUTCTime& Epoch() {
    static const CUTCTime epoch(std::time_t{0});
    return epoch;
}

void CheckEntries(const CASN1Type& value, int anyTag, bool version2) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, anyTag, kThisStructure);
    while (!reader.AtEnd()) {
        const CASN1Type& entry = reader.Next(kASN1Sequence, "crlEntry");
        Within("crlEntry", [&] { CheckEntry(entry, 0, version2); });
    }
}

void ReadEntries(const CASN1Type& value, CArray<CCRLEntry*, CCRLEntry*>& entries) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, 1, "revokedCertificates");
    const auto& list = static_cast<const CASN1_CONSTRUCTED_TYPE&>(value);
    CArray<CCRLEntry*, CCRLEntry*> read;
    read.SetSize(0, list.GetCount());
    Within("revokedCertificates", [&] {
        while (!reader.AtEnd()) {
            auto entry = std::make_unique<CCRLEntry>(CSerialNumber(), Epoch());
            ReadEntry(reader.Next(kASN1Sequence, "crlEntry"), *entry);
            read.Add(entry.release());
        }
    });
    MoveEntries(read, entries);
}

}  // namespace vorlan::detail
