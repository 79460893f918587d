#include "vorlan/x509/subjectpublickeyinfo.h"

#include <memory>

#include "vorlan/asn1/decoder.h"
#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/null.h"
#include "vorlan/asn1/wellknownoids.h"
#include "vorlan/bignum/hugedigit.h"
#include "vorlan/support/unlockexception.h"
#include "vorlan/x509/certificate.h"
#include "vorlan/x509/publickey.h"
#include "vorlan/x509/structurecheck.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_SubjectPublicKeyInfo, CASN1_CONSTRUCTED_TYPE)

namespace {

constexpr const char* kKeyReasons[] = {"SubjectPublicKeyInfo contents is not valid (invalid modulus)",
                                       "SubjectPublicKeyInfo contents is not valid (invalid public exponent)"};
constexpr const char* kParameterReason =
    "SubjectPublicKeyInfo contents is not valid (invalid algorithm identifier parameter)";
// A key length stated by the algorithm's parameter cannot pass the fields' width.
constexpr unsigned long kMaxStatedKeyBits = 8 * CRSAPublicKey::kFieldSize;
// RSA numbers of any length (they are bounded by the encoding that holds them).
constexpr unsigned long kAnyLength = ~0ul;

bool IsRSAEncryption(const CASN1Type& identifier) {
    static const CASN1_rsaEncryption rsaEncryption;
    const auto* oid = dynamic_cast<const CASN1_OBJECT_IDENTIFIER*>(&identifier);
    return oid && *oid == rsaEncryption;
}

bool IsECPublicKey(const CASN1Type& identifier) {
    static const CASN1_ecPublicKey ecPublicKey;
    const auto* oid = dynamic_cast<const CASN1_OBJECT_IDENTIFIER*>(&identifier);
    return oid && *oid == ecPublicKey;
}

CString DottedOf(const CASN1Type& identifier) {
    CString dotted;
    if (const auto* oid = dynamic_cast<const CASN1_OBJECT_IDENTIFIER*>(&identifier)) oid->GetDecimalDottedString(dotted);
    return dotted;
}

// The named curve of id-ecPublicKey's parameters, P-256 or P-384; explicit parameters, none,
// and other curves are refused.
EEllipticCurve NamedCurve(const CASN1Type* parameters) {
    static const CASN1_prime256v1 prime256v1;
    static const CASN1_secp384r1 secp384r1;
    const auto* oid = dynamic_cast<const CASN1_OBJECT_IDENTIFIER*>(parameters);
    if (!oid || parameters->identifier != kASN1ObjectIdentifier)
        ___throwDERDecodingException(
            "SubjectPublicKeyInfo contents is not valid (EC parameters other than a named curve are not supported)");
    if (*oid == prime256v1) return EEllipticCurve::p256;
    if (*oid == secp384r1) return EEllipticCurve::p384;
    ___throwDERDecodingException("SubjectPublicKeyInfo contents is not valid (curve %s is not supported)",
                                 static_cast<const char*>(DottedOf(*oid)));
}

// The namedCurve of a certificate's m_bKeyCurve (1 + EEllipticCurve).
CASN1_OBJECT_IDENTIFIER* NewCurveIdentifier(BYTE keyCurve) {
    switch (keyCurve) {
        case 1 + static_cast<int>(EEllipticCurve::p256):
            return new CASN1_prime256v1;
        case 1 + static_cast<int>(EEllipticCurve::p384):
            return new CASN1_secp384r1;
        default:
            ___throwDERDecodingException("SubjectPublicKeyInfo cannot be written: unknown curve %d", keyCurve);
    }
}

// The octets of a BIT STRING of whole octets.
CByteArray WholeOctets(const CASN1Type& value) {
    const auto* bits = dynamic_cast<const CASN1_BIT_STRING*>(&value);
    if (!bits || bits->m_dwBits % 8 != 0)
        ___throwDERDecodingException("SubjectPublicKeyInfo.subjectPublicKey is not a whole number of octets");
    CByteArray octets;
    octets.SetSize(static_cast<int>(bits->getClearContentsLength()));
    bits->GetClearData(octets.GetData(), static_cast<unsigned long>(octets.GetSize()), 1, 0);
    return octets;
}

// Decodes the BIT STRING of whole octets that holds the RSAPublicKey and hands the
// value to `use`.
template <class Use>
void WithKeyBits(const CASN1Type& value, Use&& use) {
    CByteArray octets = WholeOctets(value);
    CDEREncoding der(0, octets.GetData(), static_cast<unsigned long>(octets.GetSize()), 0, 0);
    const std::unique_ptr<CASN1Type> inner(___buildFromEncoding(der));
    use(*inner);
}

// The key length an algorithm's parameters state: an INTEGER, or the modulus length
// for NULL or no parameters.
unsigned short StatedKeyBits(const CASN1Type* parameters, const CRSAPublicKey& key) {
    if (!parameters || parameters->identifier == kASN1Null) return key.bits;
    const auto* number = dynamic_cast<const CASN1_INTEGER*>(parameters);
    unsigned long bits = 0;
    if (!number || !number->GetInteger(bits) || bits > kMaxStatedKeyBits)
        ___throwDERDecodingException("%s", kParameterReason);
    return static_cast<unsigned short>(bits);
}

}  // namespace

