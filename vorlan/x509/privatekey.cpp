#include "vorlan/x509/privatekey.h"

#include <span>

#include "vorlan/bignum/hugedigit.h"
#include "vorlan/x509/publickey.h"
#include "vorlan/x509/structurecheck.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_PrivateKey, CASN1_CONSTRUCTED_TYPE)

namespace {

// The numbers after the version, in their order in the structure.
struct SKeyNumber {
    const char* field;
    std::size_t octets;  // the field's width
    std::span<BYTE> (*of)(CRSAPrivateKey& key);
    const char* reason;
};
constexpr SKeyNumber kNumbers[] = {
    {"modulus", CRSAPublicKey::kFieldSize, [](CRSAPrivateKey& k) -> std::span<BYTE> { return k.modulus; },
     "PribvateKey contents is not valid (invalid modulus)"},
    {"publicExponent", CRSAPublicKey::kFieldSize, [](CRSAPrivateKey& k) -> std::span<BYTE> { return k.publicExponent; },
     "PrivateKey contents is not valid (invalid public exponent)"},
    {"privateExponent", CRSAPublicKey::kFieldSize, [](CRSAPrivateKey& k) -> std::span<BYTE> { return k.privateExponent; },
     "PrivateKey contents is not valid (invalid private exponent)"},
    {"prime1", CRSAPrivateKey::kHalfFieldSize, [](CRSAPrivateKey& k) -> std::span<BYTE> { return k.prime1; },
     "PrivateKey contents is not valid (invalid p)"},
    {"prime2", CRSAPrivateKey::kHalfFieldSize, [](CRSAPrivateKey& k) -> std::span<BYTE> { return k.prime2; },
     "PrivateKey contents is not valid (invalid q)"},
    {"exponent1", CRSAPrivateKey::kHalfFieldSize, [](CRSAPrivateKey& k) -> std::span<BYTE> { return k.exponent1; },
     "PrivateKey contents is not valid (invalid d mod (p - 1))"},
    {"exponent2", CRSAPrivateKey::kHalfFieldSize, [](CRSAPrivateKey& k) -> std::span<BYTE> { return k.exponent2; },
     "PrivateKey contents is not valid (invalid d mod (q - 1))"},
    {"coefficient", CRSAPrivateKey::kHalfFieldSize, [](CRSAPrivateKey& k) -> std::span<BYTE> { return k.coefficient; },
     "PrivateKey contents is not valid (invalid (inverse of q) mod p)"},
};

void CheckPrivateKey(const CASN1Type& value, int anyTag) {
    vorlan::detail::CStructureReader reader = vorlan::detail::ReaderOf(value, kASN1Sequence, anyTag, vorlan::detail::kThisStructure);
    unsigned long number = 1;
    vorlan::detail::Require(
        vorlan::detail::NextOf<CASN1_INTEGER>(reader, kASN1Integer, "version").GetInteger(number) && number == 0,
        "version");
    // Each number fits its field with a sign octet in front.
    for (const SKeyNumber& row : kNumbers)
        vorlan::detail::Require(reader.Next(kASN1Integer, row.field).getEncodedLength(1) <= row.octets + 1, row.field);
    reader.End(vorlan::detail::kThisStructure);
}

}  // namespace

CASN1_PrivateKey::CASN1_PrivateKey(const CRSAPrivateKey& key) { GetDataFrom(key); }

void CASN1_PrivateKey::GetDataFrom(const CRSAPrivateKey& key) {
    clear();
    AddObject(new CASN1_INTEGER(0));
    auto& fields = const_cast<CRSAPrivateKey&>(key);  // read only
    for (const SKeyNumber& row : kNumbers) AddObject(vorlan::detail::NewKeyNumber(row.of(fields)));
}

void CASN1_PrivateKey::SetDataTo(CRSAPrivateKey& key) const {
    vorlan::detail::CStructureReader reader = vorlan::detail::ReaderOf(*this, kASN1Sequence, 1, "RSAPrivateKey");
    reader.NextAny("version");
    CRSAPrivateKey read;  // wiped when it dies
    for (const SKeyNumber& row : kNumbers)
        vorlan::detail::ReadKeyNumber(reader.Next(kASN1Integer, row.field), row.of(read), row.reason);
    read.bits = static_cast<unsigned short>(___countBits(read.modulus, CRSAPublicKey::kFieldSize));
    key = read;
}

int CASN1_PrivateKey::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] { CheckPrivateKey(*value, anyTag); });
}
