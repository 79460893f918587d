/// \file
/// CASN1_DigestedData: PKCS #7 digested data — version 0, the digest algorithm, the content
/// and its digest.
#pragma once

#include "vorlan/asn1/octetstring.h"
#include "vorlan/pkcs/contentinfo.h"
#include "vorlan/x509/algorithmidentifier.h"

/// DigestedData ::= SEQUENCE { version 0, digestAlgorithm, contentInfo, digest } (RFC 2315 12).
/// Accessors give references into the value, which keeps owning them; a malformed structure is
/// the decoding exception.
class CASN1_DigestedData : public CASN1_SEQUENCE {
public:
    CASN1_DigestedData() = default;
    /// Version 0, a copy of the algorithm, the content (owned from now on) and the `length`
    /// digest octets; a negative length is refused with the decoding exception.
    CASN1_DigestedData(const CASN1_AlgorithmIdentifier& digestAlgorithm, CASN1_ContentInfo* content,
                       const unsigned char* digest, int length);
    /// Decodes and checks; cleared and "DigestedData contents is not valid" otherwise.
    explicit CASN1_DigestedData(CDEREncoding& der);
    /// The content of a digestedData ContentInfo; the decoding exception for another type.
    explicit CASN1_DigestedData(const CASN1_ContentInfo& message);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_DigestedData)

    /// The digest algorithm.
    CASN1_AlgorithmIdentifier& GetDigestAlgorithm() const;
    /// The digested content.
    CASN1_ContentInfo& GetContentInfo() const;
    /// 0, `out` untouched, unless `length` is the digest's length; else the digest copied, 1.
    int GetDigest(unsigned char* out, int length) const;

    /// 1 when `value` reads as the structure above, else 0 with LastDecodingReason() set.
    static int isValid(const CASN1Type* value, int anyTag);
};
