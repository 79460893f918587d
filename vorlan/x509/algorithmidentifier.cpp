#include "vorlan/x509/algorithmidentifier.h"

#include <memory>

#include "vorlan/x509/structurecheck.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_AlgorithmIdentifier, CASN1_CONSTRUCTED_TYPE)

CASN1_AlgorithmIdentifier::CASN1_AlgorithmIdentifier(CASN1_OBJECT_IDENTIFIER* algorithm, CASN1Type* parameters) {
    std::unique_ptr<CASN1Type> ownedParameters(parameters);
    AddObject(algorithm);
    if (parameters) AddObject(ownedParameters.release());
}

int CASN1_AlgorithmIdentifier::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] { vorlan::detail::CheckAlgorithmIdentifier(*value, anyTag); });
}

void vorlan::detail::CheckAlgorithmIdentifier(const CASN1Type& value, int anyTag) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, anyTag, kThisStructure);
    reader.Next(kASN1ObjectIdentifier, "algorithm");
    if (!reader.AtEnd()) reader.NextAny("parameters");
    reader.End(kThisStructure);
}
