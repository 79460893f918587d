// The extensions path validation reads, as typed values: each read from the DER of an
// extnValue (CCertificateExtension::m_abValue) and built into it. A malformed value raises the
// decoding exception naming the extension ("keyUsage: ...").
#pragma once

#include <optional>
#include <vector>

#include "vorlan/x509/distinguishedname.h"
#include "vorlan/x509/extensions.h"
#include "vorlan/x509/generalname.h"
#include "vorlan/x509/serialnumber.h"
#include "vorlan/x509/utctime.h"

class CCertificate;

/// The extension identifiers, dotted.
namespace vorlan::oid {
inline constexpr const char* kSubjectKeyIdentifier = "2.5.29.14";
inline constexpr const char* kKeyUsage = "2.5.29.15";
inline constexpr const char* kSubjectAltName = "2.5.29.17";
inline constexpr const char* kBasicConstraints = "2.5.29.19";
inline constexpr const char* kCRLNumber = "2.5.29.20";
inline constexpr const char* kReasonCode = "2.5.29.21";
inline constexpr const char* kInvalidityDate = "2.5.29.24";
inline constexpr const char* kDeltaCRLIndicator = "2.5.29.27";
inline constexpr const char* kIssuingDistributionPoint = "2.5.29.28";
inline constexpr const char* kCertificateIssuer = "2.5.29.29";
inline constexpr const char* kNameConstraints = "2.5.29.30";
inline constexpr const char* kCRLDistributionPoints = "2.5.29.31";
inline constexpr const char* kCertificatePolicies = "2.5.29.32";
inline constexpr const char* kAuthorityKeyIdentifier = "2.5.29.35";
inline constexpr const char* kExtendedKeyUsage = "2.5.29.37";
inline constexpr const char* kEmailProtection = "1.3.6.1.5.5.7.3.4";
inline constexpr const char* kAnyExtendedKeyUsage = "2.5.29.37.0";
}  // namespace vorlan::oid

/// keyUsage bits: bit n of the BIT STRING is 1 << n.
enum EKeyUsage : WORD {
    kDigitalSignature = 1 << 0,
    kNonRepudiation = 1 << 1,
    kKeyEncipherment = 1 << 2,
    kDataEncipherment = 1 << 3,
    kKeyAgreement = 1 << 4,
    kKeyCertSign = 1 << 5,
    kCRLSign = 1 << 6,
    kEncipherOnly = 1 << 7,
    kDecipherOnly = 1 << 8
};

/// basicConstraints (RFC 5280 4.2.1.9).
struct SBasicConstraints {
    bool ca = false;
    int pathLength = -1;  ///< pathLenConstraint; -1 when absent
};

/// authorityKeyIdentifier (RFC 5280 4.2.1.1); of a certificate or a revocation list.
struct SAuthorityKeyIdentifier {
    CByteArray keyIdentifier;  ///< empty when absent
    CGeneralNames issuer;      ///< authorityCertIssuer
    std::optional<CSerialNumber> serialNumber;
};

/// nameConstraints (RFC 5280 4.2.1.10). GeneralSubtrees: the base of each subtree (minimum 0,
/// maximum absent, as RFC 5280 requires; reading refuses others).
struct SNameConstraints {
    CGeneralNames permitted;
    CGeneralNames excluded;
};

/// One DistributionPoint of cRLDistributionPoints (RFC 5280 4.2.1.13), which names a
/// distribution point, a cRLIssuer or both. ReasonFlags bits: bit n is 1 << n (unused 0,
/// keyCompromise 1, ..., aACompromise 8).
struct SDistributionPoint {
    CGeneralNames fullName;                         ///< distributionPoint fullName
    std::optional<CRelativeDN> relativeName;        ///< distributionPoint nameRelativeToCRLIssuer
    std::optional<WORD> reasons;                    ///< ReasonFlags bits
    CGeneralNames crlIssuer;
};

/// issuingDistributionPoint of a revocation list (RFC 5280 5.2.5): what it covers.
struct SIssuingDistributionPoint {
    CGeneralNames fullName;
    std::optional<CRelativeDN> relativeName;
    bool onlyContainsUserCerts = false;
    bool onlyContainsCACerts = false;
    std::optional<WORD> onlySomeReasons;  ///< ReasonFlags bits
    bool indirectCRL = false;
    bool onlyContainsAttributeCerts = false;
};

