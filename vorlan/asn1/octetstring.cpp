#include "vorlan/asn1/octetstring.h"

#include "vorlan/asn1/sharedstream.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_OCTET_STRING, CASN1_TAGGED)

CASN1_OCTET_STRING::CASN1_OCTET_STRING(const unsigned char* data, unsigned long size)
    : CASN1_OCTET_STRING(const_cast<unsigned char*>(data), size, 0, 1) {}

CASN1_OCTET_STRING::CASN1_OCTET_STRING(const CString& text)
    : CASN1_OCTET_STRING(reinterpret_cast<const unsigned char*>(static_cast<const char*>(text)),
                         static_cast<unsigned long>(text.GetLength())) {}

CASN1_OCTET_STRING::CASN1_OCTET_STRING(unsigned char* data, unsigned long size, int adopt, int copy)
    : CASN1_OCTET_STRING() {
    holdContents(vorlan::detail::MemoryStream(data, size, adopt, copy), size, 0);
}

CASN1_OCTET_STRING::CASN1_OCTET_STRING(CFile* file, unsigned long size, int autoDeleteFile, int tmpFile)
    : CASN1_OCTET_STRING() {
    const DWORD position = file->GetPosition();
    auto* stream = new vorlan::detail::SharedStream(file, autoDeleteFile);
    stream->m_bTmpFile = tmpFile;
    holdContents(stream, size, position);
}

void CASN1_OCTET_STRING::holdContents(vorlan::detail::SharedStream* stream, unsigned long size, DWORD position) {
    takeWindow(stream, static_cast<DWORD>(size), position);
    m_bConstructed = 0;
}
