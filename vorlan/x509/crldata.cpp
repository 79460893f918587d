#include "vorlan/x509/crldata.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "vorlan/asn1/decoder.h"
#include "vorlan/asn1/derreader.h"
#include "vorlan/asn1/tagged.h"
#include "vorlan/x509/algorithmidentifier.h"
#include "vorlan/x509/certificaterevocationlist.h"
#include "vorlan/x509/crlentry.h"
#include "vorlan/x509/extensions.h"
#include "vorlan/x509/rdnsequence.h"
#include "vorlan/x509/signaturealgorithm.h"
#include "vorlan/x509/structurecheck.h"
#include "vorlan/x509/times.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_CertificateRevocationListData, CASN1_CONSTRUCTED_TYPE)

namespace {

using vorlan::detail::CStructureReader;

constexpr const char* kLastUpdate = "lastUpdate";
constexpr const char* kNextUpdate = "nextUpdate";  // optional (RFC 5280 5.1.2.5)

constexpr BYTE kExtensionsTag = ASN1ContextTag(0);

// The number of a version INTEGER; false when it does not read as one.
bool ReadVersion(const CASN1Type& value, unsigned long& number) {
    const auto* integer = dynamic_cast<const CASN1_INTEGER*>(&value);
    return integer && integer->GetInteger(number);
}

using vorlan::detail::CDERReader;
using vorlan::detail::SDERElement;

// The next element of `reader`, false when there is none that reads.
bool NextElement(CDERReader& reader, SDERElement& element) {
    return !reader.AtEnd() && reader.Next(element) == vorlan::detail::EDERFault::none;
}

// Levels of constructed values in `value`, itself included.
int Levels(const CASN1Type& value) {
    const auto* constructed = dynamic_cast<const CASN1_CONSTRUCTED_TYPE*>(&value);
    if (!constructed || !value.m_bConstructed) return 0;
    int deepest = 0;
    for (int i = 0; i < constructed->GetCount(); ++i)
        deepest = std::max(deepest, Levels(constructed->GetComponent(i)));
    return 1 + deepest;
}

// The value of an element, by the generic decoder.
CASN1Type* Decoded(const SDERElement& element) {
    CDEREncoding der(0, const_cast<BYTE*>(element.begin), static_cast<unsigned long>(element.end - element.begin), 0, 0);
    return ___buildFromEncoding(der);
}

// The number of a version INTEGER element; false when it does not read as one.
bool ReadVersion(const SDERElement& element, unsigned long& number) {
    const std::unique_ptr<CASN1Type> value(Decoded(element));
    return ReadVersion(*value, number);
}

// The fields of a structure read straight from its element, as CStructureReader reads those of
// a decoded value: the scanner walks a list by the walk of its decoded form. A TBSCertList's
// seven fields are the most one walk takes.
class CElementFields {
public:
    using Component = const SDERElement;

    explicit CElementFields(const SDERElement& element) : m_reader(element) {}

    const SDERElement* Optional(BYTE identifier) {
        if (!Peek() || ASN1StoredIdentifier(m_next.identifier) != identifier) return nullptr;
        if (m_nTaken == kMaxFields) ___throwDERDecodingException("more fields than a structure has");
        m_taken[m_nTaken] = m_next;
        m_bPeeked = false;
        return &m_taken[m_nTaken++];
    }
    const SDERElement& Next(BYTE identifier, const char* field) {
        if (const SDERElement* element = Optional(identifier)) return *element;
        ___throwDERDecodingException("%s is missing", field);
    }
    void End(const char* structure) {
        if (Peek()) ___throwDERDecodingException("%s: unexpected component after the last field", structure);
    }

private:
    static constexpr int kMaxFields = 7;

    // The next element into m_next, read once; false at the end. A header that does not read is
    // the decoding exception.
    bool Peek() {
        if (m_bPeeked || m_reader.AtEnd()) return m_bPeeked;
        if (const vorlan::detail::EDERFault fault = m_reader.Next(m_next); fault != vorlan::detail::EDERFault::none)
            vorlan::detail::ThrowDERFault(fault);
        return m_bPeeked = true;
    }

