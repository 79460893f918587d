#include "vorlan/x509/revocationcheck.h"

#include <algorithm>

namespace {

std::string TimeText(const CUTCTime& time) { return time.GetTimeAsString(1, 0).str(); }

const char* ReasonName(ECRLReason reason) {
    switch (reason) {
        case kUnspecified:
            return "unspecified";
        case kKeyCompromise:
            return "keyCompromise";
        case kCACompromise:
            return "cACompromise";
        case kAffiliationChanged:
            return "affiliationChanged";
        case kSuperseded:
            return "superseded";
        case kCessationOfOperation:
            return "cessationOfOperation";
        case kCertificateHold:
            return "certificateHold";
        case kRemoveFromCRL:
            return "removeFromCRL";
        case kPrivilegeWithdrawn:
            return "privilegeWithdrawn";
        case kAACompromise:
            return "aACompromise";
    }
    return "unknown reason";
}

bool SameGeneralName(const CGeneralName& a, const CGeneralName& b) {
    if (a.m_kind != b.m_kind) return false;
    switch (a.m_kind) {
        case CGeneralName::kDirectoryName:
            return IsSameName(a.m_directoryName, b.m_directoryName) != 0;
        case CGeneralName::kRfc822Name:
        case CGeneralName::kDNSName:
        case CGeneralName::kURI:
        case CGeneralName::kRegisteredID:
            return a.m_strText == b.m_strText;
        default:
            return a.m_abOctets.GetSize() == b.m_abOctets.GetSize() &&
                   std::equal(a.m_abOctets.GetData(), a.m_abOctets.GetData() + a.m_abOctets.GetSize(),
                              b.m_abOctets.GetData());
    }
}

// The names of a distribution point: its full name, or its name relative to the issuer made whole.
CGeneralNames PointNames(const CGeneralNames& fullName, const std::optional<CRelativeDN>& relative,
                         const CDistinguishedName& issuer) {
    if (!relative) return fullName;
    CGeneralName whole;
    whole.m_kind = CGeneralName::kDirectoryName;
    whole.m_directoryName = issuer;
    whole.m_directoryName.Add(new CRelativeDN(*relative));
    return {whole};
}

// Empty when a list with this issuing distribution point is complete for the certificate.
std::string ScopeRefusal(const SIssuingDistributionPoint& point, const CRevocationList& list,
                         const CPathCertificate& certificate, bool isCA) {
    if (point.indirectCRL) return "it is an indirect list";
    if (point.onlyContainsAttributeCerts) return "it holds only attribute certificates";
    if (point.onlyContainsUserCerts && isCA) return "it holds only end-entity certificates";
    if (point.onlyContainsCACerts && !isCA) return "it holds only CA certificates";
    if (point.onlySomeReasons) return "it covers only some reasons";
    if (point.fullName.empty() && !point.relativeName) return "";
    const CGeneralNames listNames = PointNames(point.fullName, point.relativeName, list.List().m_issuer);
    if (const auto& points = certificate.Extensions().crlDistributionPoints)
        for (const SDistributionPoint& dp : *points)
            for (const CGeneralName& name :
                 PointNames(dp.fullName, dp.relativeName, certificate.Certificate().m_issuer))
                for (const CGeneralName& listName : listNames)
                    if (SameGeneralName(name, listName)) return "";
    return "its distribution point is not one of the certificate's";
}

}  // namespace

std::string CRevocationCheck::Refusal(const CRevocationList& list, const CPathCertificate& certificate, bool isCA,
                                      const std::vector<const CPathCertificate*>& signers,
                                      const CSignerTrust& trusted) const {
    const CListExtensions& extensions = list.Extensions();
    const CCertificateRevocationList& crl = list.List();
    if (!list.ExtensionsFault().empty()) return "its extensions do not read (" + list.ExtensionsFault() + ")";
    if (!extensions.unknownCritical.empty())
        return "it has the unknown critical extension " + extensions.unknownCritical[0].str();
    if (!list.EntriesFault().empty()) return list.EntriesFault();
    if (extensions.deltaCRLIndicator) return "it is a delta list";
    if (extensions.issuingDistributionPoint) {
        const std::string scope = ScopeRefusal(*extensions.issuingDistributionPoint, list, certificate, isCA);
        if (!scope.empty()) return scope;
    }
    if (m_time < crl.m_lastUpdate) return "it is issued only at " + TimeText(crl.m_lastUpdate);
    if (crl.m_bHasNextUpdate && crl.m_nextUpdate < m_time) return "it is outdated since " + TimeText(crl.m_nextUpdate);
    std::string why = "its signature does not verify with the key of its issuer";
    // The certificates of the key the list names first: the others of its issuer's name after.
    std::vector<const CPathCertificate*> ordered = signers;
    if (const auto& authority = extensions.authorityKeyIdentifier; authority && authority->keyIdentifier.GetSize())
        std::stable_partition(ordered.begin(), ordered.end(), [&](const CPathCertificate* signer) {
            return signer->HasKeyIdentifier(authority->keyIdentifier);
        });
    for (const CPathCertificate* signer : ordered) {
        if (!list.IsSignedBy(*signer)) continue;
        const auto& usage = signer->Extensions().keyUsage;
        if (usage && !(*usage & kCRLSign)) {
            why = "its signer may not sign lists (keyUsage without cRLSign)";
            continue;
        }
        std::string untrusted;
        if (trusted(*signer, untrusted)) return "";
        why = "its signer is not trusted: " + untrusted;
    }
    return why;
}

CRevocationCheck::SVerdict CRevocationCheck::Check(const CPathCertificate& certificate, bool isCA,
                                                   const std::vector<const CPathCertificate*>& signers,
                                                   const CSignerTrust& trusted) const {
    const std::vector<const CRevocationList*> lists = m_lists.FindByIssuer(certificate.IssuerKey());
    SVerdict verdict;
    if (lists.empty()) {
        verdict.status = kPathNoRevocationList;
        verdict.reason = "has no revocation list of its issuer";
        return verdict;
    }
    bool decided = false;
    std::string refusal;
    for (const CRevocationList* list : lists) {
        const std::string why = Refusal(*list, certificate, isCA, signers, trusted);
        if (!why.empty()) {
            if (refusal.empty()) refusal = why;
            continue;
        }
        decided = true;
        const CCertificateRevocationList& crl = list->List();
        const int index = crl.FindSerial(certificate.Certificate().m_serialNumber);
        if (index < 0) continue;
        const CCRLEntry& entry = *crl.m_entries[index];
        const CEntryExtensions entryExtensions(entry.m_extensions);  // read before: EntriesFault() is empty
        const std::optional<ECRLReason> reason = entryExtensions.reasonCode;
        if (reason == kRemoveFromCRL) continue;  // only a delta list takes an entry back
        verdict.status = kPathRevoked;
        verdict.revocationReason = reason;
        verdict.reason = (reason == kCertificateHold ? "is on hold since " : "was revoked on ") +
                         TimeText(entry.m_revocationDate) + (reason ? std::string(" (") + ReasonName(*reason) + ")" : "");
        return verdict;
    }
    if (!decided) {
        verdict.status = kPathRevocationListRefused;
        verdict.reason = "has no usable revocation list of its issuer: " + refusal;
    }
    return verdict;
}
