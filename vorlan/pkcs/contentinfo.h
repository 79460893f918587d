/// \file
/// CASN1_ContentInfo: the PKCS #7 wrapper of every message — a content type and, optionally,
/// the content under [0] EXPLICIT.
#pragma once

#include <cstddef>

#include "vorlan/asn1/objectidentifier.h"
#include "vorlan/asn1/sequence.h"
#include "vorlan/asn1/tagged.h"

/// ContentInfo ::= SEQUENCE { contentType, content [0] EXPLICIT OPTIONAL } (RFC 2315 7), the
/// wrapper of every message. Accessors give references into the value, which keeps owning them;
/// a malformed structure is the decoding exception.
class CASN1_ContentInfo : public CASN1_SEQUENCE {
public:
    CASN1_ContentInfo() = default;
    /// The type alone (a message without content).
    explicit CASN1_ContentInfo(CASN1_OBJECT_IDENTIFIER* type);
    /// The type alone, as the constructor with the type only.
    CASN1_ContentInfo(CASN1_OBJECT_IDENTIFIER* type, std::nullptr_t) : CASN1_ContentInfo(type) {}
    /// The content itself, owned from now on, goes under a [0] wrapper; the ContentInfo is
    /// written with indefinite length.
    CASN1_ContentInfo(CASN1_OBJECT_IDENTIFIER* type, CASN1Type* content);
    /// A ready [0] EXPLICIT wrapper (constructed, one component) is appended as it is, with
    /// definite length. Any other tagged value — an OCTET STRING above all — is content and
    /// wrapped as above; a bare CASN1_TAGGED that is not such a wrapper is refused with the
    /// decoding exception.
    CASN1_ContentInfo(CASN1_OBJECT_IDENTIFIER* type, CASN1_TAGGED* content);
    /// Decodes and checks; cleared and "ContentInfo contents is not valid" otherwise.
    explicit CASN1_ContentInfo(CDEREncoding& der);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_ContentInfo)

    /// The content's type (data, signedData ...).
    CASN1_OBJECT_IDENTIFIER& GetContentType() const;
    /// 1 when the content is present.
    int IsContent() const;
    /// The content inside the [0] wrapper; the decoding exception when there is none.
    CASN1Type& GetContent() const;
    /// Removes and deletes the content, when there is one.
    void DeleteContent();

    /// An OBJECT IDENTIFIER, then optionally a constructed [0] of exactly one component.
    static int isValid(const CASN1Type* value, int anyTag);

private:
    void appendWrapped(CASN1Type* content);
};
