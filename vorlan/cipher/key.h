/// \file
/// Symmetric keys: an octet string, one subclass per cipher fixing its length and
/// validity rule. New keys are filled with random (never zero) octets.
#pragma once

#include "vorlan/framework/bytearray.h"
#include "vorlan/framework/object.h"

/// A symmetric key: its octets, wiped when the key dies or changes. A plain value with deep
/// copies; each cipher's subclass fixes the length and the validity rule. Archive failures are
/// CArchiveException*.
class CKey : public CObject {
    DECLARE_SERIAL(CKey)
public:
    CKey() = default;
    /// n random octets.
    explicit CKey(unsigned short n);
    /// A copy of the octets.
    CKey(const CKey& other);
    /// The own octets wiped and replaced by a copy of those of `other`.
    CKey& operator=(const CKey& other);
    ~CKey() override;

    /// Archive form: version octet 1, then exactly Size() octets (no length field);
    /// loading reads as many octets as the key already holds.
    void Serialize(CArchive& ar) override;
    /// 1 when the octets make a key of the class (any octets for CKey itself).
    virtual int IsValid() const { return 1; }

    /// The number of octets.
    unsigned long Size() const { return static_cast<unsigned long>(m_key.GetSize()); }
    ///@{
    /// The octets; valid until the key changes.
    unsigned char* Data() { return m_key.GetData(); }
    const unsigned char* Data() const { return m_key.GetData(); }
    ///@}
    /// Replaces the octets by a copy of data (also when they turn out invalid) and
    /// returns IsValid().
    int Set(const unsigned char* data, unsigned long len);

protected:
    /// Overwrites the octets with zeros.
    void Wipe();

    CByteArray m_key;  ///< the octets
};

/// A DES key: 8 octets with odd parity.
class CDESkey : public CKey {
    DECLARE_SERIAL(CDESkey)
public:
    /// 8 random octets with odd parity.
    CDESkey();
    /// 8 octets, each with odd parity.
    int IsValid() const override;
};

/// A triple-DES key: 24 octets, the three DES keys in order.
class CTripleDESkey : public CKey {
    DECLARE_SERIAL(CTripleDESkey)
public:
    /// 24 random octets with odd parity; the parity is not checked by IsValid.
    CTripleDESkey();
    /// 24 octets.
    int IsValid() const override;
};

/// An IDEA key: 16 octets.
class CIDEAkey : public CKey {
    DECLARE_SERIAL(CIDEAkey)
public:
    /// 16 random octets.
    CIDEAkey();
    /// 16 octets.
    int IsValid() const override;
};

/// An RC2 key with its effective key length in bits.
class CRC2key : public CKey {
    DECLARE_SERIAL(CRC2key)
public:
    /// Enough random octets for effectiveBits; archive creation uses 40.
    explicit CRC2key(unsigned short effectiveBits = 40);
    /// An effective length of 40, 64, 128 or 255 bits and enough octets for it.
    int IsValid() const override;
    /// Archive form: octet 0, effectiveBits (16 bits), then the CKey form.
    void Serialize(CArchive& ar) override;

    /// RC2 parameter versions of the effective key lengths 40, 64, 128 and 255 bits.
    static int IsValidBits(unsigned short bits);
    /// 1 for the RC2 parameter version of one of those lengths.
    static int IsValidVersion(unsigned short version);
    /// Other values are returned unchanged.
    static unsigned short BitsToVersion(unsigned short bits);
    /// The effective bits of an RC2 parameter version; other values are returned unchanged.
    static unsigned short VersionToBits(unsigned short version);

    unsigned short effectiveBits;  ///< the effective key length in bits
};

/// An RC5 key of up to 255 octets.
class CRC5key : public CKey {
    DECLARE_SERIAL(CRC5key)
public:
    /// 16 random octets.
    CRC5key();
    /// 255 octets at most.
    int IsValid() const override;
};

/// AES keys of 16, 24 or 32 octets; each length has its class, which archives it.
class CAESkey : public CKey {
    DECLARE_DYNAMIC(CAESkey)
public:
    /// 16, 24 or 32 octets.
    int IsValid() const override;

protected:
    /// octets random octets.
    explicit CAESkey(unsigned short octets) : CKey(octets) {}
};

/// An AES-128 key, 16 octets.
class CAES128key : public CAESkey {
    DECLARE_SERIAL(CAES128key)
public:
    CAES128key() : CAESkey(16) {}
    /// 16 octets.
    int IsValid() const override { return Size() == 16; }
};

/// An AES-192 key, 24 octets.
class CAES192key : public CAESkey {
    DECLARE_SERIAL(CAES192key)
public:
    CAES192key() : CAESkey(24) {}
    /// 24 octets.
    int IsValid() const override { return Size() == 24; }
};

/// An AES-256 key, 32 octets.
class CAES256key : public CAESkey {
    DECLARE_SERIAL(CAES256key)
public:
    CAES256key() : CAESkey(32) {}
    /// 32 octets.
    int IsValid() const override { return Size() == 32; }
};

/// DES keys keep their parity in the most significant bit of each octet: bit 7 is set
/// so that every octet has an odd number of one bits.
void AdjustDESKeyParity(unsigned char* key, unsigned long len);
/// 1 when every octet has an odd number of one bits (parity in either end bit passes).
int IsDESKeyParityOK(const unsigned char* key, unsigned long len);
