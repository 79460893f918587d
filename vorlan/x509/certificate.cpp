#include "vorlan/x509/certificate.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "vorlan/bignum/hugedigit.h"
#include "vorlan/support/hex.h"
#include "vorlan/support/unlockexception.h"
#include "vorlan/x509/asn1certificate.h"
#include "vorlan/x509/signaturealgorithm.h"
#include "vorlan/x509/structurecheck.h"

IMPLEMENT_SERIAL(CCertificate, CObject, VERSIONABLE_SCHEMA | 0)

namespace {

constexpr BYTE kRecordFormat = 1;
constexpr int kHexPerLine = 60;

// The number's significant octets (at least one) in upper-case hex, 60 digits a line, each
// line after six blanks, lines joined by "\r\n".
CString HexLines(const BYTE (&field)[CCertificate::kFieldSize]) {
    const int octets = std::max(1, (___countBits(field, CCertificate::kFieldSize) + 7) / 8);
    const CString hex = OctetsToHexChars(field + CCertificate::kFieldSize - octets, octets);
    CString text;
    for (int at = 0; at < hex.GetLength(); at += kHexPerLine) {
        if (at > 0) text += "\r\n";
        text += "      " + hex.Mid(at, kHexPerLine);
    }
    return text;
}

template <std::size_t N>
void Archive(CArchive& ar, BYTE (&field)[N]) {
    if (ar.IsStoring())
        ar.Write(field, N);
    else if (ar.Read(field, N) != N)
        AfxThrowArchiveException(CArchiveException::endOfFile);
}

// A digest preceded by its flag in 16 bits.
template <std::size_t N>
void ArchiveDigest(CArchive& ar, int& flag, BYTE (&digest)[N]) {
    WORD stored = flag ? 1 : 0;
    if (ar.IsStoring())
        ar << stored;
    else
        ar >> stored;
    flag = stored != 0;
    if (flag) Archive(ar, digest);
}

}  // namespace

CCertificate::CCertificate() = default;

CCertificate::CCertificate(const CCertificate& other) : CObject() { *this = other; }

CCertificate& CCertificate::operator=(const CCertificate& other) {
    if (this == &other) return *this;
    m_bVersion = other.m_bVersion;
    m_serialNumber = other.m_serialNumber;
    m_nSignatureAlgorithm = other.m_nSignatureAlgorithm;
    m_issuer = other.m_issuer;
    m_notBefore = other.m_notBefore;
    m_notAfter = other.m_notAfter;
    m_subject = other.m_subject;
    m_wKeyBits = other.m_wKeyBits;
    std::memcpy(m_publicExponent, other.m_publicExponent, kFieldSize);
    std::memcpy(m_modulus, other.m_modulus, kFieldSize);
    std::memcpy(m_signature, other.m_signature, kFieldSize);
    m_wSignatureBits = other.m_wSignatureBits;
    // Both flags, and a digest only where its flag is set.
    ForgetSignedPart();
    m_bHasDigest16 = other.m_bHasDigest16;
    if (m_bHasDigest16) std::memcpy(m_digest16, other.m_digest16, sizeof m_digest16);
    m_bHasDigestSha1 = other.m_bHasDigestSha1;
    if (m_bHasDigestSha1) std::memcpy(m_digestSha1, other.m_digestSha1, sizeof m_digestSha1);
    m_abReceived = other.m_abReceived;
    return *this;
}

void CCertificate::Done() {
    m_serialNumber.RemoveAll();
    m_serialNumber.m_bNegative = 0;
    m_issuer.RemoveAll();
    m_subject.RemoveAll();
    m_abReceived.RemoveAll();
}

void CCertificate::ForgetSignedPart() {
    m_bHasDigest16 = m_bHasDigestSha1 = 0;
    std::memset(m_digest16, 0, sizeof m_digest16);
    std::memset(m_digestSha1, 0, sizeof m_digestSha1);
    m_abReceived.RemoveAll();
}

const BYTE* CCertificate::CachedDigest(const detail::SSignatureAlgorithm& algorithm) const {
    if (algorithm.digestSize == sizeof m_digestSha1) return m_bHasDigestSha1 ? m_digestSha1 : nullptr;
    return m_bHasDigest16 ? m_digest16 : nullptr;
}

void CCertificate::CacheDigest(const detail::SSignatureAlgorithm& algorithm, const BYTE* digest) {
    const bool sha1 = algorithm.digestSize == sizeof m_digestSha1;
    std::memcpy(sha1 ? m_digestSha1 : m_digest16, digest, static_cast<std::size_t>(algorithm.digestSize));
    (sha1 ? m_bHasDigestSha1 : m_bHasDigest16) = 1;
}

