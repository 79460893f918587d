/// \file
/// CCertificationChain: certificates in their ASN.1 form in the order the client collected them
/// (from a signed message, a key store), with one query: whether this chain is contained in
/// another one.
#pragma once

#include "vorlan/x509/asn1certificate.h"

/// Certificates in their ASN.1 form, held by value in the order the client collected them.
class CCertificationChain : public CArray<CASN1_Certificate, CASN1_Certificate&> {
public:
    CCertificationChain() = default;
    /// Copies of every certificate value.
    CCertificationChain(const CCertificationChain& other);
    /// Copies of every certificate value in place of the own ones.
    CCertificationChain& operator=(const CCertificationChain& other);
    ~CCertificationChain() override = default;

    /// 1 when this chain, not empty, is one contiguous run of `other`, in the same order;
    /// certificates are equal as CCertificate objects (extensions and unique identifiers
    /// aside), and one that cannot be read as a CCertificate is compared by its encoding.
    int IsSubChainOf(const CCertificationChain& other) const;
};

/// Arrays hold chains by value: the framework's element functions construct and destroy them;
/// each archives in its own form.
void SerializeElements(CArchive& ar, CCertificationChain* elements, int count);
