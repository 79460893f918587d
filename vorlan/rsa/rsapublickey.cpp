#include "vorlan/rsa/rsapublickey.h"

#include <algorithm>
#include <cstring>

#include "vorlan/cipher/key.h"
#include "vorlan/framework/archive.h"
#include "vorlan/random/randomsgenerator.h"
#include "vorlan/rsa/digestprefix.h"
#include "vorlan/rsa/rsablock.h"
#include "vorlan/support/unlockexception.h"

using vorlan::detail::CheckOperand;
using vorlan::detail::EBlockPadding;
using vorlan::detail::FindDigestInfo;
using vorlan::detail::FormatBlock;
using vorlan::detail::ParseBlock;
using vorlan::detail::ReadNumber;
using vorlan::detail::ReadRightAligned;
using vorlan::detail::SDigestInfo;
using vorlan::detail::WriteNumber;

IMPLEMENT_SERIAL(CRSAPublicKey, CObject, 1)

namespace {

// Archived key lengths outside these bounds are refused as corrupt.
constexpr unsigned short kMinArchivedBits = 508;
constexpr unsigned short kMaxArchivedBits = CRSAPublicKey::kMaxBits;

}  // namespace

CRSAPublicKey::CRSAPublicKey() : bits(0), modulus{}, publicExponent{} {}

unsigned short CRSAPublicKey::RsaOutputSize() const { return static_cast<unsigned short>((bits + 7) / 8); }

int operator==(const CRSAPublicKey& a, const CRSAPublicKey& b) {
    return a.bits == b.bits && std::equal(std::begin(a.modulus), std::end(a.modulus), b.modulus) &&
           std::equal(std::begin(a.publicExponent), std::end(a.publicExponent), b.publicExponent);
}

void CRSAPublicKey::ProcessData(const CByteArray& in, CByteArray& out) const {
    const CHugeDigit m = ReadNumber(in);
    const CHugeDigit n = ReadNumber(modulus, kFieldSize);
    CheckOperand(m, n, "CRSAPublicKey::ProcessData - modulus is less than data");
    const CHugeDigit e = ReadNumber(publicExponent, kFieldSize);
    WriteNumber(CHugeDigit::ModExp(m, e, n), RsaOutputSize(), out);
}

void CRSAPublicKey::EncodeData(const unsigned char* data, unsigned long len, CByteArray& out,
                               unsigned char /*blockType*/) const {
    const std::span<BYTE> padding =
        FormatBlock(data, len, RsaOutputSize(), 2, out, "CRSAPublicKey::EncodeData - modulus is too short to encode");
    CRandomsGenerator().GetRandomBlock(padding.data(), padding.size());
}

int CRSAPublicKey::DecodeData(const CByteArray& in, unsigned short blockBits, CByteArray& out,
                              unsigned char blockType) const {
    return ParseBlock(in, blockBits, blockType, EBlockPadding::Constant, out);
}

// The public-key operations call this class's block and raw operations directly: on
// a CRSAPrivateKey the overrides would pad with 0xFF and raise to the private exponent.
void CRSAPublicKey::LockKey(const CKey& key, CByteArray& out) const {
    CRSAPublicKey::EncodeData(key.Data(), key.Size(), out, 2);
    CRSAPublicKey::ProcessData(out, out);
}

void CRSAPublicKey::UnlockDigest(EDigestAlgorithm alg, const CByteArray& locked, unsigned char* digest,
                                 unsigned short blockBits) const {
    CByteArray block;
    CRSAPublicKey::ProcessData(locked, block);
    CByteArray data;
    if (!CRSAPublicKey::DecodeData(block, blockBits, data, 1))
        AfxThrowUnlockException(
            "CRSAPublicKey::UnlockDigest - locked digest is corrupted (cannot decode RSA envelope)");

    const SDigestInfo& info = FindDigestInfo(alg);
    const int headerLen = static_cast<int>(info.header.size());
    if (data.GetSize() != info.BlockSize())
        vorlan::detail::ThrowUnlockFormatted(
            "CRSAPublicKey::UnlockDigest - invalid size of unlocked data.\nsize = %d, expected = %d (%s) + %d\n",
            data.GetSize(), headerLen, info.name, info.digestSize);
    if (!std::equal(info.header.begin(), info.header.end(), data.GetData()))
        vorlan::detail::ThrowUnlockFormatted("CRSAPublicKey::UnlockDigest - invalid %s padding.\n", info.name);
    std::memcpy(digest, data.GetData() + headerLen, static_cast<std::size_t>(info.digestSize));
}

void CRSAPublicKey::UnlockDigest(EDigestAlgorithm alg, const unsigned char* locked, unsigned long len,
                                 unsigned char* digest, unsigned short blockBits) const {
    CByteArray copy;
    // Only the last octets of the block can count; the field width bounds the copy.
    const unsigned long used = std::min<unsigned long>(len, kFieldSize);
    copy.SetSize(static_cast<int>(used));
    if (used > 0) std::memcpy(copy.GetData(), locked + (len - used), used);
    UnlockDigest(alg, copy, digest, blockBits);
}

void CRSAPublicKey::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        StorePublicPart(ar, PublicFieldLength());
    } else {
        CRSAPublicKey loaded;
        loaded.LoadPublicPart(ar);
        *this = loaded;
    }
}

WORD CRSAPublicKey::PublicFieldLength() const {
    const bool narrow = bits <= 8 * kNarrowFieldSize && vorlan::detail::FitsIn(modulus, kNarrowFieldSize) &&
                        vorlan::detail::FitsIn(publicExponent, kNarrowFieldSize);
    return narrow ? kNarrowFieldSize : kFieldSize;
}

void CRSAPublicKey::StorePublicPart(CArchive& ar, WORD fieldLen) const {
    ar << BYTE{0} << fieldLen << WORD{bits};
    ar.Write(modulus + kFieldSize - fieldLen, fieldLen);
    ar.Write(publicExponent + kFieldSize - fieldLen, fieldLen);
}

void CRSAPublicKey::LoadPublicPart(CArchive& ar) {
    BYTE version = 0;
    WORD fieldLen = 0;
    ar >> version;
    if (version != 0) AfxThrowArchiveException(CArchiveException::generic);
    ar >> fieldLen;
    if (fieldLen > kFieldSize) AfxThrowArchiveException(CArchiveException::badSchema);
    ar >> bits;
    if (bits < kMinArchivedBits || bits > kMaxArchivedBits) AfxThrowArchiveException(CArchiveException::generic);
    ReadRightAligned(ar, modulus, fieldLen);
    ReadRightAligned(ar, publicExponent, fieldLen);
}
