#include "vorlan/pkcs/algorithmparameters.h"

#include "vorlan/cipher/key.h"
#include "vorlan/cipher/rc5.h"
#include "vorlan/pkcs/pkcsstructure.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_RC2AlgorithmParameter, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_RC5AlgorithmParameter, CASN1_CONSTRUCTED_TYPE)

namespace {

constexpr const char* kInvalidRC2 = "CASN1_RC2AlgorithmParameter contents is not valid";
constexpr const char* kInvalidRC5 = "CASN1_RC5AlgorithmParameter contents is not valid";
constexpr unsigned long kRC2BlockSize = 8;
// RFC 2268: versions from 256 on are the effective key bits themselves, up to RC2's 1,024.
constexpr unsigned long kRC2FirstBitsVersion = 256;
constexpr unsigned long kRC2MaxBits = 1024;
constexpr unsigned long kRC5Version = 16;

unsigned long NumberOf(const CASN1_CONSTRUCTED_TYPE& value, const CASN1Type* integer, const char* field) {
    unsigned long number = 0;
    if (!vorlan::detail::Typed<CASN1_INTEGER>(value, integer, field).GetInteger(number))
        ___throwDERDecodingException("%s does not read as a number", field);
    return number;
}

// The octets of the IV `octets`, which must be `blockSize` long.
void BlockIV(const CASN1_CONSTRUCTED_TYPE& value, const CASN1Type* octets, unsigned long blockSize, CByteArray& iv) {
    const auto& string = vorlan::detail::Typed<CASN1_OCTET_STRING>(value, octets, "iv");
    if (string.getClearContentsLength() != blockSize)
        ___throwDERDecodingException("iv of %lu octets, %lu expected", string.getClearContentsLength(), blockSize);
    iv.SetSize(static_cast<int>(blockSize));
    string.GetClearData(iv.GetData(), blockSize, 1, 0);
}

// RC2-CBCParameter ::= SEQUENCE {
//      rc2ParameterVersion INTEGER,
//      iv OCTET STRING (8) }
struct SRC2Parameter {
    const CASN1Type *rc2ParameterVersion, *iv;
};

SRC2Parameter WalkRC2Parameter(const CASN1Type& value, int anyTag = 1, bool check = false) {
    vorlan::detail::CPkcsWalk walk(value, anyTag, "RC2-CBCParameter", check);
    return walk.Ended(SRC2Parameter{.rc2ParameterVersion = &walk.Next(kASN1Integer, "rc2ParameterVersion"),
                                    .iv = &walk.Next(kASN1OctetString, "iv")});
}

// RC5-CBC-Parameters ::= SEQUENCE {
//      version INTEGER (v1-0(16)),
//      rounds INTEGER (8..127),
//      blockSizeInBits INTEGER (64, 128),
//      iv OCTET STRING OPTIONAL }
struct SRC5Parameter {
    const CASN1Type *rounds, *blockSizeInBits, *iv;
};

SRC5Parameter WalkRC5Parameter(const CASN1Type& value, int anyTag = 1, bool check = false) {
    vorlan::detail::CPkcsWalk walk(value, anyTag, "RC5-CBC-Parameters", check);
    SRC5Parameter fields{};
    const auto* version = dynamic_cast<const CASN1_INTEGER*>(&walk.Next(kASN1Integer, "version"));
    unsigned long number = 0;
    if (check && (!version || !version->GetInteger(number) || number < kRC5Version))
        ___throwDERDecodingException("RC5-CBC-Parameters.version is not valid");
    fields.rounds = &walk.Next(kASN1Integer, "rounds");
    fields.blockSizeInBits = &walk.Next(kASN1Integer, "blockSizeInBits");
    // Components after the IV are not examined.
    if (!walk.AtEnd()) fields.iv = &walk.Next(kASN1OctetString, "iv");
    return fields;
}

}  // namespace

