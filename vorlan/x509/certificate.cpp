#include "vorlan/x509/certificate.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "vorlan/bignum/hugedigit.h"
#include "vorlan/support/hex.h"
#include "vorlan/support/unlockexception.h"
#include "vorlan/x509/asn1certificate.h"
#include "vorlan/x509/certificaterevocationlist.h"
#include "vorlan/x509/extensionvalues.h"
#include "vorlan/x509/fieldimage.h"
#include "vorlan/x509/signaturealgorithm.h"
#include "vorlan/x509/structurecheck.h"

IMPLEMENT_SERIAL(CCertificate, CObject, VERSIONABLE_SCHEMA | 0)

namespace {

constexpr int kHexPerLine = 60;
// The high bit of the archive's format octet: extensions follow the subject. Archives of
// certificates without stay as they were.
constexpr BYTE kExtensions = 0x80;
// The bit of an EC key: its curve and point follow at the end.
constexpr BYTE kECKey = 0x40;
constexpr const char* kCurveNames[] = {"P-256", "P-384"};

bool SameExtensions(const CCertificateExtensionArray& a, const CCertificateExtensionArray& b) {
    if (a.GetSize() != b.GetSize()) return false;
    for (int i = 0; i < a.GetSize(); ++i)
        if (a[i].m_strIdentifier != b[i].m_strIdentifier || !a[i].m_bCritical != !b[i].m_bCritical ||
            a[i].m_abValue.GetSize() != b[i].m_abValue.GetSize() ||
            std::memcmp(a[i].m_abValue.GetData(), b[i].m_abValue.GetData(), static_cast<std::size_t>(a[i].m_abValue.GetSize())) != 0)
            return false;
    return true;
}

// The octets in upper-case hex, 60 digits a line, each line after six blanks, lines joined
// by "\r\n".
CString HexLines(const BYTE* octets, int count) {
    const CString hex = OctetsToHexChars(octets, count);
    CString text;
    for (int at = 0; at < hex.GetLength(); at += kHexPerLine) {
        if (at > 0) text += "\r\n";
        text += "      " + hex.Mid(at, kHexPerLine);
    }
    return text;
}

// The number's significant octets (at least one) as HexLines.
CString HexLines(const BYTE (&field)[CCertificate::kFieldSize]) {
    const int octets = std::max(1, (___countBits(field, CCertificate::kFieldSize) + 7) / 8);
    return HexLines(field + CCertificate::kFieldSize - octets, octets);
}

bool IsKnownCurve(BYTE curve) { return curve >= 1 && curve <= std::size(kCurveNames); }

// The curve octet and point of an EC key's archive form into `loaded`; the generic archive
// exception for an unknown curve or a point not on it.
void LoadECKey(CArchive& ar, CCertificate& loaded) {
    BYTE curve = 0;
    CByteArray point;
    ar >> curve;
    point.Serialize(ar);
    if (!IsKnownCurve(curve)) AfxThrowArchiveException(CArchiveException::generic);
    try {
        loaded.GetDataFrom(static_cast<EEllipticCurve>(curve - 1),
                           {point.GetData(), static_cast<std::size_t>(point.GetSize())});
    } catch (CUnlockException* e) {
        e->Delete();
        AfxThrowArchiveException(CArchiveException::generic);
    }
}

}  // namespace

CCertificate::CCertificate() = default;

CCertificate::CCertificate(const CCertificate& other) : CSignedObject() { *this = other; }

template <class Source>
void CCertificate::AssignFrom(Source&& other) {
    CSignedObject::operator=(std::forward<Source>(other));
    m_bVersion = other.m_bVersion;
    m_serialNumber = other.m_serialNumber;
    m_issuer = std::forward<Source>(other).m_issuer;
    m_notBefore = other.m_notBefore;
    m_notAfter = other.m_notAfter;
    m_subject = std::forward<Source>(other).m_subject;
    m_wKeyBits = other.m_wKeyBits;
    std::memcpy(m_publicExponent, other.m_publicExponent, kFieldSize);
    std::memcpy(m_modulus, other.m_modulus, kFieldSize);
    m_bKeyCurve = other.m_bKeyCurve;
    m_abKeyPoint = other.m_abKeyPoint;
    m_extensions.Copy(other.m_extensions);
    m_abReceived = std::forward<Source>(other).m_abReceived;
}

