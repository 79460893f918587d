// CPathCertificate: a certificate as path validation reads it, parsed once: the certificate,
// its typed extensions (or why they do not read), the comparison keys of its names, and the
// names name constraints apply to. Stores and pools hold certificates in this form, so that
// validating many paths reads each certificate once.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "vorlan/x509/certificate.h"
#include "vorlan/x509/extensionvalues.h"
#include "vorlan/x509/namekey.h"

namespace vorlan::detail {
// Signature verdicts kept per issuer key (curve and point, or exponent and modulus), so that an object of a store
// is checked once for each key; a store may serve validations on several threads at once.
class CSignatureVerdicts {
public:
    // The verdict of `check` (run when none is kept) for the key of `issuer`.
    bool Get(const CCertificate& issuer, bool (*check)(const void* signedObject, const CCertificate& issuer),
             const void* signedObject) const;

private:
    mutable std::vector<std::pair<std::string, bool>> m_verdicts;
    mutable std::mutex m_lock;
};
}  // namespace vorlan::detail

/// A certificate with what path validation reads of it, read once from its DER.
class CPathCertificate {
public:
    /// Reads the DER; the library's exception (the decoding exception with its reason) when the
    /// octets are not one certificate the library converts. Malformed extensions do not refuse
    /// the certificate here: ExtensionsFault() says why, and validation refuses a path with it.
    CPathCertificate(const BYTE* der, int length);
    CPathCertificate(const CPathCertificate&) = delete;
    CPathCertificate& operator=(const CPathCertificate&) = delete;

    /// True when DER that does not read as a certificate is a certificate of a signature or key
    /// algorithm the library does not support (DSA, EC keys of other curves, RSA-PSS ...), rather than malformed.
    static bool IsOfUnsupportedAlgorithm(const BYTE* der, int length);

    /// The certificate as read.
    const CCertificate& Certificate() const { return m_certificate; }
    /// Its typed extensions (empty when they do not read; see ExtensionsFault).
    const CCertificateExtensions& Extensions() const { return m_extensions; }
    /// Why the extensions do not read; empty when they do.
    const std::string& ExtensionsFault() const { return m_extensionsFault; }
    /// The comparison forms of the subject and of the issuer name.
    ///@{
    const CNameKey& SubjectKey() const { return m_subjectKey; }
    const CNameKey& IssuerKey() const { return m_issuerKey; }
    ///@}
    /// Issuer and subject are the same name (RFC 5280: self-issued).
    bool IsSelfIssued() const { return m_subjectKey == m_issuerKey; }
    /// The DER of the certificate: its identity (the same octets are the same certificate).
    const std::string& Der() const { return m_der; }
    /// The e-mail addresses the certificate names: its subjectAltName rfc822Names and the
    /// E-mail address attributes of its subject.
    std::vector<std::string> EmailAddresses() const;

    /// True when `identifier` is not empty and is this certificate's subject key identifier: the
    /// key an authority key identifier names.
    bool HasKeyIdentifier(const CByteArray& identifier) const;

    /// True when the key of `issuer` verifies this certificate's signature. The verdict is kept
    /// per issuer, so a certificate of a store is checked once for each key that signs it.
    bool IsSignedBy(const CPathCertificate& issuer) const;

private:
    CCertificate m_certificate;
    CCertificateExtensions m_extensions;
    std::string m_extensionsFault;
    CNameKey m_subjectKey;
    CNameKey m_issuerKey;
    std::string m_der;
    vorlan::detail::CSignatureVerdicts m_verdicts;
};

namespace vorlan::detail {
// The message of a library exception ("" when it has none); the exception is released.
std::string ReleasedReason(CException* e);
}  // namespace vorlan::detail
