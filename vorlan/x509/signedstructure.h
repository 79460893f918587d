/// \file
/// CASN1_SignedStructure: a SEQUENCE of a signed part, its signature algorithm and the
/// signature (a certificate, a revocation list). Decoded from DER it keeps the octets as
/// received, so that the signed part is digested exactly as it arrived. A structure checked
/// by a scan of its octets may leave its components to be built from them on first use
/// (CASN1_CONSTRUCTED_TYPE::deferComponents).
#pragma once

#include <memory>

#include "vorlan/asn1/bitstring.h"
#include "vorlan/asn1/sequence.h"
#include "vorlan/x509/algorithmidentifier.h"
#include "vorlan/x509/signedobject.h"

template <class Value>
class CASN1ComponentReader;

/// A SEQUENCE of a signed part, its signature algorithm and the signature (a certificate, a
/// revocation list), keeping the octets it was decoded from. It owns its parts.
class CASN1_SignedStructure : public CASN1_SEQUENCE {
public:
    /// Also forgets the received octets.
    void clear() override;

protected:
    CASN1_SignedStructure() = default;
    /// Owns the three from now on.
    CASN1_SignedStructure(CASN1Type* signedPart, CASN1_AlgorithmIdentifier* algorithm, CASN1_BIT_STRING* signature);
    CASN1_SignedStructure(const CASN1_SignedStructure& other) = delete;
    /// A deep copy, the received octets included.
    CASN1_SignedStructure& operator=(const CASN1_SignedStructure& other);
    /// Takes the parts and the received octets of `source`, which is left empty.
    void operatorMOVE(CASN1_SignedStructure& source);

    /// moveFrom of the structure T: a T brings its received octets; a plain value brings none,
    /// and those of this value belonged to other components.
    template <class T>
    static int moveSigned(T& self, CASN1Type* source) {
        if (dynamic_cast<T*>(source)) return vorlan::detail::moveValue<T>(self, source);
        self.forgetReceived();
        return vorlan::detail::moveValue<CASN1_CONSTRUCTED_TYPE>(self, source);
    }

    /// Decodes, then checks with `check`; on failure the value is cleared and the decoding
    /// exception says "<contents> (<structure>...)" with the path of the failing field.
    void decodeChecked(CDEREncoding& der, void (*check)(const CASN1Type&, int), const char* structure,
                       const char* contents);
    /// The signed part, the AlgorithmIdentifier of the object's algorithm (the signed part has
    /// refused an unknown one) and the signature; the decoding exception naming `structure` for
    /// a signature longer than 4,096 bits.
    void appendSigned(std::unique_ptr<CASN1Type> signedPart, const CSignedObject& source, const char* structure);
    /// After the signed part has been read into `target`: the digest of the signed part (of its
    /// octets as received, when known) cached for the algorithm read, the signatureAlgorithm
    /// compared with the signed one and the signature read into the fields. The decoding
    /// exception says "<contents> (signatureAlgorithm differs ...)" for another algorithm and
    /// `badSignature` for a signature that is no BIT STRING of at most 4,096 bits.
    void readSignature(CASN1ComponentReader<const CASN1_CONSTRUCTED_TYPE>& reader, const CASN1Type& signedPart,
                       CSignedObject& target, const char* contents, const char* badSignature) const;

    /// Drops the received octets.
    void forgetReceived();
    /// Keeps the element from `start` to `end` of `der`, which a scan has checked, as received
    /// (its signed part located) and leaves the components to be built from it; the position
    /// moves to `end`. 0, nothing changed, when the signed part cannot be located.
    int deferReceived(CDEREncoding& der, long start, long end);
    /// The components, decoded from the received octets.
    void buildComponents() override;

    /// The DER as received; the signed part within it (length 0: not located).
    CByteArray m_abReceived;
    DWORD m_dwSignedOffset = 0;  ///< where the signed part starts in m_abReceived
    DWORD m_dwSignedLength = 0;  ///< the signed part's length, 0 when not located

private:
    void keepReceived(CDEREncoding& der, long start, long end);
};
