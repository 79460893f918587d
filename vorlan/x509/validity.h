/// \file
/// CASN1_Validity: the validity period of a certificate, notBefore and notAfter, to and from
/// the times of a CCertificate.
#pragma once

#include "vorlan/asn1/sequence.h"
#include "vorlan/asn1/utctime.h"
#include "vorlan/x509/utctime.h"

class CCertificate;

/// Validity ::= SEQUENCE { notBefore, notAfter }; it owns both.
class CASN1_Validity : public CASN1_SEQUENCE {
public:
    CASN1_Validity() = default;
    /// Owns both from now on.
    CASN1_Validity(CASN1_UTCTime* notBefore, CASN1_UTCTime* notAfter);
    /// The certificate's times written as GetDataFrom does.
    explicit CASN1_Validity(const CCertificate& certificate);
    DECLARE_ASN1_VALUE_FAMILY(CASN1_Validity)

    /// The two times; a time that cannot be written raises the decoding exception.
    void GetDataFrom(const CCertificate& certificate);
    /// The two times, each kept in the text shape it arrived in; the decoding exception,
    /// naming the time, for a text that does not parse (the certificate keeps its times).
    void SetDataTo(CCertificate& certificate) const;

    /// Exactly two times, each a UTCTime or a GeneralizedTime.
    static int isValid(const CASN1Type* value, int anyTag);
};
