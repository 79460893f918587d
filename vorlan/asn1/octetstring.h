/// \file
/// CASN1_OCTET_STRING: a tagged value with identifier 0x04; its contents stay in a
/// shared stream (a private buffer, the caller's buffer or a file), never copied again.
#pragma once

#include "vorlan/asn1/tagged.h"

/// OCTET STRING: a tagged value with identifier 0x04 whose contents stay in a shared stream (a
/// private buffer, the caller's buffer or a file), never copied again.
class CASN1_OCTET_STRING : public CASN1_TAGGED {
public:
    CASN1_OCTET_STRING() : CASN1_TAGGED(0x04, 0) {}
    /// A private copy of the octets.
    CASN1_OCTET_STRING(const unsigned char* data, unsigned long size);
    /// A private copy of the characters of `text`.
    explicit CASN1_OCTET_STRING(const CString& text);
    /// The caller's buffer, adopted (new[]-allocated), copied or read in place.
    CASN1_OCTET_STRING(unsigned char* data, unsigned long size, int adopt, int copy);
    /// The next `size` octets of `file` from its position, streamed from there when encoded;
    /// the encoding deletes the CFile with autoDeleteFile and removes a temporary file.
    CASN1_OCTET_STRING(CFile* file, unsigned long size, int autoDeleteFile, int tmpFile);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_OCTET_STRING)

protected:
    /// Segments of a constructed encoding must be OCTET STRINGs.
    void addConstructedComponent(CASN1Type* segment) override {
        CASN1_CONSTRUCTED_TYPE::addConstructedComponent(segment);
    }

private:
    /// A primitive value over `size` octets at `position` of `stream`, taking over its reference.
    void holdContents(vorlan::detail::SharedStream* stream, unsigned long size, DWORD position);
};
