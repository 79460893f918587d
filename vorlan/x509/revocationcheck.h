// CRevocationCheck: the revocation status of one certificate of a path from the lists of its
// issuer (RFC 5280 6.3): each list found by the issuer's name, used only when it is complete for
// the certificate (no delta list, an issuing distribution point that covers it, no critical
// extension unknown to the library in the list or its entries), current at the validation time
// and signed by a certificate of the issuer's name that may sign lists (keyUsage cRLSign) and is
// itself trusted. An entry with removeFromCRL is not a revocation (it belongs to delta lists); one
// with certificateHold is.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "vorlan/x509/pathvalidation.h"

/// The revocation check of certificates against a set of lists at one time.
class CRevocationCheck {
public:
    /// The outcome for one certificate: kPathValid (a usable list does not revoke it),
    /// kPathRevoked, kPathNoRevocationList or kPathRevocationListRefused, with a sentence.
    struct SVerdict {
        /// kPathValid or the refusal.
        EPathStatus status = kPathValid;
        /// The sentence of a refusal; empty otherwise.
        std::string reason;
        /// The entry's reason code, for a revoked certificate whose entry has one.
        std::optional<ECRLReason> revocationReason;
    };
    /// Whether a certificate that signed a list may be trusted to (its own path validates); it
    /// says why not in its second argument.
    using CSignerTrust = std::function<bool(const CPathCertificate&, std::string&)>;

    /// Checks against `lists` (which must outlive the check) at `time`.
    CRevocationCheck(const CRevocationLists& lists, const CUTCTime& time) : m_lists(lists), m_time(time) {}

    /// The status of `certificate` (a CA when `isCA`), whose lists are signed by one of
    /// `signers`, of the issuer's name, in the order to try them; `trusted` decides on each.
    SVerdict Check(const CPathCertificate& certificate, bool isCA, const std::vector<const CPathCertificate*>& signers,
                   const CSignerTrust& trusted) const;

private:
    // Empty when `list` decides the status of `certificate`, else why it does not.
    std::string Refusal(const CRevocationList& list, const CPathCertificate& certificate, bool isCA,
                        const std::vector<const CPathCertificate*>& signers, const CSignerTrust& trusted) const;

    const CRevocationLists& m_lists;
    CUTCTime m_time;
};
