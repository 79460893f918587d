// CPathValidator: certification path building and validation (RFC 5280 6.1) with revocation
// lists (6.3). A path is built from the end certificate through a pool of intermediates to a
// trust anchor, by issuer name (RFC 5280 7.1 comparison), the authority key identifier choosing
// among certificates of one name first and each signature deciding; a candidate that fails is
// left for the next (cross-signed CAs), no certificate twice, at most kMaxPathLength. Each
// complete path is then checked from the anchor down: signatures, validity at the time given,
// basicConstraints cA and pathLenConstraint (self-issued intermediates not counted), keyUsage
// keyCertSign, unknown critical extensions, name constraints, revocation, and for the end
// certificate the S/MIME signer's key usages when asked. Policies are not processed.
// The verdict is a value (CPathResult); exceptions are for misuse only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "vorlan/x509/certificatestore.h"
#include "vorlan/x509/revocationlists.h"

/// Why a path is refused; kPathValid when it is not.
enum EPathStatus {
    kPathValid = 0,
    kPathUnsupportedAlgorithm,      ///< a key or signature algorithm the library does not support (DSA, ECDSA ...)
    kPathMalformedCertificate,      ///< the certificate or its extensions do not read
    kPathNoIssuer,                  ///< no trust anchor or intermediate carries the issuer's name
    kPathBadSignature,              ///< no key of the issuer's name verifies the signature
    kPathNotYetValid,               ///< the validation time is before notBefore
    kPathExpired,                   ///< the validation time is after notAfter
    kPathNotCA,                     ///< an issuing certificate without basicConstraints cA
    kPathLengthExceeded,            ///< more CAs below a CA than its pathLenConstraint allows
    kPathKeyUsage,                  ///< keyUsage without keyCertSign, or without the signer's usages
    kPathExtendedKeyUsage,          ///< extendedKeyUsage without emailProtection, when asked
    kPathUnknownCriticalExtension,  ///< a critical extension the library does not process
    kPathNameConstraints,           ///< a name outside the name constraints of a CA above
    kPathRevoked,                   ///< revoked (or on hold) by a list of its issuer
    kPathNoRevocationList,          ///< lists are required and none of the issuer is given
    kPathRevocationListRefused      ///< lists of the issuer are given, none usable (signature, time, scope ...)
};

/// What a validation checks beyond the path itself.
struct SPathOptions {
    /// The validation time; now by default.
    CUTCTime time;
    /// Lists are consulted for every certificate of the path: required ones refuse a
    /// certificate without a usable list of its issuer; otherwise such a certificate passes.
    bool requireRevocationLists = false;
    /// The end certificate signs messages: a keyUsage must allow digitalSignature or nonRepudiation.
    bool signer = false;
    /// The end certificate protects e-mail: an extendedKeyUsage must allow emailProtection (or any purpose).
    bool emailProtection = false;
};

/// The verdict of a validation.
class CPathResult {
public:
    /// True when the path validated.
    bool IsValid() const { return m_status == kPathValid; }

    /// kPathValid, or what refused the path.
    EPathStatus m_status = kPathValid;
    /// The refused certificate: 0 the end certificate, 1 its issuer ...; -1 when valid.
    int m_nDepth = -1;
    /// A sentence saying which certificate failed and why; empty when valid.
    std::string m_strReason;
    /// With kPathRevoked, the entry's reason code when it has one.
    std::optional<ECRLReason> m_revocationReason;
    /// The path found, the end certificate first and the trust anchor last (valid, or the one
    /// that failed its checks); pointers into the stores and the end certificate given.
    std::vector<const CPathCertificate*> m_path;
};

/// Validates paths against trust anchors, with intermediates and lists that may help.
class CPathValidator {
public:
    /// Longest path, the anchor not counted; longer ones are not built.
    static constexpr int kMaxPathLength = 16;

    /// The stores and lists must outlive the validator and its results.
    explicit CPathValidator(const CCertificateStore& anchors, const CCertificateStore* intermediates = nullptr,
                            const CRevocationLists* lists = nullptr);

    /// The path of `end` validated; an end certificate that is itself a trust anchor is valid when
    /// it is within its validity period.
    CPathResult Validate(const CPathCertificate& end) const;
    /// The verdict on an end certificate whose DER did not read (CPathCertificate refused it with
    /// `reason`): kPathUnsupportedAlgorithm for a certificate of an algorithm the library does not
    /// support, else kPathMalformedCertificate.
    static CPathResult Unreadable(const BYTE* der, int length, const std::string& reason);

    /// The validation time, whether lists are required, and what the end certificate must allow.
    SPathOptions m_options;

private:
    class CSearch;
    friend class CSearch;

    const CCertificateStore& m_anchors;
    const CCertificateStore* m_pIntermediates;
    const CRevocationLists* m_pLists;
};
