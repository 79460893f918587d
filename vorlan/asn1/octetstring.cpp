#include "vorlan/asn1/octetstring.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_OCTET_STRING, CASN1_TAGGED)

CASN1_OCTET_STRING::CASN1_OCTET_STRING() : CASN1_TAGGED(0x04, 0) {}

CASN1_OCTET_STRING::CASN1_OCTET_STRING(const unsigned char* data, unsigned long size) : CASN1_OCTET_STRING() {
    holdContents(new CDEREncoding(1, const_cast<unsigned char*>(data), size, 0, 1), size);
}

CASN1_OCTET_STRING::CASN1_OCTET_STRING(const CString& text)
    : CASN1_OCTET_STRING(reinterpret_cast<const unsigned char*>(static_cast<const char*>(text)),
                         static_cast<unsigned long>(text.GetLength())) {}

CASN1_OCTET_STRING::CASN1_OCTET_STRING(unsigned char* data, unsigned long size, int adopt, int copy)
    : CASN1_OCTET_STRING() {
    holdContents(new CDEREncoding(1, data, size, adopt, copy), size);
}

CASN1_OCTET_STRING::CASN1_OCTET_STRING(CFile* file, unsigned long size, int autoDeleteFile, int tmpFile)
    : CASN1_OCTET_STRING() {
    auto* encoding = new CDEREncoding(1, file, 1, autoDeleteFile);
    encoding->OnOffTmpFile(tmpFile);
    holdContents(encoding, size);
}

void CASN1_OCTET_STRING::holdContents(CDEREncoding* encoding, unsigned long size) {
    shareWindow(encoding, static_cast<DWORD>(size), 0);
    m_dwPosition = static_cast<DWORD>(encoding->Seek(0, CFile::current));
    m_bConstructed = 0;
}
