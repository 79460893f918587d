#include "vorlan/x509/asn1crl.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "vorlan/asn1/definiteheader.h"
#include "vorlan/x509/certificaterevocationlist.h"
#include "vorlan/x509/structurecheck.h"

namespace {

void CheckCRL(const CASN1Type& value, int anyTag) {
    vorlan::detail::CStructureReader reader = vorlan::detail::ReaderOf(value, kASN1Sequence, anyTag, vorlan::detail::kThisStructure);
    vorlan::detail::CheckField(reader, kASN1Sequence, "tbsCertList", vorlan::detail::CheckCRLData);
    vorlan::detail::CheckField(reader, kASN1Sequence, "signatureAlgorithm", vorlan::detail::CheckAlgorithmIdentifier);
    reader.Next(kASN1BitString, "signature");
    reader.End(vorlan::detail::kThisStructure);
}

}  // namespace

CASN1_CertificateRevocationList::CASN1_CertificateRevocationList(const CASN1_CertificateRevocationList& other)
    : CASN1_CertificateRevocationList() {
    *this = other;
}

CASN1Type* CASN1_CertificateRevocationList::clone() const {
    return vorlan::detail::cloneValue(*this, new CASN1_CertificateRevocationList);
}

CASN1Type* CASN1_CertificateRevocationList::cloneAndDie() {
    return vorlan::detail::cloneAndDieValue(*this, new CASN1_CertificateRevocationList);
}

int CASN1_CertificateRevocationList::moveFrom(CASN1Type* source) { return moveSigned(*this, source); }

CASN1_CertificateRevocationList::CASN1_CertificateRevocationList(CASN1_CertificateRevocationListData* data,
                                                                 CASN1_AlgorithmIdentifier* algorithm,
                                                                 CASN1_BIT_STRING* signature)
    : CASN1_SignedStructure(data, algorithm, signature) {}

CASN1_CertificateRevocationList::CASN1_CertificateRevocationList(const CCertificateRevocationList& crl) {
    GetDataFrom(crl);
}

CASN1_CertificateRevocationList::CASN1_CertificateRevocationList(CDEREncoding& der) {
    if (!decodeScanned(der)) decodeChecked(der, CheckCRL, "CertificateList", "CRL contents is not valid");
}

int CASN1_CertificateRevocationList::decodeScanned(CDEREncoding& der) {
    const long start = der.Seek(0, CFile::current);
    const unsigned long remaining = der.Remaining();
    const unsigned long head = std::min<unsigned long>(remaining, vorlan::detail::kMaxHeaderOctets);
    const BYTE* octets = der.MemoryWindow(static_cast<DWORD>(start), static_cast<DWORD>(head));
    const int length = octets && head >= 2 ? ___extractEncodingLength(octets, head) : -1;
    if (length <= 0 || static_cast<unsigned long>(length) > remaining) return 0;
    octets = der.MemoryWindow(static_cast<DWORD>(start), static_cast<DWORD>(length));
    const std::unique_ptr<CASN1_SEQUENCE> scanned =
        octets ? vorlan::detail::ScanCRL(octets, static_cast<DWORD>(length), nullptr) : nullptr;
    return scanned && vorlan::detail::Passes([&] { CheckCRL(*scanned, 0); }) && deferReceived(der, start, start + length);
}

void CASN1_CertificateRevocationList::GetDataFrom(const CCertificateRevocationList& crl) {
    clear();
    appendSigned(std::make_unique<CASN1_CertificateRevocationListData>(crl), crl, "CRL");
}

void CASN1_CertificateRevocationList::SetDataTo(CCertificateRevocationList& crl) const {
    // Scanned at decoding, the list is read from its octets again, the entries straight from them.
    CArray<CCRLEntry*, CCRLEntry*> entries;
    std::unique_ptr<CASN1_SEQUENCE> scanned;
    if (hasDeferredComponents())
        scanned = vorlan::detail::ScanCRL(m_abReceived.GetData(), static_cast<DWORD>(m_abReceived.GetSize()), &entries);
    const CASN1_CONSTRUCTED_TYPE& list = scanned ? *scanned : static_cast<const CASN1_CONSTRUCTED_TYPE&>(*this);
    vorlan::detail::CStructureReader reader = vorlan::detail::ReaderOf(list, kASN1Sequence, 1, "CertificateList");
    const CASN1Type& data = reader.Next(kASN1Sequence, "tbsCertList");
    CCertificateRevocationList read;
    vorlan::detail::ReadCRLData(data, read);
    if (scanned) vorlan::detail::MoveEntries(entries, read.m_entries);
    readSignature(reader, data, read, "CRL contents is not valid", "CRL contents is not valid (cannot get signature)");
    crl = std::move(read);
}

int CASN1_CertificateRevocationList::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] { CheckCRL(*value, anyTag); });
}