void CCertificate::SetDataTo(CRSAPublicKey& key) const {
    key.bits = m_wKeyBits;
    std::memcpy(key.publicExponent, m_publicExponent, kFieldSize);
    std::memcpy(key.modulus, m_modulus, kFieldSize);
}

void CCertificate::GetDataFrom(const CRSAPublicKey& key) {
    m_wKeyBits = key.bits;
    std::memcpy(m_publicExponent, key.publicExponent, kFieldSize);
    std::memcpy(m_modulus, key.modulus, kFieldSize);
}

void CCertificate::SignWith(const CRSAPrivateKey& key) {
    const unsigned k = key.RsaOutputSize();
    if (k > kFieldSize) detail::ThrowUnlockFormatted("CCertificate::SignWith fails - key.RsaOutputSize() = %d", k);
    const detail::SSignatureAlgorithm& sha1WithRSA = *detail::FindSignatureAlgorithm(2);
    BYTE digest[detail::kMaxSignatureDigestSize];
    if (const BYTE* cached = CachedDigest(sha1WithRSA)) {
        std::memcpy(digest, cached, sizeof m_digestSha1);
    } else {
        CASN1_CertificateData data;
        detail::BuildCertificateData(data, *this, sha1WithRSA);
        detail::DigestEncoding(sha1WithRSA, data, digest);
    }
    BYTE signature[kFieldSize];
    key.LockDigest(sha1WithRSA.digest, digest, signature, kFieldSize);
    // Nothing has changed up to here.
    std::memcpy(m_signature, signature, kFieldSize);
    m_nSignatureAlgorithm = sha1WithRSA.value;
    m_wSignatureBits = static_cast<WORD>(8 * k);
    CacheDigest(sha1WithRSA, digest);
    m_abReceived.RemoveAll();
}

int CCertificate::IsSignatureOKFor(const CRSAPublicKey& key) const {
    const detail::SSignatureAlgorithm* algorithm = detail::FindSignatureAlgorithm(m_nSignatureAlgorithm);
    if (!algorithm || m_wSignatureBits > kMaxBits) return 0;
    BYTE digest[detail::kMaxSignatureDigestSize];
    if (const BYTE* cached = CachedDigest(*algorithm)) {
        std::memcpy(digest, cached, static_cast<std::size_t>(algorithm->digestSize));
    } else if (!detail::Passes([&] { detail::DigestEncoding(*algorithm, CASN1_CertificateData(*this), digest); })) {
        return 0;
    }
    const std::size_t octets = (m_wSignatureBits + 7u) / 8u;
    return detail::IsSignatureOK(*algorithm, key, {m_signature + kFieldSize - octets, octets}, digest);
}

int CCertificate::IsSignatureOKFor(const CCertificate& issuer) const {
    CRSAPublicKey key;
    issuer.SetDataTo(key);
    return IsSignatureOKFor(key);
}

int CCertificate::IsValidationPeriodOKFor(const CUTCTime& t) const { return t >= m_notBefore && t <= m_notAfter; }

int CCertificate::IsIssuerOf(const CCertificate& other) const {
    return m_subject == other.m_issuer && IsValidationPeriodOKFor(CUTCTime());
}

int CCertificate::IsSelfSigned() const { return m_issuer == m_subject; }

void CCertificate::GetEncoding(CByteArray& out) const {
    if (m_abReceived.GetSize() > 0)
        out = m_abReceived;
    else
        CASN1_Certificate(*this).encodeTo(out);
}

void CCertificate::GetExtensions(CCertificateExtensionArray& extensions) const {
    extensions.RemoveAll();
    if (m_abReceived.GetSize() == 0) return;
    CDEREncoding der(0, const_cast<BYTE*>(m_abReceived.GetData()), static_cast<unsigned long>(m_abReceived.GetSize()),
                     0, 0);
    der.AddRef();  // the decoded windows hold references of their own
    const CASN1_Certificate certificate(der);
    detail::ReadExtensions(certificate.GetComponent(0), extensions);
}

int CCertificate::IsCA() const {
    int ca = 0;
    detail::Passes([&] {
        CCertificateExtensionArray extensions;
        GetExtensions(extensions);
        for (int i = 0; i < extensions.GetSize(); ++i)
            if (extensions[i].m_strIdentifier == detail::kBasicConstraints)
                ca = detail::BasicConstraintsCA(extensions[i].m_abValue);
    });
    return ca;
}

