#include "vorlan/x509/asn1certificate.h"

#include <cstring>
#include <memory>

#include "vorlan/x509/certificate.h"
#include "vorlan/x509/signaturealgorithm.h"
#include "vorlan/x509/structurecheck.h"

CASN1_Certificate::CASN1_Certificate(const CASN1_Certificate& other) : CASN1_Certificate() { *this = other; }

CASN1Type* CASN1_Certificate::clone() const { return detail::cloneValue(*this, new CASN1_Certificate); }

CASN1Type* CASN1_Certificate::cloneAndDie() { return detail::cloneAndDieValue(*this, new CASN1_Certificate); }

int CASN1_Certificate::moveFrom(CASN1Type* source) {
    if (dynamic_cast<CASN1_Certificate*>(source)) return detail::moveValue<CASN1_Certificate>(*this, source);
    // A plain value brings no received octets: those of this value belonged to other components.
    m_abReceived.RemoveAll();
    m_dwSignedOffset = m_dwSignedLength = 0;
    return detail::moveValue<CASN1_CONSTRUCTED_TYPE>(*this, source);
}

CASN1_Certificate& CASN1_Certificate::operator=(const CASN1_Certificate& other) {
    if (this == &other) return *this;
    CASN1_CONSTRUCTED_TYPE::operator=(other);
    m_abReceived = other.m_abReceived;
    m_dwSignedOffset = other.m_dwSignedOffset;
    m_dwSignedLength = other.m_dwSignedLength;
    return *this;
}

void CASN1_Certificate::operatorMOVE(CASN1_Certificate& source) {
    if (this == &source) return;
    CASN1_CONSTRUCTED_TYPE::operatorMOVE(source);
    m_abReceived = std::move(source.m_abReceived);
    m_dwSignedOffset = std::exchange(source.m_dwSignedOffset, 0);
    m_dwSignedLength = std::exchange(source.m_dwSignedLength, 0);
}

CASN1_Certificate::CASN1_Certificate(CASN1_CertificateData* data, CASN1_AlgorithmIdentifier* algorithm,
                                     CASN1_BIT_STRING* signature) {
    std::unique_ptr<CASN1_AlgorithmIdentifier> ownedAlgorithm(algorithm);
    std::unique_ptr<CASN1_BIT_STRING> ownedSignature(signature);
    AddObject(data);
    AddObject(ownedAlgorithm.release());
    AddObject(ownedSignature.release());
}

CASN1_Certificate::CASN1_Certificate(const CCertificate& certificate) { GetDataFrom(certificate); }

CASN1_Certificate::CASN1_Certificate(CDEREncoding& der) {
    const long start = der.Seek(0, CFile::current);
    decodeFrom(der);
    const long end = der.Seek(0, CFile::current);
    try {
        detail::CheckCertificate(*this, 0);
    } catch (CDERDecodingException*) {
        clear();
        der.Seek(end, CFile::begin);
        detail::PrefixReason("Certificate");
        char reason[vorlan::detail::kReasonSize];
        std::strncpy(reason, LastDecodingReason(), sizeof reason - 1);
        reason[sizeof reason - 1] = '\0';
        ___throwDERDecodingException("Certificate contents is not valid (%s)", reason);
    }
    keepReceived(der, start, end);
}

// The octets from `start` to `end`, and the place of the tbsCertificate: after the outer
// identifier and length octets, one whole element (not located when its length is indefinite).
void CASN1_Certificate::keepReceived(CDEREncoding& der, long start, long end) {
    const auto length = static_cast<unsigned long>(end - start);
    if (const unsigned char* window = der.MemoryWindow(static_cast<DWORD>(start), static_cast<DWORD>(length))) {
        m_abReceived.SetSize(static_cast<int>(length));
        std::memcpy(m_abReceived.GetData(), window, length);
    } else {
        der.Seek(start, CFile::begin);  // the checks may also have moved the stream
        der.Read(m_abReceived, length);
    }
    der.Seek(end, CFile::begin);
    const BYTE* octets = m_abReceived.GetData();
    const unsigned long header = 2 + ((octets[1] & kASN1LongLength) ? (octets[1] & ~kASN1LongLength) : 0u);
    const int signedLength = header < length ? ___extractEncodingLength(octets + header, length - header) : -1;
    if (signedLength > 0 && static_cast<unsigned long>(signedLength) <= length - header) {
        m_dwSignedOffset = static_cast<DWORD>(header);
        m_dwSignedLength = static_cast<DWORD>(signedLength);
    }
}