CCertificate& CCertificate::operator=(const CCertificate& other) {
    if (this != &other) AssignFrom(other);
    return *this;
}

CCertificate& CCertificate::operator=(CCertificate&& other) {
    if (this != &other) AssignFrom(std::move(other));
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
    ForgetDigests();
    m_abReceived.RemoveAll();
}

void CCertificate::EncodeFields(const vorlan::detail::SSignatureAlgorithm& algorithm, CByteArray& out) const {
    CASN1_CertificateData data;
    vorlan::detail::BuildCertificateData(data, *this, algorithm);
    data.encodeTo(out);
}

void CCertificate::EncodeReadAgain(const CByteArray& octets, CByteArray& out) const {
    CCertificate read;
    vorlan::detail::ReadCertificateData(*vorlan::detail::DecodedOctets(octets), read);
    read.EncodeFields(*vorlan::detail::FindSignatureAlgorithm(read.m_nSignatureAlgorithm), out);
}

bool CCertificate::ImageFields(vorlan::detail::CFieldImage& image) const {
    image.Reserve(3 * kFieldSize);  // the key's two fields, and room for the names and the rest
    image << m_bVersion << m_serialNumber << m_nSignatureAlgorithm << m_issuer << m_notBefore << m_notAfter << m_subject
          << m_wKeyBits << m_publicExponent << m_modulus << m_bKeyCurve << m_abKeyPoint << m_extensions;
    return true;
}

void CCertificate::SetDataTo(CRSAPublicKey& key) const {
    if (HasECKey()) AfxThrowUnlockException("the certificate's key is an EC key, not an RSA key");
    key.bits = m_wKeyBits;
    std::memcpy(key.publicExponent, m_publicExponent, kFieldSize);
    std::memcpy(key.modulus, m_modulus, kFieldSize);
}

void CCertificate::GetDataFrom(const CRSAPublicKey& key) {
    m_wKeyBits = key.bits;
    std::memcpy(m_publicExponent, key.publicExponent, kFieldSize);
    std::memcpy(m_modulus, key.modulus, kFieldSize);
    m_bKeyCurve = 0;
    m_abKeyPoint.RemoveAll();
}

void CCertificate::GetDataFrom(EEllipticCurve curve, std::span<const BYTE> point) {
    const CECPublicKey key(curve, point);
    m_wKeyBits = static_cast<WORD>(8 * key.GetCoordinateSize());
    std::memset(m_publicExponent, 0, kFieldSize);
    std::memset(m_modulus, 0, kFieldSize);
    m_bKeyCurve = static_cast<BYTE>(1 + static_cast<int>(curve));
    m_abKeyPoint.SetSize(static_cast<int>(point.size()));
    std::copy(point.begin(), point.end(), m_abKeyPoint.GetData());
}

CECPublicKey CCertificate::GetECPublicKey() const {
    if (!IsKnownCurve(m_bKeyCurve)) AfxThrowUnlockException("the certificate's key is not an EC key");
    return CECPublicKey(static_cast<EEllipticCurve>(m_bKeyCurve - 1),
                        {m_abKeyPoint.GetData(), static_cast<std::size_t>(m_abKeyPoint.GetSize())});
}

int CCertificate::IsSignatureOKFor(const CCertificate& issuer) const { return issuer.IsSignatureOfKey(*this); }

