#include "vorlan/x509/signedstructure.h"

#include <cstring>
#include <utility>

#include "vorlan/asn1/derreader.h"
#include "vorlan/x509/signaturealgorithm.h"
#include "vorlan/x509/structurecheck.h"

namespace {

// The signature AlgorithmIdentifier of a signed part: its first SEQUENCE, after the version and
// serial number of a certificate or the version of a list.
const CASN1Type& SignedAlgorithm(const CASN1Type& signedPart) {
    vorlan::detail::CStructureReader reader = vorlan::detail::ReaderOf(signedPart, kASN1Sequence, 1, "signed part");
    for (;;) {
        if (const CASN1Type* algorithm = reader.Optional(kASN1Sequence)) return *algorithm;
        reader.NextAny("signature");
    }
}

bool SameEncoding(const CASN1Type& a, const CASN1Type& b) {
    CByteArray first, second;
    a.encodeTo(first);
    b.encodeTo(second);
    return first.GetSize() == second.GetSize() &&
           std::memcmp(first.GetData(), second.GetData(), static_cast<std::size_t>(first.GetSize())) == 0;
}

}  // namespace

CASN1_SignedStructure::CASN1_SignedStructure(CASN1Type* signedPart, CASN1_AlgorithmIdentifier* algorithm,
                                             CASN1_BIT_STRING* signature) {
    std::unique_ptr<CASN1_AlgorithmIdentifier> ownedAlgorithm(algorithm);
    std::unique_ptr<CASN1_BIT_STRING> ownedSignature(signature);
    AddObject(signedPart);
    AddObject(ownedAlgorithm.release());
    AddObject(ownedSignature.release());
}

CASN1_SignedStructure& CASN1_SignedStructure::operator=(const CASN1_SignedStructure& other) {
    if (this == &other) return *this;
    CASN1_CONSTRUCTED_TYPE::operator=(other);
    m_abReceived = other.m_abReceived;
    m_dwSignedOffset = other.m_dwSignedOffset;
    m_dwSignedLength = other.m_dwSignedLength;
    return *this;
}

void CASN1_SignedStructure::operatorMOVE(CASN1_SignedStructure& source) {
    if (this == &source) return;
    const int deferred = source.releaseDeferred();  // the octets to build from move along
    CASN1_CONSTRUCTED_TYPE::operatorMOVE(source);
    m_abReceived = std::move(source.m_abReceived);
    m_dwSignedOffset = std::exchange(source.m_dwSignedOffset, 0);
    m_dwSignedLength = std::exchange(source.m_dwSignedLength, 0);
    if (deferred) deferComponents();
}

void CASN1_SignedStructure::clear() {
    CASN1_SEQUENCE::clear();
    forgetReceived();
}

void CASN1_SignedStructure::forgetReceived() {
    m_abReceived.RemoveAll();
    m_dwSignedOffset = m_dwSignedLength = 0;
    releaseDeferred();
}

int CASN1_SignedStructure::deferReceived(CDEREncoding& der, long start, long end) {
    clear();
    keepReceived(der, start, end);
    if (m_dwSignedLength == 0) {
        forgetReceived();
        der.Seek(start, CFile::begin);
        return 0;
    }
    m_bConstructed = 1;
    m_bIndefinite = 0;
    deferComponents();
    return 1;
}

void CASN1_SignedStructure::buildComponents() {
    // A private copy: decoded values may keep windows on the stream they were read from.
    CDEREncoding der(0, m_abReceived);
    CASN1_SEQUENCE decoded;
    decoded.decodeFrom(der);
    CASN1_CONSTRUCTED_TYPE::operatorMOVE(decoded);
}