    CDERReader m_reader;
    SDERElement m_next;
    bool m_bPeeked = false;
    SDERElement m_taken[kMaxFields];
    int m_nTaken = 0;
};

// The entries of a revokedCertificates element, each a primitive INTEGER and UTCTime that
// read (and, with `version2`, extensions), into `entries` (only read when null); false at the
// first that is not.
bool ScanEntries(const SDERElement& list, bool version2, CArray<CCRLEntry*, CCRLEntry*>* entries) {
    CCRLEntry scratch(CSerialNumber(), vorlan::detail::Epoch());
    SDERElement entry, number, time, extensions;
    for (CDERReader reader(list); !reader.AtEnd();) {
        if (!NextElement(reader, entry) || entry.identifier != (kASN1Sequence | kASN1Constructed)) return false;
        CDERReader fields(entry);
        if (!NextElement(fields, number) || number.identifier != kASN1Integer || !NextElement(fields, time) ||
            time.identifier != kASN1UTCTime)
            return false;
        std::unique_ptr<CCRLEntry> read(entries ? new CCRLEntry(scratch) : nullptr);
        CCRLEntry& target = read ? *read : scratch;
        if (!vorlan::detail::ReadSerial(number.contents, static_cast<int>(number.Length()), target.m_serialNumber) ||
            !target.m_revocationDate.ReadText(time.contents, time.Length()))
            return false;
        if (!fields.AtEnd()) {
            if (!version2 || !NextElement(fields, extensions) || !fields.AtEnd() ||
                extensions.identifier != (kASN1Sequence | kASN1Constructed))
                return false;
            const std::unique_ptr<CASN1Type> value(Decoded(extensions));
            if (Levels(*value) + 4 > kMaxDERNestingDepth) return false;  // an entry's extensions lie 4 levels down
            vorlan::detail::ReadExtensionList(*value, target.m_extensions);
        }
        if (read) entries->Add(read.release());
    }
    return true;
}

}  // namespace

CASN1_CertificateRevocationListData::CASN1_CertificateRevocationListData(const CCertificateRevocationList& crl) {
    GetDataFrom(crl);
}

void CASN1_CertificateRevocationListData::GetDataFrom(const CCertificateRevocationList& crl) {
    const vorlan::detail::SSignatureAlgorithm* algorithm = vorlan::detail::FindSignatureAlgorithm(crl.m_nSignatureAlgorithm);
    if (!algorithm)
        ___throwDERDecodingException("CertificateRevocationListData cannot be written: unknown signature algorithm %d",
                                     crl.m_nSignatureAlgorithm);
    vorlan::detail::BuildCRLData(*this, crl, *algorithm);
}

void CASN1_CertificateRevocationListData::SetDataTo(CCertificateRevocationList& crl) const {
    CCertificateRevocationList read(crl);
    read.ForgetDigests();
    vorlan::detail::ReadCRLData(*this, read);
    crl = std::move(read);
}

int CASN1_CertificateRevocationListData::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] { vorlan::detail::CheckCRLData(*value, anyTag); });
}

