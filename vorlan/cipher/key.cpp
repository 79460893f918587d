#include "vorlan/cipher/key.h"

#include <bit>
#include <climits>
#include <cstring>

#include "vorlan/framework/archive.h"
#include "vorlan/random/randomsgenerator.h"
#include "vorlan/support/wipe.h"

IMPLEMENT_SERIAL(CKey, CObject, 1)
IMPLEMENT_SERIAL(CDESkey, CKey, 1)
IMPLEMENT_SERIAL(CTripleDESkey, CKey, 1)
IMPLEMENT_SERIAL(CIDEAkey, CKey, 1)
IMPLEMENT_SERIAL(CRC2key, CKey, 1)
IMPLEMENT_SERIAL(CRC5key, CKey, 1)
IMPLEMENT_DYNAMIC(CAESkey, CKey)
IMPLEMENT_SERIAL(CAES128key, CAESkey, 1)
IMPLEMENT_SERIAL(CAES192key, CAESkey, 1)
IMPLEMENT_SERIAL(CAES256key, CAESkey, 1)

namespace {

constexpr BYTE kKeyFormatVersion = 1;
// Version 0 records carried 8 further octets after the key.
constexpr UINT kVersion0Trailer = 8;

void ReadExactly(CArchive& ar, void* data, UINT len) {
    if (len != 0 && ar.Read(data, len) != len) AfxThrowArchiveException(CArchiveException::endOfFile);
}

struct RC2Version {
    unsigned short bits;
    unsigned short version;
};
// The RC2 parameter versions of the effective key lengths the library accepts.
constexpr RC2Version kRC2Versions[] = {{40, 160}, {64, 120}, {128, 58}, {255, 171}};

unsigned short RC2KeyOctets(unsigned short effectiveBits) {
    return static_cast<unsigned short>((effectiveBits + 7) / 8);
}

}  // namespace

CKey::CKey(unsigned short n) {
    m_key.SetSize(n);
    if (n != 0) CRandomsGenerator().GetRandomBlock(m_key.GetData(), n);
}

CKey::CKey(const CKey& other) : CObject(other), m_key(other.m_key) {}

CKey& CKey::operator=(const CKey& other) {
    if (this != &other) Set(other.Data(), other.Size());
    return *this;
}

CKey::~CKey() { Wipe(); }

void CKey::Wipe() {
    if (m_key.GetSize() != 0) SecureWipe(m_key.GetData(), static_cast<std::size_t>(m_key.GetSize()));
}

int CKey::Set(const unsigned char* data, unsigned long len) {
    if (len > static_cast<unsigned long>(INT_MAX)) AfxThrowMemoryException();
    Wipe();  // the array may move when it is resized
    m_key.SetSize(static_cast<int>(len));
    if (len != 0) std::memcpy(m_key.GetData(), data, len);
    return IsValid();
}

void CKey::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        if (!IsValid()) AfxThrowArchiveException(CArchiveException::generic);
        ar << kKeyFormatVersion;
        if (Size() != 0) ar.Write(Data(), static_cast<UINT>(Size()));
        return;
    }
    BYTE version = 0;
    ar >> version;
    if (version > kKeyFormatVersion) AfxThrowArchiveException(CArchiveException::generic);
    ReadExactly(ar, Data(), static_cast<UINT>(Size()));
    if (version == 0) {
        BYTE trailer[kVersion0Trailer];
        ReadExactly(ar, trailer, kVersion0Trailer);
    }
    if (!IsValid()) AfxThrowArchiveException(CArchiveException::generic);
}

CDESkey::CDESkey() : CKey(8) { AdjustDESKeyParity(Data(), Size()); }

int CDESkey::IsValid() const { return Size() == 8 && IsDESKeyParityOK(Data(), Size()); }

CTripleDESkey::CTripleDESkey() : CKey(24) { AdjustDESKeyParity(Data(), Size()); }

int CTripleDESkey::IsValid() const { return Size() == 24; }

CIDEAkey::CIDEAkey() : CKey(16) {}

int CIDEAkey::IsValid() const { return Size() == 16; }

CRC2key::CRC2key(unsigned short effectiveBits) : CKey(RC2KeyOctets(effectiveBits)), effectiveBits(effectiveBits) {}

int CRC2key::IsValid() const {
    return IsValidBits(effectiveBits) && RC2KeyOctets(effectiveBits) <= Size();
}

void CRC2key::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        if (!IsValid()) AfxThrowArchiveException(CArchiveException::generic);
        ar << BYTE{0} << WORD{effectiveBits};
    } else {
        BYTE format = 0;
        WORD bits = 0;
        ar >> format >> bits;
        if (format != 0) AfxThrowArchiveException(CArchiveException::generic);
        // The record has no length field. An object made for other effective bits
        // (as archive creation makes one for 40) takes the length that goes with the
        // stored bits; one made for the stored bits keeps its own length.
        if (bits != effectiveBits) {
            Wipe();
            m_key.SetSize(RC2KeyOctets(bits));
        }
        effectiveBits = bits;
    }
    CKey::Serialize(ar);
}

int CRC2key::IsValidBits(unsigned short bits) {
    for (const RC2Version& row : kRC2Versions)
        if (row.bits == bits) return 1;
    return 0;
}

int CRC2key::IsValidVersion(unsigned short version) {
    for (const RC2Version& row : kRC2Versions)
        if (row.version == version) return 1;
    return 0;
}

unsigned short CRC2key::BitsToVersion(unsigned short bits) {
    for (const RC2Version& row : kRC2Versions)
        if (row.bits == bits) return row.version;
    return bits;
}

unsigned short CRC2key::VersionToBits(unsigned short version) {
    for (const RC2Version& row : kRC2Versions)
        if (row.version == version) return row.bits;
    return version;
}

CRC5key::CRC5key() : CKey(5) {}

int CRC5key::IsValid() const { return Size() <= 255; }

int CAESkey::IsValid() const { return Size() == 16 || Size() == 24 || Size() == 32; }

void AdjustDESKeyParity(unsigned char* key, unsigned long len) {
    for (unsigned long i = 0; i < len; ++i) {
        const unsigned char low = key[i] & 0x7F;
        key[i] = (std::popcount(low) & 1) ? low : static_cast<unsigned char>(low | 0x80);
    }
}

int IsDESKeyParityOK(const unsigned char* key, unsigned long len) {
    for (unsigned long i = 0; i < len; ++i)
        if ((std::popcount(key[i]) & 1) == 0) return 0;
    return 1;
}
