#include "vorlan/asn1/objectidentifier.h"

#include "vorlan/support/diagnostics.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_OBJECT_IDENTIFIER, CASN1_PRIMITIVE_TYPE)

CASN1_OBJECT_IDENTIFIER::CASN1_OBJECT_IDENTIFIER() : CASN1_OBJECT_IDENTIFIER(0, 0) {}

CASN1_OBJECT_IDENTIFIER::CASN1_OBJECT_IDENTIFIER(unsigned char first, unsigned char second) {
    identifier = kASN1ObjectIdentifier;
    Add(static_cast<BYTE>(first * 40 + second));
}

void CASN1_OBJECT_IDENTIFIER::AddIDComponent(unsigned long arc) {
    unsigned char groups[(sizeof(unsigned long) * 8 + 6) / 7];
    int n = 0;
    do {
        groups[n++] = static_cast<unsigned char>(arc & 0x7F);
        arc >>= 7;
    } while (arc != 0);
    while (n > 0) {
        --n;
        Add(static_cast<BYTE>(groups[n] | (n > 0 ? 0x80 : 0x00)));
    }
}

void CASN1_OBJECT_IDENTIFIER::GetDecimalDottedString(CString& text) const {
    text.Empty();
    if (GetSize() == 0) return;
    text.Format("%d.%d", GetAt(0) / 40, GetAt(0) % 40);
    unsigned long accumulator = 0;
    for (int i = 1; i < GetSize(); ++i) {
        const BYTE c = GetAt(i);
        accumulator = (accumulator << 7) | (c & 0x7F);
        if (c < 0x80) {
            CString arc;
            arc.Format(".%lu", accumulator);
            text += arc;
            accumulator = 0;
        }
    }
}

CASN1_OBJECT_IDENTIFIER::operator CString() const {
    CString text;
    GetDecimalDottedString(text);
    return text;
}

void CASN1_OBJECT_IDENTIFIER::setContents(CDEREncoding& der, unsigned long size) {
    if (size == 0) ___throwDERDecodingException("Encoded OBJECT IDENTIFIER has invalid size");
    CASN1_PRIMITIVE_TYPE::setContents(der, size);
    if (GetAt(0) > 119) ___throwDERDecodingException("Encoded OBJECT IDENTIFIER value is not valid");
}

void CASN1_OBJECT_IDENTIFIER::Dump(unsigned long indent, CFile* file) const {
    CASN1_PRIMITIVE_TYPE::Dump(indent, file);
    if (GetSize() == 0) return;
    ___WriteFormatted(file, "%sOID = %s\r\n", static_cast<const char*>(CString(' ', static_cast<int>(indent + 3))),
                      static_cast<const char*>(CString(*this)));
}

int operator==(const CASN1_OBJECT_IDENTIFIER& a, const CASN1_OBJECT_IDENTIFIER& b) {
    return a.GetSize() == b.GetSize() && (a.GetSize() == 0 || std::memcmp(a.GetData(), b.GetData(), a.GetSize()) == 0);
}