int CCertificate::IsSignatureOfKey(const CSignedObject& signedObject) const {
    if (!HasECKey()) {
        CRSAPublicKey key;
        SetDataTo(key);
        return signedObject.IsSignatureOKFor(key);
    }
    try {
        return signedObject.IsSignatureOKFor(GetECPublicKey());
    } catch (CUnlockException* e) {
        e->Delete();
        return vorlan::detail::Passes([] { vorlan::detail::RequireCheckable(false); });
    }
}

int CCertificate::IsValidationPeriodOKFor(const CUTCTime& t) const { return t >= m_notBefore && t <= m_notAfter; }

int CCertificate::IsIssuerOf(const CCertificate& other) const {
    return m_subject == other.m_issuer && IsValidationPeriodOKFor(CUTCTime());
}

int CCertificate::IsSelfSigned() const { return m_issuer == m_subject; }

int CCertificate::IsPresentInCRL(const CCertificateRevocationList& crl) const {
    return crl.m_issuer == m_issuer && crl.FindSerial(m_serialNumber) >= 0;
}

void CCertificate::GetEncoding(CByteArray& out) const {
    if (m_abReceived.GetSize() > 0 && FieldsAreSigned())
        out = m_abReceived;
    else
        CASN1_Certificate(*this).encodeTo(out);
}

void CCertificate::GetExtensions(CCertificateExtensionArray& extensions) const {
    if (m_abReceived.GetSize() == 0 || !FieldsAreSigned()) {
        extensions.Copy(m_extensions);
        return;
    }
    CDEREncoding der(0, const_cast<BYTE*>(m_abReceived.GetData()), static_cast<unsigned long>(m_abReceived.GetSize()),
                     0, 0);
    der.AddRef();  // the decoded windows hold references of their own
    const CASN1_Certificate certificate(der);
    vorlan::detail::ReadCertificateExtensions(certificate.GetComponent(0), extensions);
}

int CCertificate::IsCA() const {
    int ca = 0;
    vorlan::detail::Passes([&] {
        CCertificateExtensionArray extensions;
        GetExtensions(extensions);
        const CCertificateExtensions values(extensions);
        ca = values.basicConstraints && values.basicConstraints->ca;
    });
    return ca;
}

int CCertificate::HasUnknownCriticalExtension() const {
    int unknown = 1;
    vorlan::detail::Passes([&] {
        CCertificateExtensionArray extensions;
        GetExtensions(extensions);
        unknown = !CCertificateExtensions(extensions).unknownCritical.empty();
    });
    return unknown;
}

CCertificate::operator CString() const {
    const vorlan::detail::SSignatureAlgorithm* algorithm = vorlan::detail::FindSignatureAlgorithm(m_nSignatureAlgorithm);
    CString head;
    head.Format("Syntax Version: %d\r\nSerial Number: %s\r\nSignature Algorithm: %s\r\nIssuer:\r\n", m_bVersion,
                static_cast<const char*>(CString(m_serialNumber)), algorithm ? algorithm->text : "<<< BAD!!! >>>");
    CString bits;
    bits.Format("%d", m_wKeyBits);
    const CString key =
        HasECKey() ? CString("Public Key: EC ") + (IsKnownCurve(m_bKeyCurve) ? kCurveNames[m_bKeyCurve - 1] : "<<< BAD!!! >>>") +
                         "\r\n   Point:\r\n" + HexLines(m_abKeyPoint.GetData(), m_abKeyPoint.GetSize())
                   : "Public Key:\r\n   Modulus Length:\r\n      " + bits + " bits\r\n   Modulus:\r\n" + HexLines(m_modulus) +
                         "\r\n   Public Exponent:\r\n" + HexLines(m_publicExponent);
    // Names are joined, not formatted: a value may hold a zero octet.
    return head + CString(m_issuer) + "Valid not before: " + m_notBefore.GetTimeAsString(1, 0) +
           "\r\nValid not after: " + m_notAfter.GetTimeAsString(1, 0) + "\r\nOwner:\r\n" + CString(m_subject) + key;
}

