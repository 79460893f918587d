#include "vorlan/x509/nameconstraints.h"

#include <algorithm>
#include <cctype>

#include "vorlan/x509/pathcertificate.h"

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A host name within a DNS subtree: the base itself or the base with labels added on the left;
// a base written with a leading period takes only the names below it.
bool HostWithin(const std::string& host, const std::string& base) {
    const std::string h = Lower(host), b = Lower(base);
    if (b.empty()) return true;
    if (b.front() == '.') return EndsWith(h, b);
    return h == b || EndsWith(h, "." + b);
}

// An address within an e-mail subtree: a whole mailbox, all mailboxes of one host, or (a
// leading period) those of any host below a domain.
bool MailboxWithin(const std::string& address, const std::string& base) {
    const size_t at = address.rfind('@');
    if (at == std::string::npos) return false;
    const std::string host = address.substr(at + 1);
    if (base.find('@') != std::string::npos) {
        const size_t baseAt = base.rfind('@');
        return address.compare(0, at, base, 0, baseAt) == 0 && Lower(host) == Lower(base.substr(baseAt + 1));
    }
    if (!base.empty() && base.front() == '.') return EndsWith(Lower(host), Lower(base));
    return Lower(host) == Lower(base);
}

// The host of a URI ("scheme://[user@]host[:port][/...]"); empty when it names none.
std::string UriHost(const std::string& uri) {
    const size_t scheme = uri.find("://");
    if (scheme == std::string::npos) return "";
    std::string rest = uri.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const size_t at = rest.rfind('@'); at != std::string::npos) rest = rest.substr(at + 1);
    if (!rest.empty() && rest.front() == '[') return rest.substr(0, rest.find(']') + 1);
    return rest.substr(0, rest.find(':'));
}

// The URI's host within a URI subtree: the host itself, or with a leading period any host below it.
bool UriWithin(const std::string& uri, const std::string& base) {
    const std::string host = UriHost(uri);
    if (host.empty()) return false;
    if (!base.empty() && base.front() == '.') return EndsWith(Lower(host), Lower(base));
    return Lower(host) == Lower(base);
}

// An address (4 or 16 octets) within a subtree of an address and its mask (twice as long).
bool AddressWithin(const CByteArray& address, const CByteArray& subtree) {
    const int length = address.GetSize();
    if (subtree.GetSize() != 2 * length) return false;
    for (int i = 0; i < length; ++i)
        if ((address[i] & subtree[length + i]) != (subtree[i] & subtree[length + i])) return false;
    return true;
}

const char* FormName(CGeneralName::EKind kind) {
    switch (kind) {
        case CGeneralName::kRfc822Name:
            return "e-mail address";
        case CGeneralName::kDNSName:
            return "DNS name";
        case CGeneralName::kDirectoryName:
            return "directory name";
        case CGeneralName::kURI:
            return "URI";
        case CGeneralName::kIPAddress:
            return "IP address";
        default:
            return "name";
    }
}

std::string NameText(const CGeneralName& name) {
    if (name.m_kind == CGeneralName::kDirectoryName) return name.m_directoryName.GetOneLine().str();
    if (name.m_kind == CGeneralName::kIPAddress) {
        std::string text;
        for (int i = 0; i < name.m_abOctets.GetSize(); ++i) {
            if (i) text += '.';
            text += std::to_string(name.m_abOctets[i]);
        }
        return text;
    }
    return name.m_strText.str();
}

}  // namespace

CNameConstraints::CNameConstraints(const SNameConstraints& constraints) {
    const auto take = [](const CGeneralNames& names, std::vector<SSubtree>& into) {
        for (const CGeneralName& name : names)
            into.push_back({name, name.m_kind == CGeneralName::kDirectoryName ? CNameKey(name.m_directoryName)
                                                                                 : CNameKey()});
    };
    take(constraints.permitted, m_permitted);
    take(constraints.excluded, m_excluded);
}

bool CNameConstraints::Allows(const CGeneralName& name, const CNameKey* directory, std::string& refused) const {
    const auto within = [&](const SSubtree& subtree) {
        switch (name.m_kind) {
            case CGeneralName::kDirectoryName:
                return directory->IsWithin(subtree.directory);
            case CGeneralName::kRfc822Name:
                return MailboxWithin(name.m_strText.str(), subtree.base.m_strText.str());
            case CGeneralName::kDNSName:
                return HostWithin(name.m_strText.str(), subtree.base.m_strText.str());
            case CGeneralName::kURI:
                return UriWithin(name.m_strText.str(), subtree.base.m_strText.str());
            case CGeneralName::kIPAddress:
                return AddressWithin(name.m_abOctets, subtree.base.m_abOctets);
            default:
                return false;
        }
    };
    const auto ofForm = [&](const SSubtree& subtree) { return subtree.base.m_kind == name.m_kind; };
    const std::string shown = std::string("the ") + FormName(name.m_kind) + " " + NameText(name);
    const bool judged = name.m_kind == CGeneralName::kDirectoryName || name.m_kind == CGeneralName::kRfc822Name ||
                        name.m_kind == CGeneralName::kDNSName || name.m_kind == CGeneralName::kURI ||
                        name.m_kind == CGeneralName::kIPAddress;
    const bool constrained = std::any_of(m_permitted.begin(), m_permitted.end(), ofForm) ||
                             std::any_of(m_excluded.begin(), m_excluded.end(), ofForm);
    if (!constrained) return true;
    if (!judged) {
        refused = shown + " is of a constrained form that cannot be checked";
        return false;
    }
    for (const SSubtree& subtree : m_excluded)
        if (ofForm(subtree) && within(subtree)) {
            refused = shown + " is excluded";
            return false;
        }
    bool permitted = true;
    for (const SSubtree& subtree : m_permitted)
        if (ofForm(subtree)) {
            permitted = within(subtree);
            if (permitted) break;
        }
    if (!permitted) refused = shown + " is not permitted";
    return permitted;
}

bool CNameConstraints::Allows(const CPathCertificate& certificate, std::string& refused) const {
    if (!certificate.SubjectKey().IsEmpty()) {
        CGeneralName subject;
        subject.m_kind = CGeneralName::kDirectoryName;
        subject.m_directoryName = certificate.Certificate().m_subject;
        if (!Allows(subject, &certificate.SubjectKey(), refused)) return false;
    }
    for (const std::string& address : certificate.EmailAddresses()) {
        CGeneralName mailbox;
        mailbox.m_kind = CGeneralName::kRfc822Name;
        mailbox.m_strText = CString(address.c_str());
        if (!Allows(mailbox, nullptr, refused)) return false;
    }
    if (const auto& names = certificate.Extensions().subjectAltName)
        for (const CGeneralName& name : *names) {
            if (name.m_kind == CGeneralName::kRfc822Name) continue;  // among the addresses above
            const CNameKey directory =
                name.m_kind == CGeneralName::kDirectoryName ? CNameKey(name.m_directoryName) : CNameKey();
            if (!Allows(name, &directory, refused)) return false;
        }
    return true;
}
