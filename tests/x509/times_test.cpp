// CUTCTime and the UTCTime and GeneralizedTime conversions: every text shape, hostile contents,
// the form certificates write, the instant order across zones and midnight, one second back,
// time_t and the archive form, all checked against the C library's timegm/gmtime.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "tests/asn1/asn1_test_util.h"
#include "tests/common/archive_io.h"
#include "tests/x509/x509_test_util.h"
#include "vorlan/framework/memfile.h"
#include "vorlan/x509/utctime.h"
#include "vorlan/x509/validity.h"

namespace {

using namespace asn1test;
using x509test::refused;

// The UTCTime value of a text, as it arrives in DER.
std::unique_ptr<CASN1Type> utcValue(const std::string& text) {
    Octets der{0x17, static_cast<unsigned char>(text.size())};
    der.insert(der.end(), text.begin(), text.end());
    return decode(der);
}

CUTCTime parsed(const std::string& text) {
    CUTCTime time(std::time_t{0});
    static_cast<CASN1_UTCTime&>(*utcValue(text)).SetDataTo(time);
    return time;
}

int pairAt(const std::string& t, size_t i) { return std::stoi(t.substr(i, 2)); }

// The instant of a well-formed text by timegm, the oracle of the field arithmetic.
std::time_t oracleInstant(const std::string& t) {
    struct tm fields {};
    fields.tm_year = pairAt(t, 0) < 70 ? 100 + pairAt(t, 0) : pairAt(t, 0);
    fields.tm_mon = pairAt(t, 2) - 1;
    fields.tm_mday = pairAt(t, 4);
    fields.tm_hour = pairAt(t, 6);
    fields.tm_min = pairAt(t, 8);
    const bool seconds = t.size() == 13 || t.size() == 17;
    fields.tm_sec = seconds ? pairAt(t, 10) : 0;
    std::time_t instant = timegm(&fields);
    const size_t zone = seconds ? 12 : 10;
    if (t.size() >= 15 && t[zone] != 'Z') {
        const int differential = (pairAt(t, zone + 1) * 60 + pairAt(t, zone + 3)) * 60;
        instant += t[zone] == '+' ? -differential : differential;
    }
    return instant;
}

std::string written(const CUTCTimeFields& time) {
    CASN1_UTCTime value(time);
    CByteArray clear;
    value.GetClearData(clear, 1);
    return std::string(reinterpret_cast<const char*>(clear.GetData()), static_cast<size_t>(clear.GetSize()));
}

TEST(UTCTimeText, EveryShapeParsesAndIsWrittenBackAsReceived) {
    struct Row {
        std::string text;
        int year, month, day, minute, second, kind, zoneMinutes;
    };
    const Row rows[] = {
        {"980305140709Z", 1998, 3, 5, 847, 9, 0, 0},      {"9803051407Z", 1998, 3, 5, 847, 0, 0, 0},
        {"9803051407+0130", 1998, 3, 5, 847, 0, 1, 90},   {"980305140709-0800", 1998, 3, 5, 847, 9, 2, 480},
        {"690101000000Z", 2069, 1, 1, 0, 0, 0, 0},        {"700101000000Z", 1970, 1, 1, 0, 0, 0, 0},
        {"000229235959Z", 2000, 2, 29, 1439, 59, 0, 0},   {"9803051407+", 1998, 3, 5, 847, 0, 1, 0},
        {"980305140709-", 1998, 3, 5, 847, 9, 2, 0},      {"980305140709Z0000", 1998, 3, 5, 847, 9, 0, 0},
        {"961231235959+2359", 1996, 12, 31, 1439, 59, 1, 1439},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const CUTCTime time = parsed(row.text);
        EXPECT_EQ(time.m_wYear, row.year);
        EXPECT_EQ(time.m_bMonth, row.month);
        EXPECT_EQ(time.m_bDay, row.day);
        EXPECT_EQ(time.m_wMinuteOfDay, row.minute);
        EXPECT_EQ(time.m_bSecond, row.second);
        EXPECT_EQ(time.m_nZoneKind, static_cast<DWORD>(row.kind));
        EXPECT_EQ(time.m_wZoneMinutes, row.zoneMinutes);
        EXPECT_EQ(time.m_bFormatLength, row.text.size());
        EXPECT_EQ(written(time), row.text);
        EXPECT_EQ(time.GetTime(), oracleInstant(row.text));
    }
}

TEST(UTCTimeText, HostileContentsAreRefusedAndLeaveTheTimeUnchanged) {
    const char* rows[] = {"980005140709Z",  "981305140709Z", "980300140709Z", "980431140709Z", "990229140709Z",
                          "980305990709Z",  "980305240000Z", "980305146009Z", "980305140760Z", "9803051407Z0130",
                          "9803051407+2400", "9803051407+0160", "98030514070Z", "98030514070a9Z", "98030514 709Z",
                          "980305140709X",  ""};
    for (const char* text : rows) {
        SCOPED_TRACE(text);
        CUTCTime time(std::time_t{86400});
        const CUTCTime before = time;
        EXPECT_TRUE(refused([&] { static_cast<CASN1_UTCTime&>(*utcValue(text)).SetDataTo(time); }));
        EXPECT_TRUE(time == before);
    }
}

TEST(UTCTimeText, WritingRefusesTimesThatWouldReadBackWrong) {
    CUTCTime time(std::time_t{0});
    for (WORD year : {1969, 2070, 2075}) {
        time.m_wYear = year;
        EXPECT_TRUE(refused([&] { CASN1_UTCTime value(time); })) << year;
    }
    time = parsed("980305140709Z");
    time.m_bMonth = 0;
    EXPECT_TRUE(refused([&] { CASN1_UTCTime value(time); }));
    EXPECT_EQ(time.GetTimeAsString(1, 0), "");
}

TEST(GeneralizedTimeText, ReadIntoTheFullYearKeptInItsFormAndWrittenForYearsPast2049) {
    const auto value = [](char tag, const std::string& text) {
        const std::string der = std::string{tag, static_cast<char>(text.size())} + text;
        return Octets(der.begin(), der.end());
    };
    const auto newTime = [](const CUTCTime& time) {
        return encodedHex(*std::unique_ptr<CASN1Type>(detail::NewTime(time)));
    };
    // Received: the full year, the instant, and the same octets written back, whatever the year.
    for (const std::string text : {"20500101000000Z", "20491231235959Z", "21240229120000Z", "99991231235959Z"}) {
        SCOPED_TRACE(text);
        CUTCTime time(std::time_t{0});
        dynamic_cast<CASN1_GeneralizedTime&>(*decode(value(0x18, text))).SetDataTo(time);
        struct tm fields {};
        strptime(text.c_str(), "%Y%m%d%H%M%SZ", &fields);
        EXPECT_EQ(time.GetTime(), timegm(&fields));
        EXPECT_EQ(time.m_bFormatLength, CUTCTimeFields::kGeneralizedFormat);
        EXPECT_EQ(newTime(time), toHex(value(0x18, text)));
        CUTCTime loaded;
        testcommon::Loader in(testcommon::Store([&](CArchive& ar) { time.Serialize(ar); }));
        loaded.Serialize(in.ar);
        EXPECT_EQ(newTime(loaded), toHex(value(0x18, text)));
    }
    for (const char* text :
         {"2050010100000Z", "20500101000000.5Z", "20500101000000+0100", "205001010000000", "20501301000000Z",
          "20500230000000Z", "20500101240000Z", "20500101006000Z", "2050010100000aZ"}) {
        CUTCTime time(std::time_t{86400});
        const CUTCTime before = time;
        EXPECT_TRUE(refused([&] { dynamic_cast<CASN1_GeneralizedTime&>(*decode(value(0x18, text))).SetDataTo(time); }))
            << text;
        EXPECT_TRUE(time == before) << text;
    }
    // Built here: UTCTime up to 2049, GeneralizedTime in GMT from 2050 and before 1970 (two-digit
    // years 50-69 read back as 2050-2069 here); a differential keeps the UTCTime it came in.
    CUTCTime year2100 = parsed("5501010030+0100");
    year2100.m_wYear = 2100;
    const std::pair<CUTCTime, std::string> built[] = {
        {parsed("491231235959Z"), toHex(value(0x17, "491231235959Z"))},
        {parsed("500101000000Z"), toHex(value(0x18, "20500101000000Z"))},
        {parsed("5501010030+0100"), toHex(value(0x17, "5501010030+0100"))},
        {year2100, toHex(value(0x18, "20991231233000Z"))},
        {CUTCTime(std::time_t{-1}), toHex(value(0x18, "19691231235959Z"))},
    };
    for (const auto& [time, hex] : built) EXPECT_EQ(newTime(time), hex);
    CUTCTime far(std::time_t{0});
    far.m_wYear = 10000;
    EXPECT_TRUE(refused([&] { newTime(far); }));
}

TEST(UTCTimeText, SetupReadsNoDifferentialWithoutOneAndNothingPastTheText) {
    CUTCTimeFields time;
    time.Setup("9803051407+0130", 11);  // the 11-character shape: a sign but no differential
    EXPECT_EQ(time.m_nZoneKind, 1u);
    EXPECT_EQ(time.m_wZoneMinutes, 0);
    CUTCTimeFields untouched;
    untouched.Setup("9803051407+", 15);
    untouched.Setup("980305140709Z", 12);
    untouched.Setup("98030514a7Z", 11);
    EXPECT_EQ(untouched.m_bFormatLength, 0);
    EXPECT_FALSE(CUTCTime(CString("980305140709Q0")).IsValid());
    EXPECT_EQ(CUTCTime(CString("9803051407-0100")).m_nZoneKind, 2u);
    EXPECT_EQ(CUTCTime(CString("9803051407x0100")).m_nZoneKind, 2u);
}

TEST(UTCTimeText, ReadableForms) {
    CUTCTime gmt = parsed("980305140709Z"), ahead = parsed("9803051407+0100");
    EXPECT_EQ(gmt.GetTimeAsString(0, 0), "5 March, 1998, 14:07 GMT");
    EXPECT_EQ(gmt.GetTimeAsString(1, 0), "5 March, 1998, 14:07 09 sec GMT");
    EXPECT_EQ(ahead.GetTimeAsString(0, 0), "5 March, 1998, 14:07 +0100");
    EXPECT_EQ(gmt.GetTimeAsString(0, 1), "14:07 GMT");
    EXPECT_EQ(parsed("981231235959-0930").GetTimeAsString(1, 1), "23:59 59 sec -0930");

    CMemFile file;
    utcValue("980305140709Z")->Dump(0, &file);
    const auto size = static_cast<size_t>(file.GetLength());
    std::string dump(size, '\0');
    file.SeekToBegin();
    file.Read(dump.data(), static_cast<UINT>(size));
    EXPECT_NE(dump.find("UTCTime: 5 March, 1998, 14:07 09 sec GMT\r\n"), std::string::npos) << dump;
    CMemFile bad;
    utcValue("980231140709Z")->Dump(0, &bad);  // 31 February: no time line
    EXPECT_GT(bad.GetLength(), 0u);
}

TEST(UTCTimeOrder, InstantsAcrossZonesAndMidnightFollowTimegm) {
    const char* texts[] = {"980305200000-0800", "980306040000Z",     "980306000000Z",  "9803060000+0100",
                           "980305230000Z",     "980306003000+0030", "9802282330-0100", "980301000000+0100",
                           "991231235959Z",     "000101000000+0000", "691231235959-2359", "700101000000+2359"};
    for (const char* a : texts)
        for (const char* b : texts) {
            SCOPED_TRACE(std::string(a) + " vs " + b);
            const CUTCTime x = parsed(a), y = parsed(b);
            const std::time_t ta = oracleInstant(a), tb = oracleInstant(b);
            EXPECT_EQ(x < y, ta < tb);
            EXPECT_EQ(x > y, ta > tb);
            EXPECT_EQ(x <= y, ta <= tb);
            EXPECT_EQ(x >= y, ta >= tb);
            EXPECT_EQ(x.GetTime(), ta);
            // Equality stays field equality: one instant in two zones is not equal.
            EXPECT_EQ(x == y, std::string(a) == b || (x.m_nZoneKind == y.m_nZoneKind && ta == tb));
        }
}

TEST(UTCTimeOrder, OneSecondEarlierCrossesMonthsAndYearsLikeGmtime) {
    const char* texts[] = {"980301000000Z", "000301000000Z", "960301000000Z", "980101000000Z",
                           "980501000000Z", "980305000000Z", "980305140000Z", "980305140709Z"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        CUTCTime time = parsed(text);
        --time;
        EXPECT_TRUE(time.IsValid());
        EXPECT_EQ(time.GetTime(), oracleInstant(text) - 1);
    }
}

TEST(UTCTimeClock, TimeTConversionsAndTheCurrentTimeAreGmt) {
    for (std::time_t t : {std::time_t{0}, std::time_t{889106829}, std::time_t{951868799}, std::time_t{3155759999}}) {
        const CUTCTime time(t);
        struct tm fields {};
        gmtime_r(&t, &fields);
        EXPECT_EQ(time.GetTime(), t);
        EXPECT_EQ(time.m_wYear, fields.tm_year + 1900);
        EXPECT_EQ(time.m_bDay, fields.tm_mday);
        EXPECT_EQ(time.m_bFormatLength, 13);
    }
    const std::time_t before = std::time(nullptr);
    const CUTCTime now;
    EXPECT_EQ(now.m_nZoneKind, 0u);
    EXPECT_EQ(now.m_wZoneMinutes, 0);
    EXPECT_EQ(now.m_bFormatLength, 13);
    EXPECT_GE(now.GetTime(), before);
    EXPECT_LE(now.GetTime(), std::time(nullptr));
    EXPECT_EQ(written(now).back(), 'Z');
}

TEST(UTCTimeArchive, FieldsRoundTripAndBadRecordsAreRefused) {
    CUTCTime time = parsed("980305140709-0130");
    const auto octets = testcommon::Store([&](CArchive& ar) { time.Serialize(ar); });
    EXPECT_EQ(testcommon::ToHex(octets), "00ce0703054f030902005a0011");
    CUTCTime loaded(std::time_t{0});
    testcommon::Loader in(octets);
    loaded.Serialize(in.ar);
    EXPECT_TRUE(loaded == time);
    EXPECT_EQ(loaded.m_bFormatLength, 17);

    const auto object = testcommon::Store([&](CArchive& ar) { ar << static_cast<const CObject*>(&time); });
    testcommon::Loader objectIn(object);
    CUTCTime* created = nullptr;
    objectIn.ar >> created;
    ASSERT_NE(created, nullptr);
    EXPECT_TRUE(*created == time);
    delete created;

    for (const char* hex : {"01ce0703054f030902005a0011", "00ce070d054f030902005a0011", "00ce0703054f030903005a0011",
                            "00ce0703054f030902005a000c"}) {
        testcommon::Loader bad(testcommon::FromHex(hex));
        EXPECT_EQ(testcommon::CauseOf([&] { loaded.Serialize(bad.ar); }), CArchiveException::generic) << hex;
    }
}

}  // namespace
