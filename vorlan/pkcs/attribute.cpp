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
    const CASN1Type* type = nullptr;
    const CASN1Type* values = nullptr;
};

SAttribute WalkAttribute(const CASN1Type& value, int anyTag, bool check) {
    vorlan::detail::CPkcsWalk walk(value, anyTag, "Attribute", check);
    SAttribute fields;
    fields.type = &walk.Next(kASN1ObjectIdentifier, "type");
    fields.values = &walk.SetOf(kASN1Set, [](const CASN1Type*, int) { return 1; }, "values");
    walk.End();
    return fields;
}

SAttribute Fields(const CASN1_Attribute& value) { return WalkAttribute(value, 1, false); }

}  // namespace

CASN1_Attribute::CASN1_Attribute(CASN1_OBJECT_IDENTIFIER* type, CASN1_SET* values) {
    vorlan::detail::AppendAll(*this, type, values);
}

CASN1_OBJECT_IDENTIFIER& CASN1_Attribute::GetID() const {
    return vorlan::detail::Typed<CASN1_OBJECT_IDENTIFIER>(*this, Fields(*this).type, "Attribute.type");
}

CASN1_SET& CASN1_Attribute::GetValues() const {
    return vorlan::detail::Typed<CASN1_SET>(*this, Fields(*this).values, "Attribute.values");
}

int CASN1_Attribute::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] { WalkAttribute(*value, anyTag, true); });
}

namespace {

// IssuerAndSerialNumber ::= SEQUENCE {
//      issuer Name,
//      serialNumber CertificateSerialNumber }
struct SIssuerAndSerialNumber {
    const CASN1Type* issuer = nullptr;
    const CASN1Type* serialNumber = nullptr;
};

SIssuerAndSerialNumber WalkIssuerAndSerialNumber(const CASN1Type& value, int anyTag, bool check) {
    vorlan::detail::CPkcsWalk walk(value, anyTag, "IssuerAndSerialNumber", check);
    SIssuerAndSerialNumber fields;
    fields.issuer = &walk.Checked(CASN1_RDNSequence::isValid, "issuer");
    fields.serialNumber = &walk.Next(kASN1Integer, "serialNumber");
    walk.End();
    return fields;
}

SIssuerAndSerialNumber Fields(const CASN1_IssuerAndSerialNumber& value) {
    return WalkIssuerAndSerialNumber(value, 1, false);
}

}  // namespace

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
    return vorlan::detail::Typed<CASN1_RDNSequence>(*this, Fields(*this).issuer, "IssuerAndSerialNumber.issuer");
}

CASN1_INTEGER& CASN1_IssuerAndSerialNumber::GetSerialNumber() const {
    return vorlan::detail::Typed<CASN1_INTEGER>(*this, Fields(*this).serialNumber, "IssuerAndSerialNumber.serialNumber");
}

int CASN1_IssuerAndSerialNumber::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] { WalkIssuerAndSerialNumber(*value, anyTag, true); });
}
