// CUTCTime and the UTCTime and GeneralizedTime conversions: every text shape, hostile contents,
// the form certificates write (also of time_t and the current time), the instant order across
// zones and midnight, one second back and the archive form, checked against the C library's timegm.
#include <ctime>

#include "peer.h"
#include "vorlan/framework/memfile.h"
#include "vorlan/x509/times.h"
#include "vorlan/x509/utctime.h"
#include "vorlan/x509/validity.h"

namespace x509test {
namespace {

// A text received as UTCTime (tag 0x17) or GeneralizedTime (0x18) read into `time`.
void ReadTime(const std::string& text, CUTCTime& time, unsigned char tag = 0x17) {
    const std::unique_ptr<CASN1Type> value = Built(Text(tag, text));
    if (tag == 0x17) dynamic_cast<CASN1_UTCTime&>(*value).SetDataTo(time);
    else dynamic_cast<CASN1_GeneralizedTime&>(*value).SetDataTo(time);
}
CUTCTime Parsed(const std::string& text, unsigned char tag = 0x17) {
    CUTCTime time(std::time_t{0});
    ReadTime(text, time, tag);
    return time;
}

// The instant of a well-formed UTCTime text by timegm, the oracle of the field arithmetic.
std::time_t OracleInstant(const std::string& t) {
    const auto pair = [&](size_t i) { return std::stoi(t.substr(i, 2)); };
    const bool seconds = t.size() == 13 || t.size() == 17;
    const size_t zone = seconds ? 12 : 10;
    struct tm f {};
    f.tm_year = pair(0) < 50 ? 100 + pair(0) : pair(0), f.tm_mon = pair(2) - 1, f.tm_mday = pair(4);
    f.tm_hour = pair(6), f.tm_min = pair(8), f.tm_sec = seconds ? pair(10) : 0;
    const int differential = t.size() >= 15 && t[zone] != 'Z' ? (pair(zone + 1) * 60 + pair(zone + 3)) * 60 : 0;
    return timegm(&f) + (t.size() >= 15 && t[zone] == '+' ? -differential : differential);
}

// The value the library builds for a time: UTCTime or GeneralizedTime.
Octets Written(const CUTCTime& time) { return Encoded(*std::unique_ptr<CASN1Type>(vorlan::detail::NewTime(time))); }

TEST(UTCTimeText, EveryShapeParsesToItsInstantAndIsWrittenBackAsReceived) {
    for (const std::string text : {"980305140709Z", "9803051407Z", "9803051407+0130", "980305140709-0800",
                                   "500101120100Z", "690101000000Z", "700101000000Z", "491231235959Z", "000229235959Z", "9803051407+", "980305140709-",
                                   "980305140709Z0000", "961231235959+2359"}) {
        const CUTCTime time = Parsed(text);
        CByteArray clear;
        CASN1_UTCTime(time).GetClearData(clear, 1);
        EXPECT_TRUE(OctetsOf(clear) == Octets(text.begin(), text.end()) && time.GetTime() == OracleInstant(text)) << text;
    }
    CUTCTimeFields time, untouched;
    time.Setup("9803051407+0130", 11);  // the 11-character shape: a sign but no differential
    EXPECT_TRUE(time.m_nZoneKind == 1u && time.m_wZoneMinutes == 0);
    untouched.Setup("9803051407+", 15);  // nothing read past the text
    untouched.Setup("980305140709Z", 12);
    untouched.Setup("98030514a7Z", 11);
    EXPECT_EQ(untouched.m_bFormatLength, 0);
    EXPECT_FALSE(CUTCTime(CString("980305140709Q0")).IsValid());
    EXPECT_EQ(CUTCTime(CString("9803051407-0100")).m_nZoneKind, 2u);
    EXPECT_EQ(CUTCTime(CString("9803051407x0100")).m_nZoneKind, 2u);
}

TEST(UTCTimeText, HostileContentsAreRefusedAndLeaveTheTimeUnchanged) {
    const std::pair<unsigned char, const char*> rows[] = {
        {0x17, "980005140709Z"},   {0x17, "981305140709Z"},   {0x17, "980300140709Z"},     {0x17, "980431140709Z"},
        {0x17, "990229140709Z"},   {0x17, "980305990709Z"},   {0x17, "980305240000Z"},     {0x17, "980305146009Z"},
        {0x17, "980305140760Z"},   {0x17, "9803051407Z0130"}, {0x17, "9803051407+2400"},   {0x17, "9803051407+0160"},
        {0x17, "98030514070Z"},    {0x17, "98030514070a9Z"},  {0x17, "98030514 709Z"},     {0x17, "980305140709X"},
        {0x17, ""},                {0x18, "2050010100000Z"},  {0x18, "20500101000000.5Z"}, {0x18, "20500101000000+0100"},
        {0x18, "205001010000000"}, {0x18, "20501301000000Z"}, {0x18, "20500230000000Z"},   {0x18, "20500101240000Z"},
        {0x18, "20500101006000Z"}, {0x18, "2050010100000aZ"},
    };
    for (const auto& row : rows) {
        CUTCTime time(std::time_t{86400});
        EXPECT_TRUE(Refused([&] { ReadTime(row.second, time, row.first); })) << row.second;
        EXPECT_TRUE(time == CUTCTime(std::time_t{86400})) << row.second;
    }
}

TEST(GeneralizedTimeText, ReadIntoTheFullYearKeptInItsFormAndWrittenForYearsOutsideUTCTime) {
    // Received: the full year, the instant, and the same octets written back, also after the archive.
    for (const std::string text : {"20500101000000Z", "20491231235959Z", "21240229120000Z", "99991231235959Z"}) {
        const CUTCTime time = Parsed(text, 0x18);
        struct tm fields {};
        strptime(text.c_str(), "%Y%m%d%H%M%SZ", &fields);
        CUTCTime loaded;
        EXPECT_EQ(LoadInto(loaded, Stored(time)), kNothingThrown);
        EXPECT_TRUE(time.GetTime() == timegm(&fields) && time.m_bFormatLength == CUTCTimeFields::kGeneralizedFormat &&
                    Written(time) == Text(0x18, text) && Written(loaded) == Text(0x18, text)) << text;
    }
    // Built here: UTCTime for 1950-2049 (two-digit years 50-99 read back as 19xx), else a
    // GeneralizedTime in GMT; a differential keeps the UTCTime it came in while it fits.
    CUTCTime year2100 = Parsed("5501010030+0100"), year2055 = year2100;
    year2100.m_wYear = 2100;
    year2055.m_wYear = 2055;
    const std::pair<CUTCTime, Octets> built[] = {
        {Parsed("491231235959Z"), Text(0x17, "491231235959Z")},
        {Parsed("500101000000Z"), Text(0x17, "500101000000Z")},
        {Parsed("5501010030+0100"), Text(0x17, "5501010030+0100")},
        {year2055, Text(0x18, "20541231233000Z")},
        {year2100, Text(0x18, "20991231233000Z")},
        {CUTCTime(std::time_t{-631152000}), Text(0x17, "500101000000Z")},
        {CUTCTime(std::time_t{-631152001}), Text(0x18, "19491231235959Z")},
        {CUTCTime(std::time_t{2524607999}), Text(0x17, "491231235959Z")},
        {CUTCTime(std::time_t{2524608000}), Text(0x18, "20500101000000Z")},
        {CUTCTime(std::time_t{0}), Text(0x17, "700101000000Z")},
        {CUTCTime(std::time_t{951868799}), Text(0x17, "000229235959Z")},
        {CUTCTime(std::time_t{3155759999}), Text(0x18, "20691231235959Z")},
    };
    for (const auto& [time, der] : built) EXPECT_EQ(Written(time), der);
    // The current time, in GMT with seconds.
    const std::time_t before = std::time(nullptr);
    const CUTCTime now;
    EXPECT_TRUE(Written(now).size() == 15 && now.GetTime() >= before && now.GetTime() <= std::time(nullptr));
    // UTCTime itself refuses what would read back wrong, the builder what fits no form.
    CUTCTime time(std::time_t{0});
    for (WORD year : {1949, 2050, 2075}) {
        time.m_wYear = year;
        EXPECT_TRUE(Refused([&] { CASN1_UTCTime value(time); })) << year;
    }
    time.m_wYear = 10000;
    EXPECT_TRUE(Refused([&] { Written(time); }));
    time = Parsed("980305140709Z");
    time.m_bMonth = 0;
    EXPECT_TRUE(Refused([&] { CASN1_UTCTime value(time); }) && time.GetTimeAsString(1, 0) == "");
}

TEST(UTCTimeText, ReadableFormsAndTheDumpLine) {
    const CUTCTime gmt = Parsed("980305140709Z");
    EXPECT_EQ(gmt.GetTimeAsString(0, 0), "5 March, 1998, 14:07 GMT");
    EXPECT_EQ(gmt.GetTimeAsString(1, 0), "5 March, 1998, 14:07 09 sec GMT");
    EXPECT_EQ(Parsed("9803051407+0100").GetTimeAsString(0, 0), "5 March, 1998, 14:07 +0100");
    EXPECT_EQ(gmt.GetTimeAsString(0, 1), "14:07 GMT");
    EXPECT_EQ(Parsed("981231235959-0930").GetTimeAsString(1, 1), "23:59 59 sec -0930");
    for (const char* text : {"980305140709Z", "980231140709Z"}) {  // 31 February: no time line
        CMemFile file;
        Built(Text(0x17, text))->Dump(0, &file);
        std::string dump(file.GetLength(), '\0');
        file.SeekToBegin();
        file.Read(dump.data(), static_cast<UINT>(dump.size()));
        EXPECT_EQ(dump.find("UTCTime: 5 March, 1998, 14:07 09 sec GMT\r\n") != std::string::npos, text[5] == '5') << dump;
    }
}

TEST(UTCTimeOrder, InstantsAcrossZonesAndMidnightAndOneSecondBackFollowTimegm) {
    const char* texts[] = {"980305200000-0800", "980306040000Z",     "980306000000Z",  "9803060000+0100",
                           "980305230000Z",     "980306003000+0030", "9802282330-0100", "980301000000+0100",
                           "991231235959Z",     "000101000000+0000", "691231235959-2359", "700101000000+2359"};
    for (const char* a : texts)
        for (const char* b : texts) {
            const CUTCTime x = Parsed(a), y = Parsed(b);
            const std::time_t ta = OracleInstant(a), tb = OracleInstant(b);
            EXPECT_TRUE((x < y) == (ta < tb) && (x > y) == (ta > tb) && (x <= y) == (ta <= tb) && (x >= y) == (ta >= tb))
                << a << " vs " << b;
            // Equality stays field equality: one instant in two zones is not equal.
            EXPECT_EQ(x == y, std::string(a) == b || (x.m_nZoneKind == y.m_nZoneKind && ta == tb)) << a << " vs " << b;
        }
    for (const char* text : {"980301000000Z", "000301000000Z", "960301000000Z", "980101000000Z", "980501000000Z",
                             "980305000000Z", "980305140000Z", "980305140709Z"}) {
        CUTCTime time = Parsed(text);
        --time;
        EXPECT_TRUE(time.IsValid() && time.GetTime() == OracleInstant(text) - 1) << text;
    }
}

TEST(UTCTimeArchive, FieldsRoundTripAndBadRecordsAreRefused) {
    const CUTCTime time = Parsed("980305140709-0130");
    EXPECT_EQ(ToHex(Stored(time)), "00ce0703054f030902005a0011");
    CUTCTime loaded(std::time_t{0});
    EXPECT_EQ(LoadInto(loaded, Stored(time)), kNothingThrown);
    EXPECT_TRUE(loaded == time && loaded.m_bFormatLength == 17);
    Loader objectIn(Store([&](CArchive& ar) { ar << static_cast<const CObject*>(&time); }));
    CUTCTime* created = nullptr;
    objectIn.ar >> created;
    EXPECT_TRUE(created && *created == time);
    delete created;
    for (const char* hex : {"01ce0703054f030902005a0011", "00ce070d054f030902005a0011", "00ce0703054f030903005a0011",
                            "00ce0703054f030902005a000c"})
        EXPECT_EQ(LoadInto(loaded, FromHex(hex)), CArchiveException::generic) << hex;
}

}  // namespace
}  // namespace x509test
