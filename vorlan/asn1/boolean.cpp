#include "vorlan/asn1/boolean.h"

#include "vorlan/support/diagnostics.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_BOOLEAN, CASN1_PRIMITIVE_TYPE, 0)

CASN1_BOOLEAN::CASN1_BOOLEAN(int value) {
    identifier = kASN1Boolean;
    Add(value ? 0xFF : 0x00);
}

void CASN1_BOOLEAN::setContents(CDEREncoding& der, unsigned long size) {
    if (size != 1) ___throwDERDecodingException("invalid size of data in BOOLEAN. dwSize = %d", static_cast<int>(size));
    CASN1_PRIMITIVE_TYPE::setContents(der, size);
    if (GetAt(0) != 0x00 && GetAt(0) != 0xFF)
        ___throwDERDecodingException("invalid data in BOOLEAN: m_pData[0] = %d", GetAt(0));
}

void CASN1_BOOLEAN::Dump(unsigned long indent, CFile* file) const {
    CASN1Type::Dump(indent, file);
    if (GetSize() != 1) {
        ___WriteFormatted(file, "BAD DATA\r\n");
        return;
    }
    ___WriteFormatted(file, "%s%s\r\n", static_cast<const char*>(CString(' ', static_cast<int>(indent + 3))),
                      GetAt(0) ? "TRUE" : "FALSE");
}
