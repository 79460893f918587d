// CCertificateStore: certificates by subject name and subject key identifier, each read once
// into the form path validation uses: the trust anchors of a validation, or a pool of untrusted
// intermediates. Loaded from DER, PEM text, a PEM bundle or a folder of PEM and DER files;
// certificates that do not read are passed over and counted, so one bad entry of a bundle does
// not lose the others.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "vorlan/x509/pathcertificate.h"

/// A set of certificates looked up by subject name and subject key identifier.
class CCertificateStore {
public:
    /// The system's bundle of trusted certificates (Debian's ca-certificates).
    static constexpr const char* kSystemBundle = "/etc/ssl/certs/ca-certificates.crt";
    /// The largest file read: bundles are well below it; a bigger one is refused, not read.
    static constexpr unsigned long kMaxFileSize = 64ul << 20;

    CCertificateStore() = default;
    CCertificateStore(const CCertificateStore&) = delete;
    CCertificateStore& operator=(const CCertificateStore&) = delete;

    /// Adds the certificate of the DER octets: true when it is held now (also when it was
    /// before), false when it does not read (counted in GetSkipped()).
    bool AddDer(const BYTE* der, int length);
    /// Adds the "CERTIFICATE" blocks of PEM text; a block that does not read is skipped and
    /// counted. Returns how many were added.
    int AddPem(const char* text, int length);
    /// Adds the certificates of a file: its PEM blocks, or, without any, the one DER
    /// certificate it holds. Returns how many were added. CFileException when the file cannot
    /// be read or is larger than kMaxFileSize.
    int LoadFile(const char* path);
    /// Every regular file of a folder, not its subfolders, as LoadFile; a file that cannot
    /// be read counts as skipped. CFileException when the folder cannot be listed.
    int LoadFolder(const char* path);

    /// The number of certificates held.
    int GetCount() const { return static_cast<int>(m_certificates.size()); }
    /// Certificates passed over because they did not read.
    int GetSkipped() const { return m_nSkipped; }
    /// The certificate at `index` (0 to GetCount() - 1), in the order added; the store owns it.
    const CPathCertificate& GetAt(int index) const { return *m_certificates[static_cast<size_t>(index)]; }

    /// The certificates whose subject is the name, in the order they were added.
    std::vector<const CPathCertificate*> FindBySubject(const CNameKey& subject) const;
    /// The certificates whose subject key identifier is `identifier`.
    std::vector<const CPathCertificate*> FindByKeyIdentifier(const CByteArray& identifier) const;
    /// True when the store holds this certificate (the same DER).
    bool Contains(const CPathCertificate& certificate) const;

private:
    void Hold(std::unique_ptr<CPathCertificate> certificate);
    int AddFileOctets(const std::string& octets);

    std::vector<std::unique_ptr<CPathCertificate>> m_certificates;
    std::unordered_multimap<std::string, size_t> m_bySubject;
    std::unordered_multimap<std::string, size_t> m_byKeyIdentifier;
    std::unordered_map<std::string, size_t> m_byDer;
    int m_nSkipped = 0;
};
