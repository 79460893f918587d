// CASN1_SignedStructure: a SEQUENCE of a signed part, its signature algorithm and the
// signature (a certificate, a revocation list). Decoded from DER it keeps the octets as
// received, so that the signed part is digested exactly as it arrived.
#pragma once

#include <memory>

#include "vorlan/asn1/bitstring.h"
#include "vorlan/asn1/sequence.h"
#include "vorlan/x509/algorithmidentifier.h"
#include "vorlan/x509/signedobject.h"
#include "vorlan/x509/structurecheck.h"

class CASN1_SignedStructure : public CASN1_SEQUENCE {
public:
    // Also forgets the received octets.
    void clear() override;

protected:
    CASN1_SignedStructure() = default;
    // Owns the three from now on.
    CASN1_SignedStructure(CASN1Type* signedPart, CASN1_AlgorithmIdentifier* algorithm, CASN1_BIT_STRING* signature);
    CASN1_SignedStructure(const CASN1_SignedStructure& other) = delete;
    CASN1_SignedStructure& operator=(const CASN1_SignedStructure& other);
    void operatorMOVE(CASN1_SignedStructure& source);

    // moveFrom of the structure T: a T brings its received octets; a plain value brings none,
    // and those of this value belonged to other components.
    template <class T>
    static int moveSigned(T& self, CASN1Type* source) {
        if (dynamic_cast<T*>(source)) return detail::moveValue<T>(self, source);
        self.forgetReceived();
        return detail::moveValue<CASN1_CONSTRUCTED_TYPE>(self, source);
    }

    // Decodes, then checks with `check`; on failure the value is cleared and the decoding
    // exception says "<contents> (<structure>...)" with the path of the failing field.
    void decodeChecked(CDEREncoding& der, void (*check)(const CASN1Type&, int), const char* structure,
                       const char* contents);
    // The signed part, the AlgorithmIdentifier of the object's algorithm (the signed part has
    // refused an unknown one) and the signature; the decoding exception naming `structure` for
    // a signature longer than 2,048 bits.
    void appendSigned(std::unique_ptr<CASN1Type> signedPart, const CSignedObject& source, const char* structure);
    // After the signed part has been read into `target`: the digest of the signed part (of its
    // octets as received, when known) cached for the algorithm read, the signatureAlgorithm
    // passed over and the signature into the fields; `badSignature` is the reason for a
    // signature that is no BIT STRING of at most 2,048 bits.
    void readSignature(detail::CStructureReader& reader, const CASN1Type& signedPart, CSignedObject& target,
                       const char* badSignature) const;

    void forgetReceived();

    // The DER as received; the signed part within it (length 0: not located).
    CByteArray m_abReceived;
    DWORD m_dwSignedOffset = 0;
    DWORD m_dwSignedLength = 0;

private:
    void keepReceived(CDEREncoding& der, long start, long end);
};
