/// \file
/// The parameters of the RC2-CBC and RC5-CBC content-encryption algorithms. Received
/// parameters reach the cipher constructors only through the accessors, which refuse what
/// the ciphers cannot take (rounds, block sizes, effective key lengths, IV lengths) with the
/// decoding exception.
#pragma once

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/asn1/sequence.h"
#include "vorlan/framework/bytearray.h"

/// RC2-CBC-Parameter ::= SEQUENCE { rc2ParameterVersion, iv } (RFC 2268 6).
class CASN1_RC2AlgorithmParameter : public CASN1_SEQUENCE {
public:
    CASN1_RC2AlgorithmParameter() = default;
    /// The version of `effectiveBits` and the 8-octet IV.
    CASN1_RC2AlgorithmParameter(unsigned short effectiveBits, const unsigned char* iv);
    /// Decodes and checks; cleared and "CASN1_RC2AlgorithmParameter contents is not valid" otherwise.
    explicit CASN1_RC2AlgorithmParameter(CDEREncoding& der);
    /// A copy of an algorithm's parameters value, checked likewise.
    explicit CASN1_RC2AlgorithmParameter(const CASN1Type& parameters);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_RC2AlgorithmParameter)

    /// The effective key bits of the version: one of the known versions, or 256 to 1,024.
    unsigned short GetEffectiveBits() const;
    /// The IV, which must be one 8-octet block.
    void GetIV(CByteArray& iv) const;

    /// An INTEGER and an OCTET STRING.
    static int isValid(const CASN1Type* value, int anyTag);
};

/// RC5-CBC-Parameters ::= SEQUENCE { version, rounds, blockSizeInBits, iv OPTIONAL } (RFC 2040 6).
class CASN1_RC5AlgorithmParameter : public CASN1_SEQUENCE {
public:
    CASN1_RC5AlgorithmParameter() = default;
    /// Version 16, the rounds, the block size in bits and the IV of blockSizeInBits / 8 octets.
    CASN1_RC5AlgorithmParameter(unsigned long rounds, unsigned long blockSizeInBits, const unsigned char* iv);
    /// Decodes and checks; cleared and "CASN1_RC5AlgorithmParameter contents is not valid" otherwise.
    explicit CASN1_RC5AlgorithmParameter(CDEREncoding& der);
    /// A copy of an algorithm's parameters value, checked likewise.
    explicit CASN1_RC5AlgorithmParameter(const CASN1Type& parameters);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_RC5AlgorithmParameter)

    /// Rounds the cipher takes (0 to 255).
    unsigned long GetRounds() const;
    /// The block size in octets (2, 4, 8 or 16).
    unsigned long GetBlockSize() const;
    /// 1 when the IV is present.
    int IsIV() const;
    /// The IV as received; the decoding exception when absent.
    CASN1_OCTET_STRING& GetIV() const;
    /// The IV, which must be one block.
    void GetIV(CByteArray& iv) const;

    /// Version (at least 16), rounds and block size INTEGERs, an optional OCTET STRING.
    static int isValid(const CASN1Type* value, int anyTag);
};
