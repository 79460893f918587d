#include "vorlan/x509/publickey.h"

#include <memory>

#include "vorlan/bignum/hugedigit.h"
#include "vorlan/x509/structurecheck.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_PublicKey, CASN1_CONSTRUCTED_TYPE)

namespace {

constexpr const char* kPublicKeyReasons[] = {"PublicKey contents is not valid (invalid modulus)",
                                             "PublicKey contents is not valid (invalid public exponent)"};

}  // namespace

CASN1_PublicKey::CASN1_PublicKey(CASN1_INTEGER* modulus, CASN1_INTEGER* publicExponent) {
    std::unique_ptr<CASN1_INTEGER> ownedExponent(publicExponent);
    AddObject(modulus);
    AddObject(ownedExponent.release());
}

CASN1_PublicKey::CASN1_PublicKey(const CRSAPublicKey& key) { GetDataFrom(key); }

void CASN1_PublicKey::GetDataFrom(const CRSAPublicKey& key) {
    clear();
    AddObject(detail::NewKeyNumber(key.modulus));
    AddObject(detail::NewKeyNumber(key.publicExponent));
}

void CASN1_PublicKey::SetDataTo(CRSAPublicKey& key) const { detail::ReadPublicKey(*this, key, kPublicKeyReasons); }

int CASN1_PublicKey::isValid(const CASN1Type* value, int anyTag) {
    return detail::Passes([&] { detail::CheckPublicKey(*value, anyTag); });
}

namespace detail {

void CheckPublicKey(const CASN1Type& value, int anyTag) { CheckPublicKeyOf(value, anyTag, kMaxKeyIntegerOctets); }

void CheckPublicKeyOf(const CASN1Type& value, int anyTag, unsigned long maxOctets) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, anyTag, kThisStructure);
    for (const char* field : {"modulus", "publicExponent"})
        Require(reader.Next(kASN1Integer, field).getEncodedLength(1) <= maxOctets, field);
    reader.End(kThisStructure);
}

void ReadPublicKey(const CASN1Type& value, CRSAPublicKey& key, const char* const (&reasons)[2]) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, 1, "RSAPublicKey");
    CRSAPublicKey read;
    ReadKeyNumber(reader.Next(kASN1Integer, "modulus"), read.modulus, reasons[0]);
    ReadKeyNumber(reader.Next(kASN1Integer, "publicExponent"), read.publicExponent, reasons[1]);
    read.bits = static_cast<unsigned short>(___countBits(read.modulus, CRSAPublicKey::kFieldSize));
    key = read;  // the public fields only, also of a private key
}

void ReadKeyNumber(const CASN1Type& integer, std::span<BYTE> field, const char* reason) {
    if (!integer.GetClearData(field.data(), static_cast<unsigned long>(field.size()), 0, 1))
        ___throwDERDecodingException("%s", reason);
}

CASN1_INTEGER* NewKeyNumber(std::span<const BYTE> field) {
    return new CASN1_INTEGER(field.data(), static_cast<unsigned short>(field.size()));
}

}  // namespace detail