int CCertificate::HasUnknownCriticalExtension() const {
    int unknown = 0;
    const int wellFormed = detail::Passes([&] {
        CCertificateExtensionArray extensions;
        GetExtensions(extensions);
        for (int i = 0; i < extensions.GetSize(); ++i)
            unknown |= extensions[i].m_bCritical && !(extensions[i].m_strIdentifier == detail::kBasicConstraints);
    });
    return unknown || !wellFormed;
}

CCertificate::operator CString() const {
    const detail::SSignatureAlgorithm* algorithm = detail::FindSignatureAlgorithm(m_nSignatureAlgorithm);
    CString head;
    head.Format("Syntax Version: %d\r\nSerial Number: %s\r\nSignature Algorithm: %s\r\nIssuer:\r\n", m_bVersion,
                static_cast<const char*>(CString(m_serialNumber)), algorithm ? algorithm->text : "<<< BAD!!! >>>");
    CString bits;
    bits.Format("%d", m_wKeyBits);
    // Names are joined, not formatted: a value may hold a zero octet.
    return head + CString(m_issuer) + "Valid not before: " + m_notBefore.GetTimeAsString(1, 0) +
           "\r\nValid not after: " + m_notAfter.GetTimeAsString(1, 0) + "\r\nOwner:\r\n" + CString(m_subject) +
           "Public Key:\r\n   Modulus Length:\r\n      " + bits + " bits\r\n   Modulus:\r\n" + HexLines(m_modulus) +
           "\r\n   Public Exponent:\r\n" + HexLines(m_publicExponent);
}

void CCertificate::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        ar << kRecordFormat << m_bVersion << static_cast<WORD>(m_nSignatureAlgorithm) << m_wKeyBits << m_wSignatureBits;
        Archive(ar, m_publicExponent);
        Archive(ar, m_modulus);
        Archive(ar, m_signature);
        ArchiveDigest(ar, m_bHasDigest16, m_digest16);
        ArchiveDigest(ar, m_bHasDigestSha1, m_digestSha1);
        m_serialNumber.Serialize(ar);
        m_issuer.Serialize(ar);
        m_notBefore.Serialize(ar);
        m_notAfter.Serialize(ar);
        m_subject.Serialize(ar);
        return;
    }
    CCertificate loaded;
    BYTE format = 0;
    WORD algorithm = 0;
    ar >> format >> loaded.m_bVersion >> algorithm >> loaded.m_wKeyBits >> loaded.m_wSignatureBits;
    // The bit counts say how many octets of the 256-octet fields count.
    if (format > kRecordFormat || !detail::FindSignatureAlgorithm(algorithm) || loaded.m_wKeyBits > kMaxBits ||
        loaded.m_wSignatureBits > kMaxBits)
        AfxThrowArchiveException(CArchiveException::generic);
    loaded.m_nSignatureAlgorithm = algorithm;
    Archive(ar, loaded.m_publicExponent);
    Archive(ar, loaded.m_modulus);
    Archive(ar, loaded.m_signature);
    ArchiveDigest(ar, loaded.m_bHasDigest16, loaded.m_digest16);
    if (format == 1) ArchiveDigest(ar, loaded.m_bHasDigestSha1, loaded.m_digestSha1);
    loaded.m_serialNumber.Serialize(ar);
    loaded.m_issuer.Serialize(ar);
    loaded.m_notBefore.Serialize(ar);
    loaded.m_notAfter.Serialize(ar);
    loaded.m_subject.Serialize(ar);
    *this = loaded;
}

int operator==(const CCertificate& a, const CCertificate& b) {
    return a.m_bVersion == b.m_bVersion && a.m_serialNumber == b.m_serialNumber &&
           a.m_nSignatureAlgorithm == b.m_nSignatureAlgorithm && a.m_issuer == b.m_issuer &&
           a.m_notBefore == b.m_notBefore && a.m_notAfter == b.m_notAfter && a.m_subject == b.m_subject &&
           a.m_wKeyBits == b.m_wKeyBits &&
           std::memcmp(a.m_publicExponent, b.m_publicExponent, CCertificate::kFieldSize) == 0 &&
           std::memcmp(a.m_modulus, b.m_modulus, CCertificate::kFieldSize) == 0 &&
           std::memcmp(a.m_signature, b.m_signature, CCertificate::kFieldSize) == 0 &&
           a.m_wSignatureBits == b.m_wSignatureBits;
}

void SerializeElements(CArchive& ar, CCertificate* elements, int count) {
    for (int i = 0; i < count; ++i) elements[i].Serialize(ar);
}