namespace vorlan::detail {

// TBSCertList  ::=  SEQUENCE  {
//      version                 Version OPTIONAL,  -- if present, MUST be v2
//      signature               AlgorithmIdentifier,
//      issuer                  Name,
//      thisUpdate              Time,
//      nextUpdate              Time OPTIONAL,
//      revokedCertificates     SEQUENCE OF CRLEntry OPTIONAL,
//      crlExtensions           [0] EXPLICIT Extensions OPTIONAL  }  -- version 2 only
template <class Component>
struct STBSCertList {
    Component* versionField = nullptr;
    unsigned long version = 0;  // as encoded: 1 for version 2
    Component* signature = nullptr;
    Component* issuer = nullptr;
    Component* thisUpdate = nullptr;
    Component* nextUpdate = nullptr;
    Component* revokedCertificates = nullptr;
    Component* crlExtensions = nullptr;
};

// The one walk over a TBSCertList: its fields in order, the optional ones as the version allows,
// nothing after them. Reader reads decoded components or, for the scanner, elements in memory.
// A version that does not read or passes `maxVersion` fails with `badVersion`, or "version is
// not valid" when that is null.
template <class Reader>
STBSCertList<typename Reader::Component> WalkTBSCertList(Reader& reader, const char* structure, unsigned long maxVersion,
                                                         const char* badVersion) {
    STBSCertList<typename Reader::Component> fields;
    fields.versionField = reader.Optional(kASN1Integer);
    if (fields.versionField && (!ReadVersion(*fields.versionField, fields.version) || fields.version > maxVersion)) {
        if (badVersion) ___throwDERDecodingException("%s", badVersion);
        Require(false, "version");
    }
    fields.signature = &reader.Next(kASN1Sequence, "signature");
    fields.issuer = &reader.Next(kASN1Sequence, "issuer");
    fields.thisUpdate = &NextTime(reader, kLastUpdate);
    fields.nextUpdate = OptionalTime(reader);
    fields.revokedCertificates = reader.Optional(kASN1Sequence);
    if (fields.version == 1) fields.crlExtensions = reader.Optional(kExtensionsTag);
    reader.End(structure);
    return fields;
}

// The same over a decoded value.
STBSCertList<const CASN1Type> WalkTBSCertList(const CASN1Type& value, int anyTag, const char* structure,
                                              unsigned long maxVersion, const char* badVersion) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, anyTag, structure);
    return WalkTBSCertList(reader, structure, maxVersion, badVersion);
}

void CheckCRLData(const CASN1Type& value, int anyTag) {
    const auto fields = WalkTBSCertList(value, anyTag, kThisStructure, 1, nullptr);
    Within("signature", [&] { CheckAlgorithmIdentifier(*fields.signature, 0); });
    Require(CASN1_RDNSequence::isValid(fields.issuer, 0), "issuer");
    CheckTime(*fields.thisUpdate, kLastUpdate);
    if (fields.nextUpdate) CheckTime(*fields.nextUpdate, kNextUpdate);
    if (fields.revokedCertificates)
        Within("revokedCertificates", [&] { vorlan::detail::CheckEntries(*fields.revokedCertificates, 0, fields.version == 1); });
    if (fields.crlExtensions)
        Within("crlExtensions", [&] {
            CCertificateExtensionArray read;
            ReadTaggedExtensions(*fields.crlExtensions, kExtensionsTag, "[0]", read);
        });
}

void ReadCRLData(const CASN1Type& value, CCertificateRevocationList& crl) {
    const auto fields = WalkTBSCertList(value, 1, "TBSCertList", ~0ul,
                                                "Invalid CertificateRevocationListData (invalid version number)");
    crl.m_nSignatureAlgorithm =
        ReadSignatureAlgorithm(*fields.signature,
                               "CASN1_CertificateRevocationListData::SetDataTo - unknown signature algorithm")
            .value;
    Reading("issuer", [&] { CASN1_RDNSequence::Read(*fields.issuer, crl.m_issuer); });
    ReadTime(*fields.thisUpdate, kLastUpdate, crl.m_lastUpdate);
    if (fields.nextUpdate) ReadTime(*fields.nextUpdate, kNextUpdate, crl.m_nextUpdate);
    crl.m_bHasNextUpdate = fields.nextUpdate != nullptr;
    if (fields.revokedCertificates)
        vorlan::detail::ReadEntries(*fields.revokedCertificates, crl.m_entries);
    else
        crl.m_entries.RemoveAll();
    crl.m_bWritesEmptyEntries = fields.revokedCertificates != nullptr;
    crl.m_bVersion = fields.version == 1;
    crl.m_extensions.RemoveAll();
    if (fields.crlExtensions)
        Within("crlExtensions",
               [&] { ReadTaggedExtensions(*fields.crlExtensions, kExtensionsTag, "[0]", crl.m_extensions); });
}