/// CRLReason values (RFC 5280 5.3.1; 7 is not used).
enum ECRLReason : BYTE {
    kUnspecified = 0,
    kKeyCompromise = 1,
    kCACompromise = 2,
    kAffiliationChanged = 3,
    kSuperseded = 4,
    kCessationOfOperation = 5,
    kCertificateHold = 6,
    kRemoveFromCRL = 8,
    kPrivilegeWithdrawn = 9,
    kAACompromise = 10
};

/// The typed extensions of a certificate; absent ones are empty. Reading refuses a malformed
/// value of a known extension (the decoding exception naming it).
class CCertificateExtensions {
public:
    CCertificateExtensions() = default;
    /// Reads basicConstraints, keyUsage, extendedKeyUsage, both key identifiers, subjectAltName,
    /// certificatePolicies (the identifiers), nameConstraints and cRLDistributionPoints.
    explicit CCertificateExtensions(const CCertificateExtensionArray& extensions);

    std::optional<SBasicConstraints> basicConstraints;
    std::optional<WORD> keyUsage;                       ///< EKeyUsage bits
    std::optional<std::vector<CString>> extendedKeyUsage;  ///< dotted purposes
    CByteArray subjectKeyIdentifier;
    std::optional<SAuthorityKeyIdentifier> authorityKeyIdentifier;
    std::optional<CGeneralNames> subjectAltName;
    std::optional<std::vector<CString>> certificatePolicies;  ///< dotted policy identifiers
    std::optional<SNameConstraints> nameConstraints;
    std::optional<std::vector<SDistributionPoint>> crlDistributionPoints;
    std::vector<CString> unknownCritical;  ///< dotted identifiers of critical extensions not read here
};

/// The typed extensions of a revocation list; as CCertificateExtensions.
class CListExtensions {
public:
    CListExtensions() = default;
    /// Reads cRLNumber, authorityKeyIdentifier, issuingDistributionPoint and deltaCRLIndicator.
    explicit CListExtensions(const CCertificateExtensionArray& extensions);

    std::optional<CSerialNumber> crlNumber;
    std::optional<SAuthorityKeyIdentifier> authorityKeyIdentifier;
    std::optional<SIssuingDistributionPoint> issuingDistributionPoint;
    std::optional<CSerialNumber> deltaCRLIndicator;  ///< the base list's number
    std::vector<CString> unknownCritical;
};

/// The typed extensions of one entry of a revocation list; as CCertificateExtensions.
class CEntryExtensions {
public:
    CEntryExtensions() = default;
    /// Reads reasonCode, invalidityDate (a GeneralizedTime) and certificateIssuer.
    explicit CEntryExtensions(const CCertificateExtensionArray& extensions);

    std::optional<ECRLReason> reasonCode;
    std::optional<CUTCTime> invalidityDate;
    std::optional<CGeneralNames> certificateIssuer;
    std::vector<CString> unknownCritical;
};

/// The extensions built for issuing, in DER as OpenSSL writes the same values (critical as RFC
/// 5280 recommends: basicConstraints and keyUsage critical, the others not; a false cA is left
/// out). The decoding exception for a value that cannot be written: a purpose that is not a
/// dotted identifier, a name GeneralName cannot hold, no purpose or no name, a negative number.
CCertificateExtension BasicConstraintsExtension(const SBasicConstraints& constraints);
CCertificateExtension KeyUsageExtension(WORD usage);
CCertificateExtension ExtendedKeyUsageExtension(const std::vector<CString>& purposes);
CCertificateExtension SubjectKeyIdentifierExtension(const CByteArray& identifier);
CCertificateExtension AuthorityKeyIdentifierExtension(const CByteArray& keyIdentifier);
CCertificateExtension SubjectAltNameExtension(const CGeneralNames& names);
CCertificateExtension CRLNumberExtension(const CSerialNumber& number);

/// The key identifier of the certificate's public key: the SHA-1 of its subjectPublicKey BIT
/// STRING (RFC 5280 4.2.1.2, method 1).
CByteArray KeyIdentifierOf(const CCertificate& certificate);

/// The key identifier that what `issuer` issues names it by in authorityKeyIdentifier: its
/// subjectKeyIdentifier, or KeyIdentifierOf(issuer) when it has none (RFC 5280 4.2.1.1). The
/// decoding exception for malformed extensions of the issuer.
CByteArray IssuerKeyIdentifierOf(const CCertificate& issuer);
