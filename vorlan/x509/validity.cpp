#include "vorlan/x509/validity.h"

#include <memory>

#include "vorlan/x509/certificate.h"
#include "vorlan/x509/structurecheck.h"
#include "vorlan/x509/times.h"

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
    std::unique_ptr<CASN1Type> notBefore(vorlan::detail::NewTime(certificate.m_notBefore));
    std::unique_ptr<CASN1Type> notAfter(vorlan::detail::NewTime(certificate.m_notAfter));
    AddObject(notBefore.release());
    AddObject(notAfter.release());
}

void CASN1_Validity::SetDataTo(CCertificate& certificate) const { vorlan::detail::ReadValidity(*this, certificate); }

int CASN1_Validity::isValid(const CASN1Type* value, int anyTag) {
    return vorlan::detail::Passes([&] { vorlan::detail::CheckValidity(*value, anyTag); });
}

namespace vorlan::detail {

void CheckValidity(const CASN1Type& value, int anyTag) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, anyTag, kThisStructure);
    for (const char* time : kTimes) NextTime(reader, time);
    reader.End(kThisStructure);
}

void ReadValidity(const CASN1Type& value, CCertificate& certificate) {
    CStructureReader reader = ReaderOf(value, kASN1Sequence, 1, "Validity");
    CUTCTime times[2];
    for (int i = 0; i < 2; ++i) ReadTime(reader, kTimes[i], times[i]);
    certificate.m_notBefore = times[0];
    certificate.m_notAfter = times[1];
}

void CheckTime(CStructureReader& reader, const char* field) { CheckTime(NextTime(reader, field), field); }

void CheckTime(const CASN1Type& value, const char* field) {
    Require(value.identifier == kASN1UTCTime ? CASN1_UTCTime::isValid(&value, 0)
                                             : CASN1_GeneralizedTime::isValid(&value, 0),
            field);
}

void ReadTime(CStructureReader& reader, const char* field, CUTCTimeFields& time) {
    ReadTime(NextTime(reader, field), field, time);
}

void ReadTime(const CASN1Type& value, const char* field, CUTCTimeFields& time) {
    Reading(field, [&] {
        if (const auto* utc = dynamic_cast<const CASN1_UTCTime*>(&value))
            utc->SetDataTo(time);
        else if (const auto* generalized = dynamic_cast<const CASN1_GeneralizedTime*>(&value))
            generalized->SetDataTo(time);
        else
            ___throwDERDecodingException("CASN1_UTCTime::SetDataTo - invalid contents");
    });
}

CASN1Type* NewTime(const CUTCTime& time) {
    const bool utcTime = time.m_bFormatLength != CUTCTimeFields::kGeneralizedFormat && time.m_wYear >= 1950 &&
                         time.m_wYear <= 2049;
    if (!time.IsValid() || utcTime) return new CASN1_UTCTime(time);
    CUTCTime gmt(time);
    if (time.m_nZoneKind != 0) gmt.SetTime(time.GetTime());
    gmt.m_bFormatLength = CUTCTimeFields::kGeneralizedFormat;
    return new CASN1_GeneralizedTime(gmt);
}

}  // namespace vorlan::detail
