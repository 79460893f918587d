/// \file
/// Symmetric keys: an octet string, one subclass per cipher fixing its length and
/// validity rule. New keys are filled with random (never zero) octets.
#pragma once

#include "vorlan/framework/bytearray.h"
#include "vorlan/framework/object.h"

class CKey : public CObject {
    DECLARE_SERIAL(CKey)
public:
    CKey() = default;
    /// n random octets.
    explicit CKey(unsigned short n);
    CKey(const CKey& other);
    CKey& operator=(const CKey& other);
    ~CKey() override;

    /// Archive form: version octet 1, then exactly Size() octets (no length field);
    /// loading reads as many octets as the key already holds.
    void Serialize(CArchive& ar) override;
    virtual int IsValid() const { return 1; }

    unsigned long Size() const { return static_cast<unsigned long>(m_key.GetSize()); }
    unsigned char* Data() { return m_key.GetData(); }
    const unsigned char* Data() const { return m_key.GetData(); }
    /// Replaces the octets by a copy of data (also when they turn out invalid) and
    /// returns IsValid().
    int Set(const unsigned char* data, unsigned long len);

protected:
    void Wipe();

    CByteArray m_key;
};

class CDESkey : public CKey {
    DECLARE_SERIAL(CDESkey)
public:
    /// 8 random octets with odd parity.
    CDESkey();
    int IsValid() const override;
};

class CTripleDESkey : public CKey {
    DECLARE_SERIAL(CTripleDESkey)
public:
    /// 24 random octets with odd parity; the parity is not checked by IsValid.
    CTripleDESkey();
    int IsValid() const override;
};

class CIDEAkey : public CKey {
    DECLARE_SERIAL(CIDEAkey)
public:
    CIDEAkey();
    int IsValid() const override;
};

class CRC2key : public CKey {
    DECLARE_SERIAL(CRC2key)
public:
    /// Enough random octets for effectiveBits; archive creation uses 40.
    explicit CRC2key(unsigned short effectiveBits = 40);
    int IsValid() const override;
    /// Archive form: octet 0, effectiveBits (16 bits), then the CKey form.
    void Serialize(CArchive& ar) override;

    /// RC2 parameter versions of the effective key lengths 40, 64, 128 and 255 bits.
    static int IsValidBits(unsigned short bits);
    static int IsValidVersion(unsigned short version);
    /// Other values are returned unchanged.
    static unsigned short BitsToVersion(unsigned short bits);
    static unsigned short VersionToBits(unsigned short version);

    unsigned short effectiveBits;
};

class CRC5key : public CKey {
    DECLARE_SERIAL(CRC5key)
public:
    CRC5key();
    int IsValid() const override;
};

/// AES keys of 16, 24 or 32 octets; each length has its class, which archives it.
class CAESkey : public CKey {
    DECLARE_DYNAMIC(CAESkey)
public:
    int IsValid() const override;

protected:
    /// octets random octets.
    explicit CAESkey(unsigned short octets) : CKey(octets) {}
};

class CAES128key : public CAESkey {
    DECLARE_SERIAL(CAES128key)
public:
    CAES128key() : CAESkey(16) {}
    int IsValid() const override { return Size() == 16; }
};

class CAES192key : public CAESkey {
    DECLARE_SERIAL(CAES192key)
public:
    CAES192key() : CAESkey(24) {}
    int IsValid() const override { return Size() == 24; }
};

class CAES256key : public CAESkey {
    DECLARE_SERIAL(CAES256key)
public:
    CAES256key() : CAESkey(32) {}
    int IsValid() const override { return Size() == 32; }
};

/// DES keys keep their parity in the most significant bit of each octet: bit 7 is set
/// so that every octet has an odd number of one bits.
void AdjustDESKeyParity(unsigned char* key, unsigned long len);
/// 1 when every octet has an odd number of one bits (parity in either end bit passes).
int IsDESKeyParityOK(const unsigned char* key, unsigned long len);
