/// \file
/// CSerialNumber: a certificate serial number as the big-endian octets of its magnitude
/// (the byte array) and a sign, since INTEGER serials of real certificates can be negative.
/// Printed in hexadecimal and compared as numbers; CASN1_INTEGER converts to and from it.
#pragma once

#include "vorlan/framework/bytearray.h"
#include "vorlan/framework/string.h"

/// A certificate serial number: the big-endian octets of its magnitude (the byte array) and a
/// sign. A plain value.
class CSerialNumber : public CByteArray {
    DECLARE_SERIAL(CSerialNumber)
public:
    /// Longest magnitude taken from an INTEGER: 2,048 bits.
    static constexpr int kMaxOctets = 256;

    CSerialNumber() = default;
    /// The magnitude `data`, non-negative.
    CSerialNumber(const unsigned char* data, int length);
    /// A copy of magnitude and sign.
    CSerialNumber(const CSerialNumber& other) = default;
    /// Copies magnitude and sign.
    CSerialNumber& operator=(const CSerialNumber& other) = default;
    ~CSerialNumber() override = default;

    /// "%02X" per octet, no separators; a negative serial starts with "-".
    operator CString() const;  // NOLINT: the client's text conversion
    /// A fresh non-negative 24-octet serial: 3 random octets, the MD5 digest of the current
    /// octets (random octets when there are none), 5 random octets.
    void RandomPermutation();

    /// The byte-array form; a negative serial is preceded by a count that no byte array has
    /// (0xFFFFFFFF), so that non-negative serials keep their form and older readers refuse it.
    void Serialize(CArchive& ar) override;

    int m_bNegative = 0;  ///< 1 for a negative serial number
};

/// Numeric equality: sign and magnitude, leading zero octets aside (zero has no sign).
int operator==(const CSerialNumber& a, const CSerialNumber& b);

namespace vorlan::detail {
/// The INTEGER contents octets `contents` (two's complement) as sign and magnitude into
/// `serial`, leading zero octets dropped; 0 (serial unspecified) for a magnitude beyond
/// CSerialNumber::kMaxOctets.
int ReadSerial(const BYTE* contents, int length, CSerialNumber& serial);
}  // namespace vorlan::detail