void CCertificate::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        const bool wide = NeedsWideFields({m_publicExponent, m_modulus}, m_wKeyBits);
        ar << static_cast<BYTE>(RecordFormat() | (wide ? kWideFields : 0) | (m_extensions.GetSize() > 0 ? kExtensions : 0) |
                                (HasECKey() ? kECKey : 0))
           << m_bVersion
           << static_cast<WORD>(m_nSignatureAlgorithm) << m_wKeyBits << m_wSignatureBits;
        SerializeField(ar, m_publicExponent, wide);
        SerializeField(ar, m_modulus, wide);
        SerializeField(ar, m_signature, wide);
        SerializeDigests(ar, RecordFormat());
        m_serialNumber.Serialize(ar);
        m_issuer.Serialize(ar);
        m_notBefore.Serialize(ar);
        m_notAfter.Serialize(ar);
        m_subject.Serialize(ar);
        if (m_extensions.GetSize() > 0) m_extensions.Serialize(ar);
        if (HasECKey()) {
            ar << m_bKeyCurve;
            m_abKeyPoint.Serialize(ar);
        }
        return;
    }
    CCertificate loaded;
    BYTE format = 0;
    WORD algorithm = 0;
    ar >> format >> loaded.m_bVersion >> algorithm >> loaded.m_wKeyBits >> loaded.m_wSignatureBits;
    const bool wide = format & kWideFields, extended = format & kExtensions, ec = format & kECKey;
    format = static_cast<BYTE>(format & ~(kWideFields | kExtensions | kECKey));
    RequireLoadable(format, algorithm, std::max(loaded.m_wKeyBits, loaded.m_wSignatureBits), wide);
    loaded.m_nSignatureAlgorithm = algorithm;
    SerializeField(ar, loaded.m_publicExponent, wide);
    SerializeField(ar, loaded.m_modulus, wide);
    SerializeField(ar, loaded.m_signature, wide);
    loaded.SerializeDigests(ar, format);
    loaded.m_serialNumber.Serialize(ar);
    loaded.m_issuer.Serialize(ar);
    loaded.m_notBefore.Serialize(ar);
    loaded.m_notAfter.Serialize(ar);
    loaded.m_subject.Serialize(ar);
    if (extended) loaded.m_extensions.Serialize(ar);
    if (ec) LoadECKey(ar, loaded);
    loaded.BindLoadedDigests();
    *this = std::move(loaded);
}

int operator==(const CCertificate& a, const CCertificate& b) {
    return a.m_bVersion == b.m_bVersion && a.m_serialNumber == b.m_serialNumber &&
           a.m_nSignatureAlgorithm == b.m_nSignatureAlgorithm && a.m_issuer == b.m_issuer &&
           a.m_notBefore == b.m_notBefore && a.m_notAfter == b.m_notAfter && a.m_subject == b.m_subject &&
           a.m_wKeyBits == b.m_wKeyBits &&
           std::memcmp(a.m_publicExponent, b.m_publicExponent, CCertificate::kFieldSize) == 0 &&
           std::memcmp(a.m_modulus, b.m_modulus, CCertificate::kFieldSize) == 0 && a.m_bKeyCurve == b.m_bKeyCurve &&
           a.m_abKeyPoint.GetSize() == b.m_abKeyPoint.GetSize() &&
           std::equal(a.m_abKeyPoint.GetData(), a.m_abKeyPoint.GetData() + a.m_abKeyPoint.GetSize(), b.m_abKeyPoint.GetData()) &&
           std::memcmp(a.m_signature, b.m_signature, CCertificate::kFieldSize) == 0 &&
           a.m_wSignatureBits == b.m_wSignatureBits && SameExtensions(a.m_extensions, b.m_extensions);
}

void SerializeElements(CArchive& ar, CCertificate* elements, int count) {
    for (int i = 0; i < count; ++i) elements[i].Serialize(ar);
}