void BuildCRLData(CASN1_CertificateRevocationListData& data, const CCertificateRevocationList& crl,
                  const SSignatureAlgorithm& algorithm) {
    data.clear();
    try {
        bool extended = crl.m_extensions.GetSize() > 0;
        for (int i = 0; i < crl.m_entries.GetSize(); ++i)
            extended = extended || (crl.m_entries[i] && crl.m_entries[i]->m_extensions.GetSize() > 0);
        if (crl.m_bVersion > 1 || (crl.m_bVersion == 0 && extended))
            ___throwDERDecodingException("CertificateRevocationListData cannot be written: version %d with%s extensions",
                                         crl.m_bVersion + 1, extended ? "" : "out");
        if (crl.m_bVersion == 1) data.AddObject(new CASN1_INTEGER(1ul));
        data.AddObject(NewAlgorithmIdentifier(algorithm));
        data.AddObject(new CASN1_RDNSequence(crl.m_issuer));
        data.AddObject(NewTime(crl.m_lastUpdate));
        if (crl.m_bHasNextUpdate) data.AddObject(NewTime(crl.m_nextUpdate));
        if (crl.m_entries.GetSize() > 0 || crl.m_bWritesEmptyEntries)
            data.AddObject(new CASN1_RevokedCertificates(crl.m_entries));
        if (crl.m_extensions.GetSize() > 0) {
            auto tagged = std::make_unique<CASN1_TAGGED>(kExtensionsTag, 0);
            tagged->AddObject(NewExtensionList(crl.m_extensions));
            data.AddObject(tagged.release());
        }
    } catch (CDERDecodingException*) {
        data.clear();
        throw;
    }
}

std::unique_ptr<CASN1_SEQUENCE> ScanCRL(const BYTE* octets, DWORD length, CArray<CCRLEntry*, CCRLEntry*>* entries) {
    CDERReader whole(octets, length);
    SDERElement list, element;
    if (!NextElement(whole, list) || !whole.AtEnd() || list.identifier != (kASN1Sequence | kASN1Constructed))
        return nullptr;
    auto outer = std::make_unique<CASN1_SEQUENCE>();
    CArray<CCRLEntry*, CCRLEntry*> read;
    CDERReader components(list);
    try {
        if (!NextElement(components, element) || element.identifier != (kASN1Sequence | kASN1Constructed))
            return nullptr;
        // The signed part's fields go into the value, but for entries, which are read straight
        // from their octets; an empty revokedCertificates goes in too, its presence is kept.
        CElementFields reader(element);
        const auto fields = WalkTBSCertList(reader, kThisStructure, ~0ul, nullptr);
        const SDERElement* entriesElement = fields.revokedCertificates;
        if (entriesElement && entriesElement->Length() > 0) {
            if (!entriesElement->IsConstructed() || !ScanEntries(*entriesElement, fields.version == 1, entries ? &read : nullptr))
                return nullptr;
            entriesElement = nullptr;
        }
        auto data = std::make_unique<CASN1_SEQUENCE>();
        for (const SDERElement* field : {fields.versionField, fields.signature, fields.issuer, fields.thisUpdate,
                                         fields.nextUpdate, entriesElement, fields.crlExtensions})
            if (field) data->AddObject(Decoded(*field));
        outer->AddObject(data.release());
        while (!components.AtEnd()) {
            if (!NextElement(components, element)) return nullptr;
            outer->AddObject(Decoded(element));
        }
    } catch (CDERDecodingException* e) {
        e->Delete();
        return nullptr;
    }
    // Decoded alone, a component met the generic decoder's depth limit from lower down.
    if (Levels(*outer) > kMaxDERNestingDepth) return nullptr;
    if (entries) MoveEntries(read, *entries);
    return outer;
}

}  // namespace vorlan::detail