CASN1_SubjectPublicKeyInfo::CASN1_SubjectPublicKeyInfo(CASN1_AlgorithmIdentifier* algorithm,
                                                       CASN1_BIT_STRING* subjectPublicKey) {
    std::unique_ptr<CASN1_BIT_STRING> ownedKey(subjectPublicKey);
    AddObject(algorithm);
    AddObject(ownedKey.release());
}

CASN1_SubjectPublicKeyInfo::CASN1_SubjectPublicKeyInfo(const CRSAPublicKey& key) { GetDataFrom(key); }

CASN1_SubjectPublicKeyInfo::CASN1_SubjectPublicKeyInfo(const CCertificate& certificate) { GetDataFrom(certificate); }

void CASN1_SubjectPublicKeyInfo::GetDataFrom(const CCertificate& certificate) {
    if (!certificate.HasECKey()) {
        CRSAPublicKey key;
        certificate.SetDataTo(key);
        GetDataFrom(key);
        return;
    }
    // The point was checked when it came in; it is written as it is.
    std::unique_ptr<CASN1_OBJECT_IDENTIFIER> curve(NewCurveIdentifier(certificate.m_bKeyCurve));
    clear();
    AddObject(new CASN1_AlgorithmIdentifier(new CASN1_ecPublicKey, curve.release()));
    const CByteArray& point = certificate.m_abKeyPoint;
    AddObject(new CASN1_BIT_STRING(point.GetData(), 8ul * static_cast<unsigned long>(point.GetSize()), 1));
}

void CASN1_SubjectPublicKeyInfo::SetDataTo(CCertificate& certificate) const {
    CCertificate read(certificate);
    vorlan::detail::ReadSubjectPublicKeyInfo(*this, read);
    certificate = std::move(read);
}

void CASN1_SubjectPublicKeyInfo::GetDataFrom(const CRSAPublicKey& key) {
    clear();
    AddObject(new CASN1_AlgorithmIdentifier(new CASN1_rsaEncryption, new CASN1_NULL));
    CByteArray der;
    CASN1_PublicKey(key).encodeTo(der);
    AddObject(new CASN1_BIT_STRING(der.GetData(), 8ul * static_cast<unsigned long>(der.GetSize()), 1));
}

void CASN1_SubjectPublicKeyInfo::SetDataTo(CRSAPublicKey& key) const { vorlan::detail::ReadSubjectPublicKeyInfo(*this, key); }

