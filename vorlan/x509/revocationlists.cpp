#include "vorlan/x509/revocationlists.h"

#include "vorlan/asn1/derencoding.h"
#include "vorlan/x509/asn1crl.h"

CRevocationList::CRevocationList(CCertificateRevocationList list) {
    m_list = std::move(list);
    m_issuerKey = CNameKey(m_list.m_issuer);
    // The serial numbers indexed here, on one thread: lookups then only read the index, so
    // validations on several threads may share the list.
    m_list.FindSerial(CSerialNumber());
    try {
        m_extensions = CListExtensions(m_list.m_extensions);
    } catch (CException* e) {
        m_extensionsFault = vorlan::detail::ReleasedReason(e);
        if (m_extensionsFault.empty()) m_extensionsFault = "malformed extensions";
    }
    // Read once here: a list whose entries carry an extension that must be understood and is
    // not may revoke otherwise than its entries say (RFC 5280 5.3).
    for (int i = 0; i < m_list.m_entries.GetSize() && m_entriesFault.empty(); ++i) {
        const CCRLEntry& entry = *m_list.m_entries[i];
        if (entry.m_extensions.GetSize() == 0) continue;
        try {
            const CEntryExtensions extensions(entry.m_extensions);
            if (!extensions.unknownCritical.empty())
                m_entriesFault = "an entry has the unknown critical extension " + extensions.unknownCritical[0].str();
        } catch (CException* e) {
            m_entriesFault = "an entry's extensions do not read (" + vorlan::detail::ReleasedReason(e) + ")";
        }
    }
}

bool CRevocationList::IsSignedBy(const CPathCertificate& signer) const {
    return m_verdicts.Get(
        signer.Certificate(),
        [](const void* self, const CCertificate& key) {
            return static_cast<const CCertificateRevocationList*>(self)->IsSignatureOKFor(key) != 0;
        },
        &m_list);
}

void CRevocationLists::Add(CCertificateRevocationList list) {
    auto held = std::make_unique<CRevocationList>(std::move(list));
    m_byIssuer.emplace(held->IssuerKey().Text(), m_lists.size());
    m_lists.push_back(std::move(held));
}

void CRevocationLists::AddDer(const BYTE* der, int length) {
    CCertificateRevocationList list;
    {
        CDEREncoding encoding(0, const_cast<BYTE*>(der), static_cast<unsigned long>(length), 0, 0);
        encoding.AddRef();  // our own hold: the value tree shares the encoding
        const CASN1_CertificateRevocationList value(encoding);
        if (encoding.Remaining()) ___throwDERDecodingException("CRL is followed by other octets");
        value.SetDataTo(list);
    }
    Add(std::move(list));
}

std::vector<const CRevocationList*> CRevocationLists::FindByIssuer(const CNameKey& issuer) const {
    return vorlan::detail::IndexedUnder(m_byIssuer, issuer.Text(), m_lists);
}
