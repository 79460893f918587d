#include "vorlan/x509/serialnumber.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "vorlan/asn1/integer.h"
#include "vorlan/digest/md5.h"
#include "vorlan/framework/archive.h"
#include "vorlan/random/randomsgenerator.h"
#include "vorlan/support/hex.h"

IMPLEMENT_SERIAL(CSerialNumber, CByteArray, VERSIONABLE_SCHEMA | 0)

namespace {

constexpr DWORD kNegativeMark = 0xFFFFFFFF;

std::span<const BYTE> significant(const CByteArray& octets) {
    std::span<const BYTE> all(octets.GetData(), static_cast<size_t>(octets.GetSize()));
    size_t zeros = 0;
    while (zeros < all.size() && all[zeros] == 0) ++zeros;
    return all.subspan(zeros);
}

// The two's complement of a big-endian number of the given length, in place.
void negate(BYTE* octets, size_t count) {
    unsigned carry = 1;
    for (size_t i = count; i-- > 0;) {
        const unsigned sum = static_cast<BYTE>(~octets[i]) + carry;
        octets[i] = static_cast<BYTE>(sum);
        carry = sum >> 8;
    }
}

}  // namespace

CSerialNumber::CSerialNumber(const unsigned char* data, int length) {
    SetSize(length);
    if (length > 0) std::memcpy(m_pData, data, static_cast<size_t>(length));
}

CSerialNumber::operator CString() const {
    const CString hex = OctetsToHexChars(m_pData, m_nSize);
    return m_bNegative && !significant(*this).empty() ? "-" + hex : hex;
}

void CSerialNumber::RandomPermutation() {
    BYTE middle[16];
    CRandomsGenerator randoms;
    if (m_nSize > 0)
        AfxMakeMD5DigestOnData(m_pData, m_nSize, middle);
    else
        randoms.GetRandomBlock(middle, sizeof middle);
    SetSize(24);
    m_bNegative = 0;
    randoms.GetRandomBlock(m_pData + 19, 5);
    randoms.RegenerateRandoms(nullptr, 0);
    randoms.GetRandomBlock(m_pData, 3);
    std::memcpy(m_pData + 3, middle, sizeof middle);
}

void CSerialNumber::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        if (m_bNegative) ar.WriteCount(kNegativeMark);
        CByteArray::Serialize(ar);
        return;
    }
    const DWORD count = ar.ReadCount();
    m_bNegative = count == kNegativeMark;
    if (m_bNegative)
        CByteArray::Serialize(ar);
    else
        LoadOctets(ar, count);
}

int operator==(const CSerialNumber& a, const CSerialNumber& b) {
    const auto x = significant(a), y = significant(b);
    if (x.size() != y.size()) return 0;
    if (x.empty()) return 1;
    return (a.m_bNegative != 0) == (b.m_bNegative != 0) && std::memcmp(x.data(), y.data(), x.size()) == 0;
}

CASN1_INTEGER::operator CSerialNumber() const {
    CSerialNumber serial;
    if (!detail::ReadSerial(GetData(), GetSize(), serial))
        ___throwDERDecodingException("Serial number longer than %d bits", 8 * CSerialNumber::kMaxOctets);
    return serial;
}

int detail::ReadSerial(const BYTE* contents, int length, CSerialNumber& serial) {
    serial.SetSize(length);
    serial.m_bNegative = 0;
    if (length == 0) return 1;
    std::memcpy(serial.GetData(), contents, static_cast<size_t>(length));
    serial.m_bNegative = contents[0] >= 0x80;
    if (serial.m_bNegative) negate(serial.GetData(), static_cast<size_t>(length));
    // Leading zero octets go, the last octet stays.
    const auto magnitude = significant(serial);
    if (static_cast<int>(magnitude.size()) > CSerialNumber::kMaxOctets) return 0;
    serial.RemoveAt(0, length - std::max<int>(1, static_cast<int>(magnitude.size())));
    return 1;
}

CASN1_INTEGER::CASN1_INTEGER(const CSerialNumber& serial) : CASN1_INTEGER() {
    const auto magnitude = significant(serial);
    setMagnitude(magnitude.data(), magnitude.size());
    if (!serial.m_bNegative || magnitude.empty()) return;
    // -m in two's complement: the sign octet of +m stays 00 only when m is 0x80 followed by zeros.
    negate(GetData(), static_cast<size_t>(GetSize()));
    if (GetSize() >= 2 && GetAt(0) == 0xFF && GetAt(1) >= 0x80) RemoveAt(0);
}
