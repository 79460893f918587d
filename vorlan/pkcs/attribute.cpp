#include "vorlan/pkcs/attribute.h"

#include <memory>

#include "vorlan/pkcs/pkcsstructure.h"
#include "vorlan/x509/asn1certificate.h"
#include "vorlan/x509/certificate.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_Attribute, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_IssuerAndSerialNumber, CASN1_CONSTRUCTED_TYPE)

namespace {

// Appends both, owning both whatever happens.
void AppendPair(CASN1_CONSTRUCTED_TYPE& self, CASN1Type* first, CASN1Type* second) {
    std::unique_ptr<CASN1Type> ownedSecond(second);
    self.AddObject(first);
    self.AddObject(ownedSecond.release());
}

}  // namespace

CASN1_Attribute::CASN1_Attribute(CASN1_OBJECT_IDENTIFIER* type, CASN1_SET* values) { AppendPair(*this, type, values); }

CASN1_OBJECT_IDENTIFIER& CASN1_Attribute::GetID() const {
    return vorlan::detail::Typed<CASN1_OBJECT_IDENTIFIER>(*this, 0, "Attribute.type");
}

CASN1_SET& CASN1_Attribute::GetValues() const { return vorlan::detail::Typed<CASN1_SET>(*this, 1, "Attribute.values"); }

int CASN1_Attribute::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] {
        vorlan::detail::CStructureReader reader = vorlan::detail::ReaderOf(*value, kASN1Sequence, anyTag, "Attribute");
        reader.Next(kASN1ObjectIdentifier, "type");
        vorlan::detail::CheckSetOf(
            reader.Next(kASN1Set, "values"), 0, [](const CASN1Type*, int) { return 1; }, "values");
        reader.End("Attribute");
    });
}

CASN1_IssuerAndSerialNumber::CASN1_IssuerAndSerialNumber(CASN1_RDNSequence* issuer, CASN1_INTEGER* serialNumber) {
    AppendPair(*this, issuer, serialNumber);
}

CASN1_IssuerAndSerialNumber::CASN1_IssuerAndSerialNumber(const CCertificate& certificate) {
    CByteArray octets;
    certificate.GetEncoding(octets);
    // Decoded values may keep windows on the encoding: it lives as long as they do.
    auto* der = new CDEREncoding(1, octets);
    der->AddRef();
    const std::unique_ptr<CDEREncoding, void (*)(CDEREncoding*)> held(der, [](CDEREncoding* d) { d->Release(); });
    const CASN1_Certificate decoded(*der);
    AppendPair(*this, decoded.GetIssuer().clone(), decoded.GetSerialNumber().clone());
}

CASN1_RDNSequence& CASN1_IssuerAndSerialNumber::GetIssuer() const {
    return vorlan::detail::Typed<CASN1_RDNSequence>(*this, 0, "IssuerAndSerialNumber.issuer");
}

CASN1_INTEGER& CASN1_IssuerAndSerialNumber::GetSerialNumber() const {
    return vorlan::detail::Typed<CASN1_INTEGER>(*this, 1, "IssuerAndSerialNumber.serialNumber");
}

int CASN1_IssuerAndSerialNumber::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] {
        vorlan::detail::CStructureReader reader = vorlan::detail::ReaderOf(*value, kASN1Sequence, anyTag, "IssuerAndSerialNumber");
        vorlan::detail::CheckNext(reader, CASN1_RDNSequence::isValid, "issuer");
        reader.Next(kASN1Integer, "serialNumber");
        reader.End("IssuerAndSerialNumber");
    });
}
