#include "vorlan/asn1/objectidentifier.h"

#include <vector>

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

namespace {

// An arc as decimal digits, least significant first: arcs may be longer than any integer type
// (a UUID arc under 2.25 has 128 bits).
class CDecimalArc {
public:
    void AddGroup(BYTE group) {  // arc = arc * 128 + group
        unsigned carry = group;
        for (unsigned char& digit : m_digits) {
            carry += digit * 128u;
            digit = static_cast<unsigned char>(carry % 10);
            carry /= 10;
        }
        for (; carry != 0; carry /= 10) m_digits.push_back(static_cast<unsigned char>(carry % 10));
    }
    bool Below(unsigned value) const { return m_digits.size() < 3 && Small() < value; }
    unsigned Small() const { return m_digits.empty() ? 0 : m_digits[0] + (m_digits.size() > 1 ? 10u * m_digits[1] : 0); }
    void Subtract(unsigned value) {  // value <= arc
        for (std::size_t i = 0; value != 0; ++i, value /= 10) {
            int digit = m_digits[i] - static_cast<int>(value % 10);
            if (digit < 0) {
                digit += 10;
                value += 10;
            }
            m_digits[i] = static_cast<unsigned char>(digit);
        }
        while (!m_digits.empty() && m_digits.back() == 0) m_digits.pop_back();
    }
    void AppendTo(CString& text) const {
        if (m_digits.empty()) text += '0';
        for (auto digit = m_digits.rbegin(); digit != m_digits.rend(); ++digit) text += static_cast<char>('0' + *digit);
    }

private:
    std::vector<unsigned char> m_digits;
};

}  // namespace

// The first subidentifier holds the first two arcs: below 80 it is first * 40 + second, above
// it the first arc is 2 and the second arc is what is left (2.40 and up).
void CASN1_OBJECT_IDENTIFIER::GetDecimalDottedString(CString& text) const {
    text.Empty();
    CDecimalArc arc;
    bool first = true;
    for (int i = 0; i < GetSize(); ++i) {
        const BYTE c = GetAt(i);
        arc.AddGroup(c & 0x7F);
        if (c & 0x80) continue;  // more groups of this arc follow
        if (first && arc.Below(80)) {
            text.Format("%u.%u", arc.Small() / 40, arc.Small() % 40);
        } else {
            if (first) {
                text = "2.";
                arc.Subtract(80);
            } else {
                text += '.';
            }
            arc.AppendTo(text);
        }
        first = false;
        arc = CDecimalArc();
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
