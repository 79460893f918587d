/// \file
/// CASN1_Attribute (a type and its SET of values) and CASN1_IssuerAndSerialNumber (the
/// certificate a signer or recipient is known by).
#pragma once

#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/objectidentifier.h"
#include "vorlan/asn1/set.h"
#include "vorlan/x509/rdnsequence.h"

class CCertificate;

/// Attribute ::= SEQUENCE { type, values SET OF } (PKCS #9 attributes of signers and requests).
/// Accessors give references into the value, which keeps owning them; a malformed structure is
/// the decoding exception.
class CASN1_Attribute : public CASN1_SEQUENCE {
public:
    CASN1_Attribute() = default;
    /// Both owned from now on.
    CASN1_Attribute(CASN1_OBJECT_IDENTIFIER* type, CASN1_SET* values);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_Attribute)

    /// The attribute's type.
    CASN1_OBJECT_IDENTIFIER& GetID() const;
    /// Its values.
    CASN1_SET& GetValues() const;

    /// An OBJECT IDENTIFIER and a SET.
    static int isValid(const CASN1Type* value, int anyTag);
};

/// IssuerAndSerialNumber ::= SEQUENCE { issuer, serialNumber }: the certificate a signer or
/// recipient is known by. Accessors as CASN1_Attribute's.
class CASN1_IssuerAndSerialNumber : public CASN1_SEQUENCE {
public:
    CASN1_IssuerAndSerialNumber() = default;
    /// Both owned from now on.
    CASN1_IssuerAndSerialNumber(CASN1_RDNSequence* issuer, CASN1_INTEGER* serialNumber);
    /// Issuer and serial number as the certificate's DER holds them (every name attribute,
    /// the serial's sign), so that peers find the certificate by them.
    explicit CASN1_IssuerAndSerialNumber(const CCertificate& certificate);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_IssuerAndSerialNumber)

    /// The certificate's issuer.
    CASN1_RDNSequence& GetIssuer() const;
    /// The certificate's serial number.
    CASN1_INTEGER& GetSerialNumber() const;

    /// An RDNSequence and an INTEGER.
    static int isValid(const CASN1Type* value, int anyTag);
};
