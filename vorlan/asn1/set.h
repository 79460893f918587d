/// \file
/// CASN1_SET: the universal SET (OF); with the sorted flag on, components are kept in
/// ascending DER order as they are added.
#pragma once

#include "vorlan/asn1/sequence.h"

/// The universal SET (OF); with the sorted flag on, components are kept in ascending DER order
/// as they are added.
class CASN1_SET : public CASN1_SEQUENCE {
public:
    CASN1_SET() { identifier = kASN1Set; }
    DECLARE_ASN1_VALUE_FAMILY(CASN1_SET)

    /// Sorted flag on: inserted after the last component that compares lower.
    void AddObject(CASN1Type* component) override;

    /// Constructed, identifier 0x11 unless anyTag, and in order when marked sorted.
    static int isValid(const CASN1Type* value, int anyTag);
};
