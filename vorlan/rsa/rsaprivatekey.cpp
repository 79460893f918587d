#include "vorlan/rsa/rsaprivatekey.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "vorlan/cipher/key.h"
#include "vorlan/framework/archive.h"
#include "vorlan/random/randomsgenerator.h"
#include "vorlan/rsa/digestprefix.h"
#include "vorlan/rsa/rsablock.h"
#include "vorlan/rsa/rsaprivatepower.h"
#include "vorlan/support/unlockexception.h"
#include "vorlan/support/wipe.h"

using vorlan::detail::CheckOperand;
using vorlan::detail::EBlockPadding;
using vorlan::detail::FindDigestInfo;
using vorlan::detail::FormatBlock;
using vorlan::detail::ParseBlock;
using vorlan::detail::PrivatePower;
using vorlan::detail::ReadNumber;
using vorlan::detail::ReadRightAligned;
using vorlan::detail::SelectWrappedKey;
using vorlan::detail::kRsaBlockOverhead;
using vorlan::detail::SDigestInfo;
using vorlan::detail::WriteNumber;

IMPLEMENT_SERIAL(CRSAPrivateKey, CRSAPublicKey, 1)

namespace {

// `from` at the end of `to`, zeros in front.
void CopyRightAligned(std::span<const BYTE> from, std::span<BYTE> to) {
    const std::size_t front = to.size() - from.size();
    std::fill_n(to.begin(), front, BYTE{0});
    std::copy(from.begin(), from.end(), to.begin() + static_cast<std::ptrdiff_t>(front));
}

}  // namespace

CRSAPrivateKey::CRSAPrivateKey() : privateExponent{}, prime1{}, prime2{}, exponent1{}, exponent2{}, coefficient{} {}

CRSAPrivateKey::~CRSAPrivateKey() {
    SecureWipe(privateExponent, sizeof privateExponent);
    SecureWipe(prime1, sizeof prime1);
    SecureWipe(prime2, sizeof prime2);
    SecureWipe(exponent1, sizeof exponent1);
    SecureWipe(exponent2, sizeof exponent2);
    SecureWipe(coefficient, sizeof coefficient);
}

void CRSAPrivateKey::ProcessData(const CByteArray& in, CByteArray& out) const {
    const CHugeDigit m = ReadNumber(in);
    const CHugeDigit n = ReadNumber(modulus, kFieldSize);
    CheckOperand(m, n, "CRSAPrivateKey::ProcessData - data corrupted or key is not valid");
    PrivatePower(*this, CHugeDigit::Mod(m, n), n, RsaOutputSize(), out);
}

void CRSAPrivateKey::EncodeData(const unsigned char* data, unsigned long len, CByteArray& out,
                                unsigned char blockType) const {
    const std::span<BYTE> padding = FormatBlock(data, len, RsaOutputSize(), blockType, out,
                                                "CRSAPrivateKey::EncodeData - modulus is too short to encode");
    std::fill(padding.begin(), padding.end(), blockType != 0 ? BYTE{0xFF} : BYTE{0x00});
}

int CRSAPrivateKey::DecodeData(const CByteArray& in, unsigned short blockBits, CByteArray& out,
                               unsigned char /*blockType*/) const {
    return ParseBlock(in, blockBits, 2, EBlockPadding::NonZero, out);
}

void CRSAPrivateKey::LockDigest(EDigestAlgorithm alg, const unsigned char* digest, CByteArray& out) const {
    const SDigestInfo& info = FindDigestInfo(alg);
    std::array<BYTE, 128> block{};  // the longest DigestInfo: 19 + 64 octets
    std::copy(info.header.begin(), info.header.end(), block.begin());
    std::memcpy(block.data() + info.header.size(), digest, static_cast<std::size_t>(info.digestSize));
    EncodeData(block.data(), static_cast<unsigned long>(info.BlockSize()), out, 1);
    ProcessData(out, out);
}

void CRSAPrivateKey::LockDigest(EDigestAlgorithm alg, const unsigned char* digest, unsigned char* out,
                                unsigned long outLen) const {
    CByteArray signature;
    LockDigest(alg, digest, signature);
    const auto size = static_cast<unsigned long>(signature.GetSize());
    if (outLen < size) AfxThrowUnlockException("CRSAPrivateKey::LockDigest - output buffer is too short");
    std::memset(out, 0, outLen - size);
    std::memcpy(out + (outLen - size), signature.GetData(), size);
}