void CASN1_SignedStructure::decodeChecked(CDEREncoding& der, void (*check)(const CASN1Type&, int),
                                          const char* structure, const char* contents) {
    const long start = der.Seek(0, CFile::current);
    decodeFrom(der);
    const long end = der.Seek(0, CFile::current);
    try {
        // "Certificate contents is not valid (tbsCertificate.serialNumber is missing)"
        vorlan::detail::Annotated(vorlan::detail::EFieldJoin::kWrap, contents,
                                  [&] { vorlan::detail::Within(structure, [&] { check(*this, 0); }); });
    } catch (CDERDecodingException*) {
        clear();
        der.Seek(end, CFile::begin);
        throw;
    }
    keepReceived(der, start, end);
}

// The octets from `start` to `end`, and the place of the signed part: after the outer
// identifier and length octets, one whole element (not located when its length is indefinite).
void CASN1_SignedStructure::keepReceived(CDEREncoding& der, long start, long end) {
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
    vorlan::detail::SDERHeader outer;
    vorlan::detail::SDERElement signedPart;
    if (vorlan::detail::ReadDERHeader(octets, length, outer) == vorlan::detail::EDERFault::none &&
        vorlan::detail::CDERReader(octets + outer.size, length - outer.size).Next(signedPart) ==
            vorlan::detail::EDERFault::none) {
        m_dwSignedOffset = static_cast<DWORD>(outer.size);
        m_dwSignedLength = static_cast<DWORD>(signedPart.end - signedPart.begin);
    }
}

void CASN1_SignedStructure::appendSigned(std::unique_ptr<CASN1Type> signedPart, const CSignedObject& source,
                                         const char* structure) {
    if (source.m_wSignatureBits > CSignedObject::kMaxBits)
        ___throwDERDecodingException("%s cannot be written: signature of %u bits", structure, source.m_wSignatureBits);
    const vorlan::detail::SSignatureAlgorithm& algorithm = *vorlan::detail::FindSignatureAlgorithm(source.m_nSignatureAlgorithm);
    const unsigned octets = (source.m_wSignatureBits + 7u) / 8u;
    AddObject(signedPart.release());
    AddObject(vorlan::detail::NewAlgorithmIdentifier(algorithm));
    // The field holds the signature's octets as received (left-aligned in its last octets).
    AddObject(
        new CASN1_BIT_STRING(source.m_signature + CSignedObject::kFieldSize - octets, source.m_wSignatureBits, 1));
}

void CASN1_SignedStructure::readSignature(vorlan::detail::CStructureReader& reader, const CASN1Type& signedPart,
                                          CSignedObject& target, const char* contents, const char* badSignature) const {
    const vorlan::detail::SSignatureAlgorithm& algorithm = *vorlan::detail::FindSignatureAlgorithm(target.m_nSignatureAlgorithm);
    CByteArray octets;
    if (m_dwSignedLength != 0) {
        octets.SetSize(static_cast<int>(m_dwSignedLength));
        std::memcpy(octets.GetData(), m_abReceived.GetData() + m_dwSignedOffset, m_dwSignedLength);
    } else {
        signedPart.encodeTo(octets);
    }
    BYTE digest[vorlan::detail::kMaxSignatureDigestSize];
    vorlan::detail::DigestOctets(algorithm, {octets.GetData(), static_cast<std::size_t>(octets.GetSize())}, digest);
    target.CacheDigest(algorithm, std::move(octets), digest);
    if (m_dwSignedLength != 0) target.BindReadFields(signedPart);

    // As OpenSSL does, the whole AlgorithmIdentifier: NULL parameters and none differ.
    if (!SameEncoding(reader.NextAny("signatureAlgorithm"), SignedAlgorithm(signedPart)))
        ___throwDERDecodingException("%s (signatureAlgorithm differs from the signature algorithm of the signed part)",
                                     contents);
    const auto* signature = dynamic_cast<const CASN1_BIT_STRING*>(&reader.Next(kASN1BitString, "signature"));
    if (!signature || signature->m_dwBits > CSignedObject::kMaxBits ||
        !vorlan::detail::ClearDataAtEnd(*signature, target.m_signature, CSignedObject::kFieldSize))
        ___throwDERDecodingException("%s", badSignature);
    target.m_wSignatureBits = static_cast<WORD>(signature->m_dwBits);
}