void CASN1_Certificate::clear() {
    CASN1_SEQUENCE::clear();
    m_abReceived.RemoveAll();
    m_dwSignedOffset = m_dwSignedLength = 0;
}

void CASN1_Certificate::GetDataFrom(const CCertificate& certificate) {
    clear();
    if (certificate.m_wSignatureBits > CCertificate::kMaxBits)
        ___throwDERDecodingException("Certificate cannot be written: signature of %u bits",
                                     certificate.m_wSignatureBits);
    auto data = std::make_unique<CASN1_CertificateData>(certificate);  // refuses an unknown algorithm
    const detail::SSignatureAlgorithm& algorithm = *detail::FindSignatureAlgorithm(certificate.m_nSignatureAlgorithm);
    const unsigned octets = (certificate.m_wSignatureBits + 7u) / 8u;
    AddObject(data.release());
    AddObject(detail::NewAlgorithmIdentifier(algorithm));
    AddObject(new CASN1_BIT_STRING(certificate.m_signature + CCertificate::kFieldSize - octets,
                                   certificate.m_wSignatureBits, 0));
}

void CASN1_Certificate::SetDataTo(CCertificate& certificate) const {
    detail::CStructureReader reader = detail::ReaderOf(*this, kASN1Sequence, 1, "Certificate");
    const CASN1Type& data = reader.Next(kASN1Sequence, "tbsCertificate");
    CCertificate read;
    detail::ReadCertificateData(data, read);
    const detail::SSignatureAlgorithm& algorithm = *detail::FindSignatureAlgorithm(read.m_nSignatureAlgorithm);
    BYTE digest[detail::kMaxSignatureDigestSize];
    if (m_dwSignedLength != 0)
        detail::DigestOctets(algorithm, {m_abReceived.GetData() + m_dwSignedOffset, m_dwSignedLength}, digest);
    else
        detail::DigestEncoding(algorithm, data, digest);
    read.CacheDigest(algorithm, digest);

    reader.NextAny("signatureAlgorithm");
    const auto* signature = dynamic_cast<const CASN1_BIT_STRING*>(&reader.Next(kASN1BitString, "signature"));
    if (!signature || signature->m_dwBits > CCertificate::kMaxBits ||
        !signature->GetClearData(read.m_signature, CCertificate::kFieldSize, 0, 1))
        ___throwDERDecodingException("Invalid Certificate's signature");
    read.m_wSignatureBits = static_cast<WORD>(signature->m_dwBits);
    read.m_abReceived = m_abReceived;
    certificate = read;
}

const CASN1_RDNSequence& CASN1_Certificate::GetIssuer() const {
    return detail::TypedComponent<CASN1_CertificateData>(*this, 0, "tbsCertificate").GetIssuer();
}

const CASN1_RDNSequence& CASN1_Certificate::GetSubject() const {
    return detail::TypedComponent<CASN1_CertificateData>(*this, 0, "tbsCertificate").GetSubject();
}

const CASN1_INTEGER& CASN1_Certificate::GetSerialNumber() const {
    return detail::TypedComponent<CASN1_CertificateData>(*this, 0, "tbsCertificate").GetSerialNumber();
}

int CASN1_Certificate::isValid(const CASN1Type* value, int anyTag) {
    return detail::Passes([&] { detail::CheckCertificate(*value, anyTag); });
}

void detail::CheckCertificate(const CASN1Type& value, int anyTag) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, anyTag, kThisStructure);
    CheckField(reader, kASN1Sequence, "tbsCertificate", CheckCertificateData);
    CheckField(reader, kASN1Sequence, "signatureAlgorithm", CheckAlgorithmIdentifier);
    const auto* signature = dynamic_cast<const CASN1_BIT_STRING*>(&reader.Next(kASN1BitString, "signature"));
    Require(signature && signature->m_dwBits % 8 == 0, "signature");
    reader.End(kThisStructure);
}

void SerializeElements(CArchive& ar, CASN1_Certificate* elements, int count) {
    for (int i = 0; i < count; ++i) {
        elements[i]._Serialize(ar);
        if (ar.IsLoading() && !CASN1_Certificate::isValid(elements + i, 0)) {
            elements[i].clear();
            AfxThrowArchiveException(CArchiveException::generic);
        }
    }
}
