/// \file
/// CASN1_SEQUENCE: the universal SEQUENCE (OF), always in constructed form.
#pragma once

#include "vorlan/asn1/constructed.h"

/// The universal SEQUENCE (OF), always in constructed form; it owns its components.
class CASN1_SEQUENCE : public CASN1_CONSTRUCTED_TYPE {
public:
    CASN1_SEQUENCE() {
        identifier = kASN1Sequence;
        m_bConstructed = 1;
    }
    DECLARE_ASN1_VALUE_FAMILY(CASN1_SEQUENCE)

protected:
    /// Components of any identifier are accepted.
    void addConstructedComponent(CASN1Type* component) override { CASN1_CONSTRUCTED_TYPE::AddObject(component); }
    int allowsPrimitive() const override { return 0; }
};
