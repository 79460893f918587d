/// \file
/// CASN1_INTEGER and CASN1_ENUMERATED: big-endian two's-complement contents; the
/// constructors build non-negative numbers, the clear contents drop the sign octet.
#pragma once

#include "vorlan/asn1/primitive.h"

/// The client's serial number (x509); the conversions below are defined beside it.
class CSerialNumber;

/// INTEGER: big-endian two's-complement contents. The clear contents drop a leading 0x00 sign
/// octet, so they are the magnitude of a non-negative number.
class CASN1_INTEGER : public CASN1_PRIMITIVE_TYPE {
public:
    CASN1_INTEGER() { identifier = kASN1Integer; }
    /// The non-negative number `value`.
    explicit CASN1_INTEGER(unsigned long value);
    /// Big-endian magnitude; leading zero octets are dropped.
    CASN1_INTEGER(const unsigned char* magnitude, unsigned short size);
    /// The serial number in two's complement.
    explicit CASN1_INTEGER(const CSerialNumber& serial);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_INTEGER)

    /// The value as a serial number: sign and magnitude; throws the decoding exception for a
    /// magnitude beyond 2,048 bits.
    operator CSerialNumber() const;  // NOLINT: the client converts implicitly

    /// The contents as one unsigned number: 0 (value untouched) when it is negative or needs
    /// more than 32 bits.
    int GetInteger(unsigned long& value) const;

    void writeClearContents(CBufferedFilterNS& out) const override;
    unsigned long getClearContentsLength() const override;

protected:
    /// The contents for a big-endian magnitude: leading zeros dropped, a sign octet added when the
    /// top bit is set.
    void setMagnitude(const unsigned char* magnitude, unsigned long size);

private:
    /// Octets of the clear contents: without a leading 0x00 sign octet.
    unsigned long signOctets() const { return GetSize() >= 2 && GetAt(0) == 0 ? 1 : 0; }
};

/// ENUMERATED, optionally held to a range of values that decoding and isValid check.
class CASN1_ENUMERATED : public CASN1_INTEGER {
public:
    CASN1_ENUMERATED();
    /// The non-negative number `value`, no range.
    explicit CASN1_ENUMERATED(unsigned long value);
    /// The number of a big-endian magnitude, no range.
    CASN1_ENUMERATED(const unsigned char* magnitude, unsigned short size);
    DECLARE_ASN1_VALUE_COPIES(CASN1_ENUMERATED)

    /// Copies the number and the range.
    CASN1_ENUMERATED& operator=(const CASN1_ENUMERATED& other);
    /// Takes the number and the range of `source`, which is left empty.
    void operatorMOVE(CASN1_ENUMERATED& source);

    /// 1 when `value` is a primitive ENUMERATED of 32 bits at most within its range (with anyTag:
    /// any primitive value of 32 bits at most), else 0.
    static int isValid(const CASN1Type* value, int anyTag);

    /// Inclusive range of allowed values; min > max means no range check.
    LONG m_lMinValue = 1;
    LONG m_lMaxValue = -1;  ///< the upper end of the range
};
