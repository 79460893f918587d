/// \file
/// CASN1_SignedContent: what SignedData and SignedAndEnvelopedData share — their digest
/// algorithms, the optional [0] certificates and [1] revocation lists and the signers, last.
#pragma once

#include "vorlan/asn1/set.h"
#include "vorlan/pkcs/signerinfo.h"

namespace vorlan::detail {
struct SSignedParts;
}

/// What SignedData and SignedAndEnvelopedData share: their digest algorithms, the optional [0]
/// certificates and [1] revocation lists and the signers. Accessors give references into the
/// value, which keeps owning them; a malformed structure is the decoding exception.
class CASN1_SignedContent : public CASN1_SEQUENCE {
public:
    /// Adds when no algorithm of the same identifier is there yet; owned from now on.
    void AddDigestAlgorithmIdentifier(CASN1_AlgorithmIdentifier* algorithm);
    /// Adds the signer, and its digest algorithm when missing (peers look it up there).
    void AddSignerInfo(CASN1_SignerInfo* signerInfo);

    /// The digest algorithms.
    CASN1_SET& GetDigestAlgorithms() const;
    /// The signers.
    CASN1_SET& GetSignerInfos() const;
    /// Signer `index` of the signerInfos SET.
    CASN1_SignerInfo& GetSignerInfo(int index) const;

    ///@{
    /// 1 when the certificates [0] or the revocation lists [1] are present.
    int IsCertificates() const;
    int IsCRLs() const;
    ///@}
    /// New sets, the caller's; clearAfterGet moves the elements out instead of copying them.
    /// The elements are as received: a certificate or list that is not valid (or of another
    /// choice) stays in the bag, and the caller tells the usable ones by their check.
    CASN1_SET* GetCertificates(int clearAfterGet);
    /// The revocation lists, as GetCertificates gives the certificates.
    CASN1_SET* GetCRLs(int clearAfterGet);
    /// Replaces the certificates or inserts them before the revocation lists and signers.
    void SetCertificates(CASN1_SET& certificates);

protected:
    CASN1_SignedContent() = default;
    /// Copies the header; the classes copy their components.
    CASN1_SignedContent(const CASN1_SignedContent&) = default;
    /// Assigns the header; the classes assign their components.
    CASN1_SignedContent& operator=(const CASN1_SignedContent&) = default;

    /// The shared parts, located by the walk of the structure.
    virtual vorlan::detail::SSignedParts signedParts() const = 0;
};
