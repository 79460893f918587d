#include "vorlan/x509/signedobject.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "vorlan/rsa/rsablock.h"
#include "vorlan/x509/fieldimage.h"
#include "vorlan/support/unlockexception.h"
#include "vorlan/x509/signaturealgorithm.h"
#include "vorlan/x509/structurecheck.h"

namespace {

bool SameOctets(const CByteArray& a, const CByteArray& b) {
    return a.GetSize() == b.GetSize() && std::memcmp(a.GetData(), b.GetData(), static_cast<std::size_t>(a.GetSize())) == 0;
}

}  // namespace

CSignedObject& CSignedObject::operator=(const CSignedObject& other) {
    if (this == &other) return *this;
    m_nSignatureAlgorithm = other.m_nSignatureAlgorithm;
    std::memcpy(m_signature, other.m_signature, kFieldSize);
    m_wSignatureBits = other.m_wSignatureBits;
    ForgetDigests();
    m_bHasDigest16 = other.m_bHasDigest16;
    if (m_bHasDigest16) std::memcpy(m_digest16, other.m_digest16, sizeof m_digest16);
    m_bHasDigestSha1 = other.m_bHasDigestSha1;
    if (m_bHasDigestSha1) std::memcpy(m_digestSha1, other.m_digestSha1, sizeof m_digestSha1);
    m_bHasDigestSha256 = other.m_bHasDigestSha256;
    if (m_bHasDigestSha256) std::memcpy(m_digestSha256, other.m_digestSha256, sizeof m_digestSha256);
    m_bHasDigestLong = other.m_bHasDigestLong;
    if (m_bHasDigestLong) std::memcpy(m_digestLong, other.m_digestLong, sizeof m_digestLong);
    m_abSignedPart = other.m_abSignedPart;
    m_signedFields = other.m_signedFields;
    return *this;
}

CSignedObject& CSignedObject::operator=(CSignedObject&& other) {
    CByteArray signedPart = std::move(other.m_abSignedPart);
    std::string signedFields = std::move(other.m_signedFields);
    *this = other;
    m_abSignedPart = std::move(signedPart);
    m_signedFields = std::move(signedFields);
    return *this;
}

void CSignedObject::ForgetDigests() {
    m_bHasDigest16 = m_bHasDigestSha1 = m_bHasDigestSha256 = m_bHasDigestLong = 0;
    std::memset(m_digest16, 0, sizeof m_digest16);
    std::memset(m_digestSha1, 0, sizeof m_digestSha1);
    std::memset(m_digestSha256, 0, sizeof m_digestSha256);
    std::memset(m_digestLong, 0, sizeof m_digestLong);
    m_abSignedPart.RemoveAll();
    m_signedFields.clear();
}

void CSignedObject::BindFields() {
    vorlan::detail::CFieldImage image;
    m_signedFields = ImageFields(image) ? std::move(image).Octets() : std::string();
}

int CSignedObject::FieldsAreSigned() const {
    const vorlan::detail::SSignatureAlgorithm* algorithm = vorlan::detail::FindSignatureAlgorithm(m_nSignatureAlgorithm);
    if (!algorithm || m_abSignedPart.GetSize() == 0) return 0;
    if (!m_signedFields.empty()) {
        vorlan::detail::CFieldImage now;
        if (ImageFields(now) && now.Octets() == m_signedFields) return 1;
    }
    CByteArray now, then;
    const int written = vorlan::detail::Passes([&] {
        EncodeFields(*algorithm, now);
        if (!SameOctets(now, m_abSignedPart)) EncodeReadAgain(m_abSignedPart, then);
    });
    return written && (SameOctets(now, m_abSignedPart) || SameOctets(now, then));
}

void CSignedObject::BindLoadedDigests() {
    if (!m_bHasDigest16 && !m_bHasDigestSha1 && !m_bHasDigestSha256 && !m_bHasDigestLong) return;
    const vorlan::detail::SSignatureAlgorithm* algorithm = vorlan::detail::FindSignatureAlgorithm(m_nSignatureAlgorithm);
    CByteArray fields;
    if (algorithm && vorlan::detail::Passes([&] { EncodeFields(*algorithm, fields); })) {
        m_abSignedPart = fields;
        BindFields();
    } else {
        ForgetDigests();
    }
}

void CSignedObject::BindReadFields(const CASN1Type& signedPart) {
    const vorlan::detail::SSignatureAlgorithm* algorithm = vorlan::detail::FindSignatureAlgorithm(m_nSignatureAlgorithm);
    vorlan::detail::CFieldImage image;
    if (!algorithm || m_abSignedPart.GetSize() == 0 || !ImageFields(image)) return;
    CByteArray received, fields;
    if (vorlan::detail::Passes([&] { signedPart.encodeTo(received); }) && SameOctets(received, m_abSignedPart) &&
        vorlan::detail::Passes([&] { EncodeFields(*algorithm, fields); }))
        m_signedFields = std::move(image).Octets();
}

std::pair<BYTE*, int*> CSignedObject::DigestField(int size) {
    if (size > static_cast<int>(sizeof m_digestSha256)) return {m_digestLong, &m_bHasDigestLong};
    if (size == sizeof m_digestSha256) return {m_digestSha256, &m_bHasDigestSha256};
    if (size == sizeof m_digestSha1) return {m_digestSha1, &m_bHasDigestSha1};
    return {m_digest16, &m_bHasDigest16};
}

