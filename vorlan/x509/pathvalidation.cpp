#include "vorlan/x509/pathvalidation.h"

#include <algorithm>
#include <memory>

#include "vorlan/x509/nameconstraints.h"
#include "vorlan/x509/revocationcheck.h"

namespace {

// Signature checks one validation may spend on candidates: bounds the search among many
// certificates of one name.
constexpr int kCandidateBudget = 256;
// Lists' signers validated within one another's validation (a signer of a signer ...).
constexpr int kMaxSignerNesting = 4;

std::string TimeText(const CUTCTime& time) { return time.GetTimeAsString(1, 0).str(); }

bool KeyIdentifierMatches(const CPathCertificate& certificate, const CPathCertificate& issuer) {
    const auto& authority = certificate.Extensions().authorityKeyIdentifier;
    return authority && issuer.HasKeyIdentifier(authority->keyIdentifier);
}

CPathResult Refused(EPathStatus status, int depth, std::string reason) {
    CPathResult result;
    result.m_status = status;
    result.m_nDepth = depth;
    result.m_strReason = std::move(reason);
    return result;
}

// "certificate <depth> (<subject>)".
std::string CertificateAt(int depth, const CPathCertificate& certificate) {
    return "certificate " + std::to_string(depth) + " (" + certificate.Certificate().m_subject.GetOneLine().str() + ")";
}

}  // namespace

// One validation: the depth-first search of paths and the checks of each complete one. The
// best refusal is kept: that of a complete path over a signature that no candidate verified over
// an issuer that no candidate named, the first of each kind.
class CPathValidator::CSearch {
public:
    CSearch(const CPathValidator& validator, std::vector<std::string>& signersInProgress)
        : m_validator(validator), m_signersInProgress(signersInProgress) {}

    CPathResult Run(const CPathCertificate& end) {
        if (m_validator.m_anchors.Contains(end)) return CheckTrustedEnd(end);
        m_chain.push_back(&end);
        if (!Extend() && m_bestRank == kNone)
            return Refused(kPathNoIssuer, 0, CertificateAt(0, end) + " has no path to a trust anchor within " +
                                                 std::to_string(kMaxPathLength) + " certificates");
        return m_best;
    }

private:
    enum ERank { kNone = -1, kNoIssuerFound, kSignatureFailed, kPathFailed };

    void Keep(ERank rank, CPathResult result) {
        if (rank <= m_bestRank) return;
        m_bestRank = rank;
        m_best = std::move(result);
    }

    CPathResult CheckTrustedEnd(const CPathCertificate& end) const {
        const CCertificate& certificate = end.Certificate();
        const CUTCTime& t = m_validator.m_options.time;
        CPathResult result;
        if (t < certificate.m_notBefore)
            result = Refused(kPathNotYetValid, 0,
                             CertificateAt(0, end) + " is not valid before " + TimeText(certificate.m_notBefore));
        else if (certificate.m_notAfter < t)
            result = Refused(kPathExpired, 0, CertificateAt(0, end) + " has expired at " + TimeText(certificate.m_notAfter));
        result.m_path = {&end};
        return result;
    }

    // The candidates for the issuer of the last certificate of the chain: anchors first, those
    // whose key identifier the certificate names before the others of each store.
    std::vector<std::pair<const CPathCertificate*, bool>> Candidates() const {
        const CPathCertificate& last = *m_chain.back();
        std::vector<std::pair<const CPathCertificate*, bool>> candidates;
        const auto add = [&](const CCertificateStore& store, bool anchor) {
            std::vector<const CPathCertificate*> found = store.FindBySubject(last.IssuerKey());
            std::stable_partition(found.begin(), found.end(),
                                  [&](const CPathCertificate* c) { return KeyIdentifierMatches(last, *c); });
            for (const CPathCertificate* candidate : found) {
                const bool inChain = std::any_of(m_chain.begin(), m_chain.end(), [&](const CPathCertificate* c) {
                    return c == candidate || c->Der() == candidate->Der();
                });
                if (inChain || (!anchor && m_validator.m_anchors.Contains(*candidate))) continue;
                candidates.emplace_back(candidate, anchor);
            }
        };
        add(m_validator.m_anchors, true);
        if (m_validator.m_pIntermediates) add(*m_validator.m_pIntermediates, false);
        return candidates;
    }

