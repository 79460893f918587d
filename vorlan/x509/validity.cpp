#include "vorlan/x509/validity.h"

#include <memory>

#include "vorlan/x509/certificate.h"
#include "vorlan/x509/structurecheck.h"

IMPLEMENT_ASN1_VALUE_FAMILY(CASN1_Validity, CASN1_CONSTRUCTED_TYPE)

namespace {
constexpr const char* kTimes[] = {"notBefore", "notAfter"};
}  // namespace

CASN1_Validity::CASN1_Validity(CASN1_UTCTime* notBefore, CASN1_UTCTime* notAfter) {
    std::unique_ptr<CASN1_UTCTime> ownedNotAfter(notAfter);
    AddObject(notBefore);
    AddObject(ownedNotAfter.release());
}

CASN1_Validity::CASN1_Validity(const CCertificate& certificate) { GetDataFrom(certificate); }

void CASN1_Validity::GetDataFrom(const CCertificate& certificate) {
    clear();
    auto notBefore = std::make_unique<CASN1_UTCTime>(certificate.m_notBefore);
    auto notAfter = std::make_unique<CASN1_UTCTime>(certificate.m_notAfter);
    AddObject(notBefore.release());
    AddObject(notAfter.release());
}

void CASN1_Validity::SetDataTo(CCertificate& certificate) const { detail::ReadValidity(*this, certificate); }

int CASN1_Validity::isValid(const CASN1Type* value, int anyTag) {
    return detail::Passes([&] { detail::CheckValidity(*value, anyTag); });
}

namespace detail {

void CheckValidity(const CASN1Type& value, int anyTag) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, anyTag, kThisStructure);
    for (const char* time : kTimes) reader.Next(kASN1UTCTime, time);
    reader.End(kThisStructure);
}

void ReadValidity(const CASN1Type& value, CCertificate& certificate) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, 1, "Validity");
    CUTCTime times[2];
    for (int i = 0; i < 2; ++i) ReadTime(reader, kTimes[i], times[i]);
    certificate.m_notBefore = times[0];
    certificate.m_notAfter = times[1];
}

void ReadTime(CStructureReader& reader, const char* field, CUTCTimeFields& time) {
    const auto* value = dynamic_cast<const CASN1_UTCTime*>(&reader.Next(kASN1UTCTime, field));
    Reading(field, [&] {
        if (!value) ___throwDERDecodingException("CASN1_UTCTime::SetDataTo - invalid contents");
        value->SetDataTo(time);
    });
}

}  // namespace detail