const BYTE* CSignedObject::CachedDigest(const vorlan::detail::SSignatureAlgorithm& algorithm) const {
    const auto [field, flag] = const_cast<CSignedObject*>(this)->DigestField(algorithm.digestSize);
    return *flag && FieldsAreSigned() ? field : nullptr;
}

void CSignedObject::CacheDigest(const vorlan::detail::SSignatureAlgorithm& algorithm, CByteArray&& signedPart,
                                const BYTE* digest) {
    if (!SameOctets(signedPart, m_abSignedPart)) {
        ForgetDigests();
        m_abSignedPart = std::move(signedPart);
    }
    const auto [field, flag] = DigestField(algorithm.digestSize);
    std::memcpy(field, digest, static_cast<std::size_t>(algorithm.digestSize));
    *flag = 1;
}

void CSignedObject::SignWith(const CRSAPrivateKey& key) { SignWith(key, 2); }

void CSignedObject::SignWith(const CRSAPrivateKey& key, int algorithm) {
    const vorlan::detail::SSignatureAlgorithm& row = vorlan::detail::SigningAlgorithm(algorithm);
    const unsigned k = key.RsaOutputSize();
    if (k > kFieldSize) vorlan::detail::ThrowUnlockFormatted("CCertificate::SignWith fails - key.RsaOutputSize() = %d", k);
    CByteArray signedPart;
    EncodeFields(row, signedPart);
    BYTE digest[vorlan::detail::kMaxSignatureDigestSize];
    vorlan::detail::DigestOctets(row, {signedPart.GetData(), static_cast<std::size_t>(signedPart.GetSize())}, digest);
    BYTE signature[kFieldSize];
    key.LockDigest(row.digest, digest, signature, kFieldSize);
    // Nothing has changed up to here.
    std::memcpy(m_signature, signature, kFieldSize);
    m_nSignatureAlgorithm = row.value;
    m_wSignatureBits = static_cast<WORD>(8 * k);
    CacheDigest(row, std::move(signedPart), digest);
    BindFields();
    Signed();
}

int CSignedObject::IsSignatureOKFor(const CRSAPublicKey& key) const { return IsSignatureOKForKey(key); }

int CSignedObject::IsSignatureOKFor(const CECPublicKey& key) const { return IsSignatureOKForKey(key); }

template <class Key>
int CSignedObject::IsSignatureOKForKey(const Key& key) const {
    return vorlan::detail::Passes([&] {
        const vorlan::detail::SSignatureAlgorithm* algorithm = vorlan::detail::FindSignatureAlgorithm(m_nSignatureAlgorithm);
        // A signature of a part octet is kept as received, but no RSA or ECDSA signature has that form.
        vorlan::detail::RequireCheckable(algorithm && m_wSignatureBits <= kMaxBits && m_wSignatureBits % 8 == 0);
        BYTE digest[vorlan::detail::kMaxSignatureDigestSize];
        if (const BYTE* cached = CachedDigest(*algorithm)) {
            std::memcpy(digest, cached, static_cast<std::size_t>(algorithm->digestSize));
        } else {
            CByteArray fields;
            EncodeFields(*algorithm, fields);
            vorlan::detail::DigestOctets(*algorithm, {fields.GetData(), static_cast<std::size_t>(fields.GetSize())}, digest);
        }
        const std::size_t octets = (m_wSignatureBits + 7u) / 8u;
        vorlan::detail::RequireSignature(*algorithm, key, {m_signature + kFieldSize - octets, octets}, digest);
    });
}

void CSignedObject::SerializeDigests(CArchive& ar, BYTE format) {
    const bool current = ar.IsStoring() && FieldsAreSigned();
    const auto digest = [&ar, current](int& flag, auto& octets) {
        WORD stored = current && flag ? 1 : 0;
        if (ar.IsStoring()) {
            ar << stored;
        } else {
            ar >> stored;
            flag = stored != 0;
        }
        if (stored) SerializeOctets(ar, octets);
    };
    digest(m_bHasDigest16, m_digest16);
    if (format >= 1) digest(m_bHasDigestSha1, m_digestSha1);
    if (format >= 2) digest(m_bHasDigestSha256, m_digestSha256);
    if (format >= 3) digest(m_bHasDigestLong, m_digestLong);
}

void CSignedObject::RequireLoadable(BYTE format, WORD algorithm, WORD bits, bool wide) {
    if (format > 3 || !vorlan::detail::FindSignatureAlgorithm(algorithm) ||
        bits > (wide ? kMaxBits : 8 * CRSAPublicKey::kNarrowFieldSize))
        AfxThrowArchiveException(CArchiveException::generic);
}

bool CSignedObject::NeedsWideFields(std::initializer_list<const BYTE*> fields, WORD bits) const {
    constexpr int narrow = CRSAPublicKey::kNarrowFieldSize;
    bool wide = std::max(bits, m_wSignatureBits) > 8 * narrow || !vorlan::detail::FitsIn(m_signature, narrow);
    for (const BYTE* field : fields) wide |= !vorlan::detail::FitsIn({field, kFieldSize}, narrow);
    return wide;
}

void CSignedObject::SerializeField(CArchive& ar, BYTE (&field)[kFieldSize], bool wide) {
    const int stored = wide ? kFieldSize : CRSAPublicKey::kNarrowFieldSize, front = kFieldSize - stored;
    if (ar.IsStoring()) {
        ar.Write(field + front, static_cast<UINT>(stored));
        return;
    }
    std::fill_n(field, front, BYTE{0});
    if (ar.Read(field + front, static_cast<UINT>(stored)) != static_cast<UINT>(stored))
        AfxThrowArchiveException(CArchiveException::endOfFile);
}
