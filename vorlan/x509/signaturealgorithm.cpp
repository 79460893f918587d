#include "vorlan/x509/signaturealgorithm.h"

#include <algorithm>

#include "vorlan/asn1/null.h"
#include "vorlan/asn1/wellknownoids.h"
#include "vorlan/bignum/hugedigit.h"
#include "vorlan/digest/md2.h"
#include "vorlan/digest/md5.h"
#include "vorlan/digest/sha1.h"
#include "vorlan/digest/sha256.h"
#include "vorlan/digest/sha512.h"
#include "vorlan/support/unlockexception.h"
#include "vorlan/x509/algorithmidentifier.h"
#include "vorlan/x509/structurecheck.h"

namespace vorlan::detail {
namespace {

// Each identifier is built once: rows are compared on every certificate read.
template <class Identifier>
const CASN1_OBJECT_IDENTIFIER& IdentifierOf() {
    static const Identifier identifier;
    return identifier;
}

template <class Maker>
std::unique_ptr<CDigestMaker> NewMaker() {
    return std::make_unique<Maker>();
}

constexpr SSignatureAlgorithm kSignatureAlgorithms[] = {
    {0, IdentifierOf<CASN1_md2WithRSAEncryption>, md2, 16, NewMaker<CMD2DigestMaker>, "MD2 With RSA Encryption"},
    {1, IdentifierOf<CASN1_md5WithRSAEncryption>, md5, 16, NewMaker<CMD5DigestMaker>, "MD5 With RSA Encryption"},
    {2, IdentifierOf<CASN1_sha1WithRSAEncryption>, sha1, 20, NewMaker<CSHA1DigestMaker>, "SHA1 With RSA Encryption"},
    {3, IdentifierOf<CASN1_sha256WithRSAEncryption>, sha256, 32, NewMaker<CSHA256DigestMaker>,
     "SHA256 With RSA Encryption"},
    {4, IdentifierOf<CASN1_sha384WithRSAEncryption>, sha384, 48, NewMaker<CSHA384DigestMaker>,
     "SHA384 With RSA Encryption"},
    {5, IdentifierOf<CASN1_sha512WithRSAEncryption>, sha512, 64, NewMaker<CSHA512DigestMaker>,
     "SHA512 With RSA Encryption"},
    {6, IdentifierOf<CASN1_ecdsaWithSHA256>, sha256, 32, NewMaker<CSHA256DigestMaker>, "ECDSA With SHA256", true},
    {7, IdentifierOf<CASN1_ecdsaWithSHA384>, sha384, 48, NewMaker<CSHA384DigestMaker>, "ECDSA With SHA384", true},
    {8, IdentifierOf<CASN1_ecdsaWithSHA512>, sha512, 64, NewMaker<CSHA512DigestMaker>, "ECDSA With SHA512", true},
};

}  // namespace

const SSignatureAlgorithm* FindSignatureAlgorithm(int value) {
    for (const SSignatureAlgorithm& row : kSignatureAlgorithms)
        if (row.value == value) return &row;
    return nullptr;
}

const SSignatureAlgorithm* FindSignatureAlgorithm(const CASN1_OBJECT_IDENTIFIER& identifier) {
    for (const SSignatureAlgorithm& row : kSignatureAlgorithms)
        if (row.identifier() == identifier) return &row;
    return nullptr;
}

const SSignatureAlgorithm& SigningAlgorithm(int value) {
    if (value < 2 || value > 5) AfxThrowNotSupportedException();
    return *FindSignatureAlgorithm(value);
}

const SSignatureAlgorithm& ReadSignatureAlgorithm(const CASN1Type& value, const char* unknown) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, 1, "signature");
    const auto* identifier =
        dynamic_cast<const CASN1_OBJECT_IDENTIFIER*>(&reader.Next(kASN1ObjectIdentifier, "algorithm"));
    const SSignatureAlgorithm* algorithm = identifier ? FindSignatureAlgorithm(*identifier) : nullptr;
    if (!algorithm) ___throwDERDecodingException("%s", unknown);
    return *algorithm;
}

CASN1_AlgorithmIdentifier* NewAlgorithmIdentifier(const SSignatureAlgorithm& algorithm) {
    return new CASN1_AlgorithmIdentifier(new CASN1_OBJECT_IDENTIFIER(algorithm.identifier()),
                                         algorithm.ecdsa ? nullptr : new CASN1_NULL);
}

void DigestEncoding(const SSignatureAlgorithm& algorithm, const CASN1Type& value, unsigned char* out) {
    const std::unique_ptr<CDigestMaker> maker = algorithm.newDigestMaker();
    value.digestEncoding(*maker);
    maker->GetCurrentDigest(out);
}

void DigestOctets(const SSignatureAlgorithm& algorithm, std::span<const BYTE> octets, unsigned char* out) {
    const std::unique_ptr<CDigestMaker> maker = algorithm.newDigestMaker();
    maker->UpdateBlock(octets.data(), static_cast<int>(octets.size()), nullptr, 1, 1);
    maker->GetCurrentDigest(out);
}

void RequireSignature(const SSignatureAlgorithm& algorithm, const CRSAPublicKey& key, std::span<const BYTE> signature,
                      const unsigned char* digest) {
    RequireCheckable(!algorithm.ecdsa);
    if (!IsSignatureOK(algorithm, key, signature, digest)) ___throwDERDecodingException("signature differs");
}

void RequireSignature(const SSignatureAlgorithm& algorithm, const CECPublicKey& key, std::span<const BYTE> signature,
                      const unsigned char* digest) {
    RequireCheckable(algorithm.ecdsa);
    if (!key.VerifyDer({digest, static_cast<std::size_t>(algorithm.digestSize)}, signature))
        ___throwDERDecodingException("signature differs");
}

void RequireCheckable(bool checkable) {
    if (!checkable) ___throwDERDecodingException("signature not checkable");
}

int IsSignatureOK(const SSignatureAlgorithm& algorithm, const CRSAPublicKey& key, std::span<const BYTE> signature,
                  const unsigned char* digest) {
    // The key's own length, whatever its bit count field says.
    CRSAPublicKey exact = key;
    exact.bits = static_cast<unsigned short>(___countBits(key.modulus, CRSAPublicKey::kFieldSize));
    if (exact.bits == 0 || signature.size() != exact.RsaOutputSize()) return 0;
    unsigned char unlocked[kMaxSignatureDigestSize];
    try {
        exact.UnlockDigest(algorithm.digest, signature.data(), static_cast<unsigned long>(signature.size()), unlocked,
                           exact.bits);
    } catch (CUnlockException* e) {
        e->Delete();
        return 0;
    }
    return std::equal(unlocked, unlocked + algorithm.digestSize, digest) ? 1 : 0;
}

}  // namespace vorlan::detail
