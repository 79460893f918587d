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

unsigned long NumberAt(const CASN1_CONSTRUCTED_TYPE& value, int index, const char* field) {
    unsigned long number = 0;
    if (!vorlan::detail::Typed<CASN1_INTEGER>(value, index, field).GetInteger(number))
        ___throwDERDecodingException("%s does not read as a number", field);
    return number;
}

// The octets of the IV at `index`, which must be `blockSize` long.
void BlockIV(const CASN1_CONSTRUCTED_TYPE& value, int index, unsigned long blockSize, CByteArray& iv) {
    const auto& octets = vorlan::detail::Typed<CASN1_OCTET_STRING>(value, index, "iv");
    if (octets.getClearContentsLength() != blockSize)
        ___throwDERDecodingException("iv of %lu octets, %lu expected", octets.getClearContentsLength(), blockSize);
    iv.SetSize(static_cast<int>(blockSize));
    octets.GetClearData(iv.GetData(), blockSize, 1, 0);
}

}  // namespace

CASN1_RC2AlgorithmParameter::CASN1_RC2AlgorithmParameter(unsigned short effectiveBits, const unsigned char* iv) {
    AddObject(new CASN1_INTEGER(CRC2key::BitsToVersion(effectiveBits)));
    AddObject(new CASN1_OCTET_STRING(iv, kRC2BlockSize));
}

CASN1_RC2AlgorithmParameter::CASN1_RC2AlgorithmParameter(CDEREncoding& der) {
    vorlan::detail::DecodeChecked(*this, der, isValid, kInvalidRC2);
}

CASN1_RC2AlgorithmParameter::CASN1_RC2AlgorithmParameter(const CASN1Type& parameters) {
    vorlan::detail::FromValue(*this, parameters, isValid, kInvalidRC2);
}

unsigned short CASN1_RC2AlgorithmParameter::GetEffectiveBits() const {
    const unsigned long version = NumberAt(*this, 0, "rc2ParameterVersion");
    if (version < kRC2FirstBitsVersion && CRC2key::IsValidVersion(static_cast<unsigned short>(version)))
        return CRC2key::VersionToBits(static_cast<unsigned short>(version));
    if (version >= kRC2FirstBitsVersion && version <= kRC2MaxBits) return static_cast<unsigned short>(version);
    ___throwDERDecodingException("RC2 parameter version %lu gives no effective key length", version);
}

void CASN1_RC2AlgorithmParameter::GetIV(CByteArray& iv) const { BlockIV(*this, 1, kRC2BlockSize, iv); }

int CASN1_RC2AlgorithmParameter::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] {
        vorlan::detail::CStructureReader reader = vorlan::detail::ReaderOf(*value, kASN1Sequence, anyTag, "RC2-CBCParameter");
        reader.Next(kASN1Integer, "rc2ParameterVersion");
        reader.Next(kASN1OctetString, "iv");
        reader.End("RC2-CBCParameter");
    });
}

CASN1_RC5AlgorithmParameter::CASN1_RC5AlgorithmParameter(unsigned long rounds, unsigned long blockSizeInBits,
                                                         const unsigned char* iv) {
    AddObject(new CASN1_INTEGER(kRC5Version));
    AddObject(new CASN1_INTEGER(rounds));
    AddObject(new CASN1_INTEGER(blockSizeInBits));
    AddObject(new CASN1_OCTET_STRING(iv, blockSizeInBits / 8));
}

CASN1_RC5AlgorithmParameter::CASN1_RC5AlgorithmParameter(CDEREncoding& der) {
    vorlan::detail::DecodeChecked(*this, der, isValid, kInvalidRC5);
}

CASN1_RC5AlgorithmParameter::CASN1_RC5AlgorithmParameter(const CASN1Type& parameters) {
    vorlan::detail::FromValue(*this, parameters, isValid, kInvalidRC5);
}

unsigned long CASN1_RC5AlgorithmParameter::GetRounds() const {
    const unsigned long rounds = NumberAt(*this, 1, "rounds");
    if (!CRC5PadAlgorithm::IsValidRounds(rounds)) ___throwDERDecodingException("RC5 rounds %lu refused", rounds);
    return rounds;
}

unsigned long CASN1_RC5AlgorithmParameter::GetBlockSize() const {
    const unsigned long bits = NumberAt(*this, 2, "blockSizeInBits");
    if (bits % 8 != 0 || !CRC5PadAlgorithm::IsValidBlockSize(bits / 8))
        ___throwDERDecodingException("RC5 block size of %lu bits refused", bits);
    return bits / 8;
}

int CASN1_RC5AlgorithmParameter::IsIV() const { return vorlan::detail::HasTagAt(*this, 3, kASN1OctetString); }

CASN1_OCTET_STRING& CASN1_RC5AlgorithmParameter::GetIV() const {
    return vorlan::detail::Typed<CASN1_OCTET_STRING>(*this, 3, "iv");
}

void CASN1_RC5AlgorithmParameter::GetIV(CByteArray& iv) const { BlockIV(*this, 3, GetBlockSize(), iv); }

int CASN1_RC5AlgorithmParameter::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] {
        vorlan::detail::CStructureReader reader = vorlan::detail::ReaderOf(*value, kASN1Sequence, anyTag, "RC5-CBC-Parameters");
        const auto* version = dynamic_cast<const CASN1_INTEGER*>(&reader.Next(kASN1Integer, "version"));
        unsigned long number = 0;
        if (!version || !version->GetInteger(number) || number < kRC5Version)
            ___throwDERDecodingException("RC5-CBC-Parameters.version is not valid");
        reader.Next(kASN1Integer, "rounds");
        reader.Next(kASN1Integer, "blockSizeInBits");
        // Components after the IV are not examined.
        if (!reader.AtEnd()) reader.Next(kASN1OctetString, "iv");
    });
}