void CRSAPrivateKey::UnlockKey(const CByteArray& locked, CKey& key, unsigned short blockBits) const {
    const WORD k = RsaOutputSize();
    const std::size_t blockLen = (static_cast<std::size_t>(blockBits) + 7) / 8;
    const std::size_t keyLen = key.Size();
    // Lengths are public and may be refused outright.
    if (static_cast<std::size_t>(locked.GetSize()) != k || blockLen > k || keyLen + kRsaBlockOverhead > blockLen)
        AfxThrowUnlockException("CRSAPrivateKey::UnlockKey - locked key is corrupted (cannot decode RSA envelope)");
    // Whatever the block holds, a key of the expected length comes out: the wrapped one or,
    // for a block of any other form, a random one, so the content fails to decrypt the same
    // way for every fault and nothing answers a guess at the block (Bleichenbacher).
    CByteArray fallback, block, chosen;  // wiped when freed
    fallback.SetSize(static_cast<int>(keyLen));
    chosen.SetSize(static_cast<int>(keyLen));
    if (keyLen != 0) CRandomsGenerator().GetRandomBlock(fallback.GetData(), keyLen);
    ProcessData(locked, block);
    SelectWrappedKey({block.GetData() + (k - blockLen), blockLen}, {fallback.GetData(), keyLen},
                     {chosen.GetData(), keyLen});
    // Whether the key's class likes the octets (a DES key's parity) is not asked: the answer
    // would tell. The ciphers take any octets of the right length.
    static_cast<void>(key.Set(chosen.GetData(), keyLen));
}

void CRSAPrivateKey::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        using vorlan::detail::FitsIn;
        const bool narrow = PublicFieldLength() == kNarrowFieldSize && FitsIn(privateExponent, kNarrowFieldSize) &&
                            FitsIn(prime1, kNarrowHalfSize) && FitsIn(prime2, kNarrowHalfSize) &&
                            FitsIn(exponent1, kNarrowHalfSize) && FitsIn(exponent2, kNarrowHalfSize) &&
                            FitsIn(coefficient, kNarrowHalfSize);
        const WORD fieldLen = narrow ? kNarrowFieldSize : kFieldSize;
        StorePublicPart(ar, fieldLen);
        StorePrivatePart(ar, fieldLen);
    } else {
        CRSAPrivateKey loaded;
        loaded.LoadPublicPart(ar);
        loaded.LoadPrivatePart(ar);
        *this = loaded;
    }
}

void CRSAPrivateKey::StorePrivatePart(CArchive& ar, WORD fieldLen) const {
    const WORD halfLen = fieldLen / 2;
    ar << BYTE{0} << fieldLen;
    ar.Write(privateExponent + kFieldSize - fieldLen, fieldLen);
    ar << fieldLen;
    for (const BYTE* half : {prime1, prime2, exponent1, exponent2, coefficient})
        ar.Write(half + kHalfFieldSize - halfLen, halfLen);
}

void CRSAPrivateKey::LoadPrivatePart(CArchive& ar) {
    BYTE version = 0;
    ar >> version;
    if (version != 0) AfxThrowArchiveException(CArchiveException::generic);
    WORD fieldLen = 0;
    ar >> fieldLen;
    if (fieldLen > kFieldSize) AfxThrowArchiveException(CArchiveException::badSchema);
    ReadRightAligned(ar, privateExponent, fieldLen);

    ar >> fieldLen;
    if (fieldLen > kFieldSize) AfxThrowArchiveException(CArchiveException::badSchema);
    // The two halves of the primes and CRT-exponent blocks travel as one field of 256
    // octets, or of 512 when it is longer.
    const int pairLen = fieldLen <= kNarrowFieldSize ? kNarrowFieldSize : kFieldSize, halfLen = pairLen / 2;
    vorlan::detail::CWipedOctets<kFieldSize> pair;
    for (auto [high, low] : {std::pair{prime1, prime2}, std::pair{exponent1, exponent2}}) {
        ReadRightAligned(ar, {pair.data, static_cast<std::size_t>(pairLen)}, fieldLen);
        CopyRightAligned({pair.data, static_cast<std::size_t>(halfLen)}, {high, kHalfFieldSize});
        CopyRightAligned({pair.data + halfLen, static_cast<std::size_t>(halfLen)}, {low, kHalfFieldSize});
    }
    ReadRightAligned(ar, coefficient, fieldLen / 2);
}
