// CNameConstraints: the name constraints of a CA certificate (RFC 5280 4.2.1.10) held against
// the names of a certificate below it: its subject and subjectAltName directoryNames, e-mail
// addresses (subjectAltName rfc822Names and the subject's E-mail address attributes), DNS
// names, URIs (by host) and IP addresses. A name of a form constrained here that cannot be
// judged (otherName, x400Address, ediPartyName, registeredID) refuses the certificate.
#pragma once

#include <string>
#include <vector>

#include "vorlan/x509/extensionvalues.h"
#include "vorlan/x509/namekey.h"

class CPathCertificate;

/// The name constraints of one CA.
class CNameConstraints {
public:
    /// The subtrees of a CA's nameConstraints extension.
    explicit CNameConstraints(const SNameConstraints& constraints);

    /// True when every name of the certificate lies within the permitted subtrees of its form
    /// (where there are any) and within no excluded subtree; else false with `refused` naming
    /// the name and why ("the e-mail address a@b is excluded").
    bool Allows(const CPathCertificate& certificate, std::string& refused) const;

private:
    struct SSubtree {
        CGeneralName base;
        CNameKey directory;  // the base of a directoryName subtree
    };
    bool Allows(const CGeneralName& name, const CNameKey* directory, std::string& refused) const;

    std::vector<SSubtree> m_permitted;
    std::vector<SSubtree> m_excluded;
};
