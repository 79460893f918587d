// Revocation lists read from arbitrary DER: whatever reads as a list must read the same from
// the generic decoder's tree as from the scan of its octets, be written back and read again
// to the same list (extensions too), and every entry must be found by its serial number; the
// text, the signature check, copies and the archive form run on the way.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "vorlan/framework/memfile.h"
#include "vorlan/x509/asn1crl.h"
#include "vorlan/x509/certificaterevocationlist.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

// The DER of the list, empty when it cannot be written.
CByteArray Written(const CCertificateRevocationList& crl) {
    CByteArray written;
    try {
        CASN1_CertificateRevocationList(crl).encodeTo(written);
    } catch (CDERDecodingException* e) {
        e->Delete();
        written.RemoveAll();
    }
    return written;
}

bool Equal(const CByteArray& x, const CByteArray& y) {
    return x.GetSize() == y.GetSize() && (x.GetSize() == 0 || std::memcmp(x.GetData(), y.GetData(), x.GetSize()) == 0);
}

bool Same(const CCertificateRevocationList& a, const CCertificateRevocationList& b) {
    return Equal(Written(a), Written(b)) && static_cast<CString>(a) == static_cast<CString>(b) && a.m_nSignatureAlgorithm == b.m_nSignatureAlgorithm &&
           a.m_wSignatureBits == b.m_wSignatureBits && std::memcmp(a.m_signature, b.m_signature, 256) == 0 &&
           a.m_bHasDigest16 == b.m_bHasDigest16 && std::memcmp(a.m_digest16, b.m_digest16, 16) == 0 &&
           a.m_bHasDigestSha1 == b.m_bHasDigestSha1 && std::memcmp(a.m_digestSha1, b.m_digestSha1, 20) == 0;
}

// The list of the octets, or false when they hold none.
bool Read(const BYTE* data, size_t size, CCertificateRevocationList& crl) {
    auto* der = new CDEREncoding(1, const_cast<BYTE*>(data), size, 0, 1);
    der->AddRef();
    std::optional<CASN1_CertificateRevocationList> value;
    bool read = true;
    try {
        value.emplace(*der);
        value->SetDataTo(crl);
    } catch (CDERDecodingException* e) {
        e->Delete();
        read = false;
    }
    der->Release();
    if (!read) return false;
    // Built by the generic decoder from the octets kept, the value checks and reads alike.
    value->GetCount();
    require(CASN1_CertificateRevocationList::isValid(&*value, 0));
    CCertificateRevocationList generic;
    value->SetDataTo(generic);
    require(Same(generic, crl));
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CCertificateRevocationList crl;
    if (!Read(data, size, crl)) return 0;
    const CString text = crl;
    for (int i = 0; i < crl.m_entries.GetSize(); ++i) {
        const int found = crl.FindSerial(crl.m_entries[i]->m_serialNumber);
        require(found >= i && crl.m_entries[found]->m_serialNumber == crl.m_entries[i]->m_serialNumber);
    }
    require(crl.IsSignatureOKFor(CRSAPublicKey()) == 0);

    const CByteArray written = Written(crl);
    if (written.GetSize() == 0) return 0;
    CCertificateRevocationList again;
    require(Read(written.GetData(), static_cast<size_t>(written.GetSize()), again));
    require(static_cast<CString>(again) == text && Equal(Written(CCertificateRevocationList(again)), written) &&
            again.HasUnknownCriticalExtension() == crl.HasUnknownCriticalExtension());

    CMemFile file;
    {
        CArchive out(&file, CArchive::store);
        crl.Serialize(out);
    }
    file.SeekToBegin();
    CArchive in(&file, CArchive::load);
    CCertificateRevocationList loaded;
    loaded.Serialize(in);
    require(static_cast<CString>(loaded) == text && Equal(Written(loaded), written));
    return 0;
}