int CASN1_SubjectPublicKeyInfo::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] { vorlan::detail::CheckSubjectPublicKeyInfo(*value, anyTag); });
}

namespace vorlan::detail {

void CheckSubjectPublicKeyInfo(const CASN1Type& value, int anyTag) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, anyTag, kThisStructure);
    const CASN1Type& algorithm = reader.Next(kASN1Sequence, "algorithm");
    Within("algorithm", [&] { CheckAlgorithmIdentifier(algorithm, 0); });
    const auto& bits = NextOf<CASN1_BIT_STRING>(reader, kASN1BitString, "subjectPublicKey");
    Require(bits.m_dwBits % 8 == 0, "subjectPublicKey");
    if (IsRSAEncryption(static_cast<const CASN1_CONSTRUCTED_TYPE&>(algorithm).GetComponent(0)))
        Within("subjectPublicKey",
               [&] { WithKeyBits(bits, [](const CASN1Type& key) { CheckPublicKeyOf(key, 0, kAnyLength); }); });
    reader.End(kThisStructure);
}

void ReadSubjectPublicKeyInfo(const CASN1Type& value, CRSAPublicKey& key) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, 1, "SubjectPublicKeyInfo");
    CStructureReader algorithm =
        ReaderOf(reader.Next(kASN1Sequence, "algorithm"), kASN1Sequence, 0, "AlgorithmIdentifier");
    const CASN1Type& identifier = algorithm.Next(kASN1ObjectIdentifier, "algorithm");
    const CASN1Type* parameters = algorithm.AtEnd() ? nullptr : &algorithm.NextAny("parameters");
    const CASN1Type& bits = reader.Next(kASN1BitString, "subjectPublicKey");
    // Another algorithm's key is read as RSA when it holds an RSAPublicKey, as it always was.
    const auto rsaShaped = [](const CASN1Type& inner) { CheckPublicKeyOf(inner, 0, kAnyLength); };
    if (!IsRSAEncryption(identifier) && !Passes([&] { WithKeyBits(bits, rsaShaped); }))
        ___throwDERDecodingException("SubjectPublicKeyInfo contents is not valid (key algorithm %s is not RSA)",
                                     static_cast<const char*>(DottedOf(identifier)));
    CRSAPublicKey read;
    WithKeyBits(bits, [&](const CASN1Type& inner) {
        if (!CASN1_PublicKey::isValid(&inner, 0) && Passes([&] { rsaShaped(inner); }))
            ___throwDERDecodingException("SubjectPublicKeyInfo contents is not valid (RSA key longer than 4096 bits)");
        ReadPublicKey(inner, read, kKeyReasons);
    });
    read.bits = StatedKeyBits(parameters, read);
    key = read;
}

void ReadSubjectPublicKeyInfo(const CASN1Type& value, CCertificate& certificate) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, 1, "SubjectPublicKeyInfo");
    CStructureReader algorithm =
        ReaderOf(reader.Next(kASN1Sequence, "algorithm"), kASN1Sequence, 0, "AlgorithmIdentifier");
    if (!IsECPublicKey(algorithm.Next(kASN1ObjectIdentifier, "algorithm"))) {
        CRSAPublicKey key;
        ReadSubjectPublicKeyInfo(value, key);
        certificate.GetDataFrom(key);
        return;
    }
    const EEllipticCurve curve = NamedCurve(algorithm.AtEnd() ? nullptr : &algorithm.NextAny("parameters"));
    const CByteArray point = WholeOctets(reader.Next(kASN1BitString, "subjectPublicKey"));
    try {
        certificate.GetDataFrom(curve, {point.GetData(), static_cast<std::size_t>(point.GetSize())});
    } catch (CUnlockException* e) {
        e->Delete();
        ___throwDERDecodingException("SubjectPublicKeyInfo contents is not valid (%s)", LastUnlockReason());
    }
}

}  // namespace vorlan::detail
