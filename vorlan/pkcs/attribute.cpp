#include "vorlan/pkcs/attribute.h"

#include <memory>

#include "vorlan/pkcs/pkcsstructure.h"
#include "vorlan/x509/asn1certificate.h"
#include "vorlan/x509/certificate.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_Attribute, CASN1_CONSTRUCTED_TYPE)
IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_IssuerAndSerialNumber, CASN1_CONSTRUCTED_TYPE)

namespace {

// Attribute ::= SEQUENCE {
//      type AttributeType,
//      values SET OF AttributeValue }
struct SAttribute {
    const CASN1Type *type, *values;
};

SAttribute WalkAttribute(const CASN1Type& value, int anyTag = 1, bool check = false) {
    vorlan::detail::CPkcsWalk walk(value, anyTag, "Attribute", check);
    return walk.Ended(SAttribute{.type = &walk.Next(kASN1ObjectIdentifier, "type"),
                                 .values = &walk.SetOf(
                                     kASN1Set, [](const CASN1Type*, int) { return 1; }, "values")});
}

// IssuerAndSerialNumber ::= SEQUENCE {
//      issuer Name,
//      serialNumber CertificateSerialNumber }
struct SIssuerAndSerialNumber {
    const CASN1Type *issuer, *serialNumber;
};

SIssuerAndSerialNumber WalkIssuerAndSerialNumber(const CASN1Type& value, int anyTag = 1, bool check = false) {
    vorlan::detail::CPkcsWalk walk(value, anyTag, "IssuerAndSerialNumber", check);
    return walk.Ended(SIssuerAndSerialNumber{.issuer = &walk.Checked(CASN1_RDNSequence::isValid, "issuer"),
                                             .serialNumber = &walk.Next(kASN1Integer, "serialNumber")});
}

}  // namespace

CASN1_Attribute::CASN1_Attribute(CASN1_OBJECT_IDENTIFIER* type, CASN1_SET* values) {
    vorlan::detail::AppendAll(*this, type, values);
}

CASN1_OBJECT_IDENTIFIER& CASN1_Attribute::GetID() const {
    return vorlan::detail::Typed<CASN1_OBJECT_IDENTIFIER>(*this, WalkAttribute(*this).type, "Attribute.type");
}

CASN1_SET& CASN1_Attribute::GetValues() const {
    return vorlan::detail::Typed<CASN1_SET>(*this, WalkAttribute(*this).values, "Attribute.values");
}

int CASN1_Attribute::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Valid(WalkAttribute, value, anyTag);
}

CASN1_IssuerAndSerialNumber::CASN1_IssuerAndSerialNumber(CASN1_RDNSequence* issuer, CASN1_INTEGER* serialNumber) {
    vorlan::detail::AppendAll(*this, issuer, serialNumber);
}

CASN1_IssuerAndSerialNumber::CASN1_IssuerAndSerialNumber(const CCertificate& certificate) {
    CByteArray octets;
    certificate.GetEncoding(octets);
    // Decoded values may keep windows on the encoding: it lives as long as they do.
    auto* der = new CDEREncoding(1, octets);
    der->AddRef();
    const std::unique_ptr<CDEREncoding, void (*)(CDEREncoding*)> held(der, [](CDEREncoding* d) { d->Release(); });
    const CASN1_Certificate decoded(*der);
    vorlan::detail::AppendAll(*this, decoded.GetIssuer().clone(), decoded.GetSerialNumber().clone());
}

CASN1_RDNSequence& CASN1_IssuerAndSerialNumber::GetIssuer() const {
    return vorlan::detail::Typed<CASN1_RDNSequence>(*this, WalkIssuerAndSerialNumber(*this).issuer,
                                                    "IssuerAndSerialNumber.issuer");
}

CASN1_INTEGER& CASN1_IssuerAndSerialNumber::GetSerialNumber() const {
    return vorlan::detail::Typed<CASN1_INTEGER>(*this, WalkIssuerAndSerialNumber(*this).serialNumber,
                                                "IssuerAndSerialNumber.serialNumber");
}

int CASN1_IssuerAndSerialNumber::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Valid(WalkIssuerAndSerialNumber, value, anyTag);
}