    // Extends the chain towards an anchor; true when a valid path is found (in m_best).
    bool Extend() {
        const int depth = static_cast<int>(m_chain.size()) - 1;
        const CPathCertificate& last = *m_chain.back();
        const std::vector<std::pair<const CPathCertificate*, bool>> candidates = Candidates();
        if (candidates.empty()) {
            const std::string issuer = last.Certificate().m_issuer.GetOneLine().str();
            Keep(kNoIssuerFound,
                 Refused(kPathNoIssuer, depth,
                         CertificateAt(depth, last) +
                             (last.IsSelfIssued() && depth == 0 ? " is self-issued and not a trust anchor"
                                                                : " has no issuer: no trust anchor or intermediate is " +
                                                                      issuer)));
            return false;
        }
        for (const auto& [candidate, anchor] : candidates) {
            if (--m_budget < 0) return false;
            if (!last.IsSignedBy(*candidate)) {
                Keep(kSignatureFailed,
                     Refused(kPathBadSignature, depth,
                             "the signature of " + CertificateAt(depth, last) + " does not verify with the key of " +
                                 (anchor ? "the trust anchor " : "the intermediate ") +
                                 candidate->Certificate().m_subject.GetOneLine().str()));
                continue;
            }
            if (anchor) {
                CPathResult result = Check(*candidate);
                if (result.IsValid()) {
                    m_best = std::move(result);
                    return true;
                }
                Keep(kPathFailed, std::move(result));
                continue;
            }
            if (static_cast<int>(m_chain.size()) >= kMaxPathLength) continue;
            m_chain.push_back(candidate);
            if (Extend()) return true;
            m_chain.pop_back();
        }
        return false;
    }

    // The checks of the complete path m_chain + anchor, from the anchor down (RFC 5280 6.1.3, 6.1.4).
    CPathResult Check(const CPathCertificate& anchor) {
        CPathResult result = CheckPath(anchor);
        result.m_path = m_chain;
        result.m_path.push_back(&anchor);
        return result;
    }

    CPathResult CheckPath(const CPathCertificate& anchor) {
        const SPathOptions& options = m_validator.m_options;
        const int count = static_cast<int>(m_chain.size());
        int maxPathLength = count;
        std::vector<std::pair<int, std::unique_ptr<CNameConstraints>>> constraints;
        for (int depth = count - 1; depth >= 0; --depth) {
            const CPathCertificate& current = *m_chain[static_cast<size_t>(depth)];
            const CPathCertificate& issuer = depth + 1 < count ? *m_chain[static_cast<size_t>(depth) + 1] : anchor;
            const CCertificate& certificate = current.Certificate();
            const CCertificateExtensions& extensions = current.Extensions();
            // The sentence is made only for a refusal.
            const auto at = [&] { return CertificateAt(depth, current); };
            if (!current.ExtensionsFault().empty())
                return Refused(kPathMalformedCertificate, depth,
                               at() + " has extensions that do not read (" + current.ExtensionsFault() + ")");
            if (options.time < certificate.m_notBefore)
                return Refused(kPathNotYetValid, depth, at() + " is not valid before " + TimeText(certificate.m_notBefore));
            if (certificate.m_notAfter < options.time)
                return Refused(kPathExpired, depth, at() + " has expired at " + TimeText(certificate.m_notAfter));
            if (m_validator.m_pLists || options.requireRevocationLists) {
                CPathResult revoked = CheckRevocation(current, depth, issuer);
                if (!revoked.IsValid()) return revoked;
            }
            if (depth == 0 || !current.IsSelfIssued())
                for (const auto& [above, constraint] : constraints) {
                    std::string refused;
                    if (!constraint->Allows(current, refused))
                        return Refused(kPathNameConstraints, depth,
                                       at() + ": " + refused + " by the name constraints of " +
                                           CertificateAt(above, *m_chain[static_cast<size_t>(above)]));
                }
            if (!extensions.unknownCritical.empty())
                return Refused(kPathUnknownCriticalExtension, depth,
                               at() + " has the unknown critical extension " + extensions.unknownCritical[0].str());
            if (depth > 0) {
                if (!extensions.basicConstraints || !extensions.basicConstraints->ca)
                    return Refused(kPathNotCA, depth,
                                   at() + " is not a CA (" +
                                       (extensions.basicConstraints ? "its basicConstraints say cA FALSE"
                                                                    : "it has no basicConstraints") +
                                       ") but issued " + CertificateAt(depth - 1, *m_chain[static_cast<size_t>(depth) - 1]));
                if (!current.IsSelfIssued()) {
                    if (maxPathLength <= 0)
                        return Refused(kPathLengthExceeded, depth,
                                       at() + " is one CA too many below the path length constraint of " +
                                           LimitingCA());
                    --maxPathLength;
                }
                if (extensions.basicConstraints->pathLength >= 0 && extensions.basicConstraints->pathLength < maxPathLength) {
                    maxPathLength = extensions.basicConstraints->pathLength;
                    m_limitingDepth = depth;
                }
                if (extensions.keyUsage && !(*extensions.keyUsage & kKeyCertSign))
                    return Refused(kPathKeyUsage, depth, at() + " may not sign certificates (keyUsage without keyCertSign)");
                if (extensions.nameConstraints)
                    constraints.emplace_back(depth, std::make_unique<CNameConstraints>(*extensions.nameConstraints));
            }
        }
        return CheckEndUsage();
    }

    std::string LimitingCA() const {
        return CertificateAt(m_limitingDepth, *m_chain[static_cast<size_t>(m_limitingDepth)]);
    }

