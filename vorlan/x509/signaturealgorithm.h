// The signature algorithms of signed structures, one row each: the number a certificate
// stores, the algorithm's identifier, the digest under the signature, the name of the text
// form and whether it is ECDSA rather than RSA; and the signature checks, RSA and ECDSA,
// that every signed structure uses.
#pragma once

#include <cstddef>
#include <memory>
#include <span>

#include "vorlan/asn1/objectidentifier.h"
#include "vorlan/digest/digestmaker.h"
#include "vorlan/ec/ecpublickey.h"
#include "vorlan/rsa/rsapublickey.h"

class CASN1_AlgorithmIdentifier;

namespace vorlan::detail {

// The longest digest of any row.
inline constexpr int kMaxSignatureDigestSize = 64;

struct SSignatureAlgorithm {
    int value;  // CSignedObject::m_nSignatureAlgorithm
    const CASN1_OBJECT_IDENTIFIER& (*identifier)();
    EDigestAlgorithm digest;
    int digestSize;
    std::unique_ptr<CDigestMaker> (*newDigestMaker)();
    const char* text;
    bool ecdsa = false;  // an ECDSA signature (a DER Ecdsa-Sig-Value), else PKCS#1 v1.5
};

// The row of a stored number or of an identifier; null when there is none.
const SSignatureAlgorithm* FindSignatureAlgorithm(int value);
const SSignatureAlgorithm* FindSignatureAlgorithm(const CASN1_OBJECT_IDENTIFIER& identifier);

// The row to sign with: 2 (SHA-1), 3 (SHA-256), 4 (SHA-384) or 5 (SHA-512) with RSA; CNotSupportedException for any
// other value (MD2 and MD5 are only checked).
const SSignatureAlgorithm& SigningAlgorithm(int value);

// The row of an AlgorithmIdentifier read in a signed part; the decoding exception with
// `unknown` for an identifier of no row.
const SSignatureAlgorithm& ReadSignatureAlgorithm(const CASN1Type& value, const char* unknown);

// The AlgorithmIdentifier of the row: NULL parameters for RSA, none for ECDSA.
CASN1_AlgorithmIdentifier* NewAlgorithmIdentifier(const SSignatureAlgorithm& algorithm);

// The digest of the row over the DER of `value`, or over octets.
void DigestEncoding(const SSignatureAlgorithm& algorithm, const CASN1Type& value, unsigned char* out);
void DigestOctets(const SSignatureAlgorithm& algorithm, std::span<const BYTE> octets, unsigned char* out);

// 1 when `signature` is the PKCS#1 v1.5 signature of `digest` under `key`, else 0. The
// signature must be exactly as long as the key's modulus and the whole RSA block is
// checked: lengths come from the modulus itself, never from a stored or received bit
// count, so no part of the block is left for a forger to choose.
int IsSignatureOK(const SSignatureAlgorithm& algorithm, const CRSAPublicKey& key, std::span<const BYTE> signature,
                  const unsigned char* digest);
// The decoding exception "signature differs" unless IsSignatureOK; "signature not checkable"
// for an ECDSA row.
void RequireSignature(const SSignatureAlgorithm& algorithm, const CRSAPublicKey& key, std::span<const BYTE> signature,
                      const unsigned char* digest);
// The same for an ECDSA signature under an EC key: "signature not checkable" for an RSA row,
// "signature differs" unless `signature` is a DER Ecdsa-Sig-Value of `digest` under `key`.
void RequireSignature(const SSignatureAlgorithm& algorithm, const CECPublicKey& key, std::span<const BYTE> signature,
                      const unsigned char* digest);
// The decoding exception "signature not checkable" unless `checkable` (a known algorithm, a
// signature of whole octets).
void RequireCheckable(bool checkable);

}  // namespace vorlan::detail