CASN1_RC2AlgorithmParameter::CASN1_RC2AlgorithmParameter(unsigned short effectiveBits, const unsigned char* iv) {
    vorlan::detail::AppendAll(*this, new CASN1_INTEGER(CRC2key::BitsToVersion(effectiveBits)),
                              new CASN1_OCTET_STRING(iv, kRC2BlockSize));
}

CASN1_RC2AlgorithmParameter::CASN1_RC2AlgorithmParameter(CDEREncoding& der) {
    vorlan::detail::DecodeChecked(*this, der, isValid, kInvalidRC2);
}

CASN1_RC2AlgorithmParameter::CASN1_RC2AlgorithmParameter(const CASN1Type& parameters) {
    vorlan::detail::FromValue(*this, parameters, isValid, kInvalidRC2);
}

unsigned short CASN1_RC2AlgorithmParameter::GetEffectiveBits() const {
    const unsigned long version = NumberOf(*this, WalkRC2Parameter(*this).rc2ParameterVersion, "rc2ParameterVersion");
    if (version < kRC2FirstBitsVersion && CRC2key::IsValidVersion(static_cast<unsigned short>(version)))
        return CRC2key::VersionToBits(static_cast<unsigned short>(version));
    if (version >= kRC2FirstBitsVersion && version <= kRC2MaxBits) return static_cast<unsigned short>(version);
    ___throwDERDecodingException("RC2 parameter version %lu gives no effective key length", version);
}

void CASN1_RC2AlgorithmParameter::GetIV(CByteArray& iv) const {
    BlockIV(*this, WalkRC2Parameter(*this).iv, kRC2BlockSize, iv);
}

int CASN1_RC2AlgorithmParameter::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Valid(WalkRC2Parameter, value, anyTag);
}

CASN1_RC5AlgorithmParameter::CASN1_RC5AlgorithmParameter(unsigned long rounds, unsigned long blockSizeInBits,
                                                         const unsigned char* iv) {
    vorlan::detail::AppendAll(*this, new CASN1_INTEGER(kRC5Version), new CASN1_INTEGER(rounds),
                              new CASN1_INTEGER(blockSizeInBits), new CASN1_OCTET_STRING(iv, blockSizeInBits / 8));
}

CASN1_RC5AlgorithmParameter::CASN1_RC5AlgorithmParameter(CDEREncoding& der) {
    vorlan::detail::DecodeChecked(*this, der, isValid, kInvalidRC5);
}

CASN1_RC5AlgorithmParameter::CASN1_RC5AlgorithmParameter(const CASN1Type& parameters) {
    vorlan::detail::FromValue(*this, parameters, isValid, kInvalidRC5);
}

unsigned long CASN1_RC5AlgorithmParameter::GetRounds() const {
    const unsigned long rounds = NumberOf(*this, WalkRC5Parameter(*this).rounds, "rounds");
    if (!CRC5PadAlgorithm::IsValidRounds(rounds)) ___throwDERDecodingException("RC5 rounds %lu refused", rounds);
    return rounds;
}

unsigned long CASN1_RC5AlgorithmParameter::GetBlockSize() const {
    const unsigned long bits = NumberOf(*this, WalkRC5Parameter(*this).blockSizeInBits, "blockSizeInBits");
    if (bits % 8 != 0 || !CRC5PadAlgorithm::IsValidBlockSize(bits / 8))
        ___throwDERDecodingException("RC5 block size of %lu bits refused", bits);
    return bits / 8;
}

int CASN1_RC5AlgorithmParameter::IsIV() const { return WalkRC5Parameter(*this).iv != nullptr; }

CASN1_OCTET_STRING& CASN1_RC5AlgorithmParameter::GetIV() const {
    return vorlan::detail::Typed<CASN1_OCTET_STRING>(*this, WalkRC5Parameter(*this).iv, "iv");
}

void CASN1_RC5AlgorithmParameter::GetIV(CByteArray& iv) const {
    BlockIV(*this, WalkRC5Parameter(*this).iv, GetBlockSize(), iv);
}

int CASN1_RC5AlgorithmParameter::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Valid(WalkRC5Parameter, value, anyTag);
}
