// CRevocationLists: the revocation lists a validation may consult, each read once with its typed
// extensions, looked up by issuer name.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "vorlan/x509/certificaterevocationlist.h"
#include "vorlan/x509/extensionvalues.h"
#include "vorlan/x509/namekey.h"
#include "vorlan/x509/pathcertificate.h"

/// One list with what validation reads of it.
class CRevocationList {
public:
    /// The list (moved in) with its extensions read.
    explicit CRevocationList(CCertificateRevocationList list);

    /// The list as read.
    const CCertificateRevocationList& List() const { return m_list; }
    /// Its typed extensions (empty when they do not read; see ExtensionsFault).
    const CListExtensions& Extensions() const { return m_extensions; }
    /// Why the list's extensions do not read; empty when they do.
    const std::string& ExtensionsFault() const { return m_extensionsFault; }
    /// The comparison form of the issuer name.
    const CNameKey& IssuerKey() const { return m_issuerKey; }
    /// Why no entry may be used: the first entry extension that is critical and unknown, or
    /// that does not read; empty when every entry's extensions are understood.
    const std::string& EntriesFault() const { return m_entriesFault; }
    /// True when the key of `signer` verifies the list's signature (kept per key).
    bool IsSignedBy(const CPathCertificate& signer) const;

private:
    CCertificateRevocationList m_list;
    CListExtensions m_extensions;
    std::string m_extensionsFault;
    std::string m_entriesFault;
    CNameKey m_issuerKey;
    vorlan::detail::CSignatureVerdicts m_verdicts;
};

/// A set of revocation lists by issuer name.
class CRevocationLists {
public:
    CRevocationLists() = default;
    CRevocationLists(const CRevocationLists&) = delete;
    CRevocationLists& operator=(const CRevocationLists&) = delete;

    /// Adds a list (moved in).
    void Add(CCertificateRevocationList list);
    /// Adds the list of the DER octets; the decoding exception, with its reason, when they are
    /// not one list the library reads.
    void AddDer(const BYTE* der, int length);

    /// The number of lists held.
    int GetCount() const { return static_cast<int>(m_lists.size()); }
    /// The lists whose issuer is the name, in the order they were added.
    std::vector<const CRevocationList*> FindByIssuer(const CNameKey& issuer) const;

private:
    std::vector<std::unique_ptr<CRevocationList>> m_lists;
    std::unordered_multimap<std::string, size_t> m_byIssuer;
};