    CPathResult CheckEndUsage() const {
        const SPathOptions& options = m_validator.m_options;
        const CPathCertificate& end = *m_chain.front();
        const CCertificateExtensions& extensions = end.Extensions();
        if (options.signer && extensions.keyUsage && !(*extensions.keyUsage & (kDigitalSignature | kNonRepudiation)))
            return Refused(kPathKeyUsage, 0,
                           CertificateAt(0, end) +
                               " may not sign messages (keyUsage without digitalSignature and nonRepudiation)");
        if (options.emailProtection && extensions.extendedKeyUsage) {
            const auto& purposes = *extensions.extendedKeyUsage;
            const bool allowed = std::any_of(purposes.begin(), purposes.end(), [](const CString& purpose) {
                return purpose == vorlan::oid::kEmailProtection || purpose == vorlan::oid::kAnyExtendedKeyUsage;
            });
            if (!allowed)
                return Refused(kPathExtendedKeyUsage, 0,
                               CertificateAt(0, end) + " is not for e-mail protection (extendedKeyUsage)");
        }
        return {};
    }

    // The lists of the issuer of `current`: signed by the path's issuer, or by another
    // certificate of its name that may sign lists and is itself valid.
    CPathResult CheckRevocation(const CPathCertificate& current, int depth, const CPathCertificate& issuer) {
        const SPathOptions& options = m_validator.m_options;
        static const CRevocationLists kNoLists;
        const CRevocationCheck check(m_validator.m_pLists ? *m_validator.m_pLists : kNoLists, options.time);
        std::vector<const CPathCertificate*> signers = {&issuer};
        for (const CCertificateStore* store : {&m_validator.m_anchors, m_validator.m_pIntermediates})
            if (store)
                for (const CPathCertificate* other : store->FindBySubject(current.IssuerKey()))
                    if (other->Der() != issuer.Der()) signers.push_back(other);
        const auto trusted = [&](const CPathCertificate& signer, std::string& why) {
            if (&signer == &issuer || signer.Der() == issuer.Der() || m_validator.m_anchors.Contains(signer)) return true;
            return TrustSigner(signer, why);
        };
        // A list's scope (onlyContainsCACerts ...) goes by the certificate's cA, not its place in the path.
        const auto& constraints = current.Extensions().basicConstraints;
        const CRevocationCheck::SVerdict verdict = check.Check(current, constraints && constraints->ca, signers, trusted);
        if (verdict.status == kPathValid) return {};
        if (verdict.status == kPathNoRevocationList && !options.requireRevocationLists) return {};
        if (verdict.status == kPathRevocationListRefused && !options.requireRevocationLists) return {};
        CPathResult result = Refused(verdict.status, depth, CertificateAt(depth, current) + " " + verdict.reason);
        result.m_revocationReason = verdict.revocationReason;
        return result;
    }

    // A list's signer outside the path: valid by a path of its own. A signer whose validation
    // is under way (a key that signs the list covering its own certificate) is taken as it
    // stands, so the search ends.
    bool TrustSigner(const CPathCertificate& signer, std::string& why) {
        if (std::find(m_signersInProgress.begin(), m_signersInProgress.end(), signer.Der()) != m_signersInProgress.end())
            return true;
        if (static_cast<int>(m_signersInProgress.size()) >= kMaxSignerNesting) {
            why = "its signers nest too deep";
            return false;
        }
        m_signersInProgress.push_back(signer.Der());
        CPathValidator nested = m_validator;
        nested.m_options.signer = nested.m_options.emailProtection = false;
        CSearch search(nested, m_signersInProgress);
        const CPathResult result = search.Run(signer);
        m_signersInProgress.pop_back();
        if (!result.IsValid()) why = result.m_strReason;
        return result.IsValid();
    }

    const CPathValidator& m_validator;
    std::vector<std::string>& m_signersInProgress;
    std::vector<const CPathCertificate*> m_chain;
    CPathResult m_best;
    ERank m_bestRank = kNone;
    int m_budget = kCandidateBudget;
    int m_limitingDepth = 0;
};

CPathValidator::CPathValidator(const CCertificateStore& anchors, const CCertificateStore* intermediates,
                               const CRevocationLists* lists)
    : m_anchors(anchors), m_pIntermediates(intermediates), m_pLists(lists) {}

CPathResult CPathValidator::Validate(const CPathCertificate& end) const {
    std::vector<std::string> signersInProgress;
    return CSearch(*this, signersInProgress).Run(end);
}

CPathResult CPathValidator::Unreadable(const BYTE* der, int length, const std::string& reason) {
    if (CPathCertificate::IsOfUnsupportedAlgorithm(der, length))
        return Refused(kPathUnsupportedAlgorithm, 0,
                       "certificate 0 is of an unsupported key/algorithm (" + reason + ")");
    return Refused(kPathMalformedCertificate, 0, "certificate 0 does not read (" + reason + ")");
}
