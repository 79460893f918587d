// Decoding: classes and forms chosen from the identifier, round trips of every universal
// class in primitive, segmented and indefinite forms, the reason texts, hostile input
// (truncations, lengths past the data or the parent, huge claimed lengths, deep nesting;
// mutated encodings: fuzz/der_roundtrip.cpp), and the component reader.
#include "asn1_test_util.h"
#include "tests/common/rows.h"

using namespace asn1test;

TEST(Decoder, ClassAndFormFollowTheIdentifierAndGetContentsTheTargetsOwnForm) {
    SharedEncoding indefinite(fromHex("30800101FF0000 05"));
    std::unique_ptr<CASN1Type> open(___buildFromEncoding(*indefinite.der));
    EXPECT_EQ(indefinite.der->Seek(0, CFile::current), 7);  // just past the end-of-contents octets

    auto explicitTag = Built(fromHex("A103020105")), window = Built(fromHex("8102ABCD"));
    auto& tagged = dynamic_cast<CASN1_TAGGED&>(*explicitTag);
    EXPECT_TRUE(tagged.identifier == 0x81 && encodedHex(*tagged.GetComponents()[0]) == "020105");
    EXPECT_TRUE(dynamic_cast<CASN1_TAGGED&>(*window).m_dwPosition == 2u && clearHex(*window) == "ABCD");

    EXPECT_EQ(dynamic_cast<CASN1_OCTET_STRING&>(*Built(fromHex("0480"))).getClearContentsLength(), 0u);
    EXPECT_EQ(encodedHex(*Built(fromHex("3081050201010500"))), "30050201010500");  // long form accepted
    // Contents read into a target follow the target's own form.
    SharedEncoding contents(fromHex("0201050500"));
    CASN1_SEQUENCE sequence;
    ___getContentsFromEncoding(sequence, *contents.der, 5);
    EXPECT_EQ(encodedHex(sequence), "30050201050500");
    CASN1_OCTET_STRING octets;
    octets.m_bConstructed = 0;
    contents.der->SeekToBegin();
    ___getContentsFromEncoding(octets, *contents.der, 2);
    EXPECT_EQ(encodedHex(octets), "04020201");
}

TEST(Decoder, RoundTripsEveryUniversalClassInEveryForm) {
    const char* rows[] = {
        "0101FF", "010100", "020100", "0203FF0001", "0200", "0A0102", "0500", "06032B0601", "060100",
        "030100", "030204A0", "2308030200AA030204B0", "2380030200AA030204B00000",
        "0403616263", "240704026162040163", "24800402616224030401630000",
        "1303414243", "3306130141130142", "14026162", "1603614062", "170B393931323331323335395A",
        "1C0400000041", "1E020041", "3000", "30800000", "30060201010201FF", "31060201020201FF",
        "4003616263", "610302017F", "8000", "A28005000000", "C101AA", "0C024142", "3080A180050000000000",
        "31080201030201010500",  // a set's order is kept
    };
    for (const char* hex : rows) {
        ASSERT_EQ(decodingFailure(fromHex(hex)), "") << hex;
        EXPECT_EQ(encodedHex(*Built(fromHex(hex))), hex);
    }
    // A segmented string has the clear contents of its primitive form.
    auto bits = Built(fromHex("2308030200AA030204B0"));
    EXPECT_TRUE(dynamic_cast<CASN1_BIT_STRING&>(*bits).m_dwBits == 12u && clearHex(*bits, 0) == "0AAB");
    EXPECT_EQ(clearHex(*Built(fromHex("240704026162040163"))), "616263");
}

// The octets in hex (the row's name) and the reason with the offset of the failure.
struct FailureRow {
    const char* name;
    const char* reason;
    friend void PrintTo(const FailureRow& row, std::ostream* out) { *out << row.name; }
};
constexpr const char* kEof = "Unexpected end of file (at octet 0)";
const FailureRow kFailures[] = {
    {"1F0100", "High tag number form is not supported (at octet 0)"},
    {"02850000000001", "4 bytes-encoded-length is only suported (at octet 0)"},
    {"010101", "invalid data in BOOLEAN: m_pData[0] = 1 (at octet 0)"},
    {"0102FFFF", "invalid size of data in BOOLEAN. dwSize = 2 (at octet 0)"},
    {"050100", "Encoded NULL value has invalid length (at octet 0)"},
    {"060178", "Encoded OBJECT IDENTIFIER value is not valid (at octet 0)"},
    {"0600", "Encoded OBJECT IDENTIFIER has invalid size (at octet 0)"},
    {"0300", "Invalid data size in BIT STRING (at octet 0)"},
    {"030103", "Invalid data size in BIT STRING (at octet 0)"},
    {"03020800", "Invalid number of padding bits in BIT STRING (at octet 0)"},
    {"2309030304AAB0030200FF", "CASN1_BIT_STRING::addConstructedComponent - m_dwBits = 12 (at octet 0)"},
    {"160180", "IA5String contents is not valid (at octet 0)"},
    {"130109", "PrintableString contents is not valid (at octet 0)"},
    {"1E03000041", "BMPString contents is not valid (at octet 0)"},
    {"1C03000041", "UniversalString contents is not valid (at octet 0)"},
    {"2403130141", "Tag number is not the same: 0x4 current, 0x13 inserted (at octet 0)"},
    {"3306130141130109", "PrintableString contents is not valid (at octet 5)"},
    {"1001", "Encoded type does not allow primitive encoding method (at octet 0)"},
    {"2203020101", "Encoded type does not allow constructed encoding method (at octet 0)"},
    // The offset is that of the innermost element that failed.
    {"3006020101010101", "invalid data in BOOLEAN: m_pData[0] = 1 (at octet 5)"},
    {"300605 00A0030201", "Unexpected end of file (at octet 4)"},
    {"300302020101", "Unexpected end of file (at octet 2)"},  // the component runs past its parent
    {"3004A103050000", "Unexpected end of file (at octet 2)"},
    // An empty universal-0 element would come back as end-of-contents.
    {"30800080050000000000", "Universal tag 0 is reserved for end-of-contents octets (at octet 2)"},
    {"0000", "Universal tag 0 is reserved for end-of-contents octets (at octet 0)"},
    // Lengths past the data (huge claimed lengths, also of a tagged window, are not allocated for), an
    // indefinite parent with a component past the end or without its end octets.
    {"0484FFFFFFFF", kEof},
    {"30847FFFFFFF0500", kEof},
    {"0284800000000102", kEof},
    {"4184FFFFFFF0", kEof},
    {"04050102", kEof},
    {"3081", kEof},
    {"30800500", kEof},
    {"308004020101", kEof},
    {"3080050000", kEof},
};

using DecoderFailures = testing::TestWithParam<FailureRow>;
TEST_P(DecoderFailures, FailuresCarryTheirReasonAndOffset) {
    EXPECT_EQ(decodingFailure(fromHex(GetParam().name)), GetParam().reason);
}
INSTANTIATE_TEST_SUITE_P(Reasons, DecoderFailures, testing::ValuesIn(kFailures), testcommon::RowName());

TEST(Decoder, FailureIsTheSharedInstanceWithItsRunTimeClass) {
    SharedEncoding stream(fromHex("0500" "010105"));  // the second message is bad
    std::unique_ptr<CASN1Type> first(___buildFromEncoding(*stream.der));
    try {
        ___buildFromEncoding(*stream.der);
        FAIL() << "decoded";
    } catch (CException* e) {
        char text[128];
        EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CDERDecodingException)) && e->GetErrorMessage(text, sizeof text) &&
                    std::string(e->GetRuntimeClass()->m_lpszClassName) == "CDERDecodingException");
        EXPECT_STREQ(text, "invalid data in BOOLEAN: m_pData[0] = 5 (at octet 2)");  // offset in the stream
        e->Delete();  // shared: still alive
        EXPECT_EQ(decodingFailure(fromHex("1F00")), "High tag number form is not supported (at octet 0)");
        EXPECT_TRUE(e->GetErrorMessage(text, sizeof text));
    }
}

// Every truncation of a certificate fails; nesting deeper than the bound fails without exhausting
// the stack; a tagged window past its encoding fails when encoded or read back.
TEST(HostileInput, TruncationsDeepNestingAndWindowsPastTheirEncodingFail) {
    const Octets octets = certificate();
    for (size_t n = 0; n < octets.size(); ++n)
        EXPECT_NE(decodingFailure(Octets(octets.begin(), octets.begin() + static_cast<long>(n))), "") << n;
    Octets deep;
    for (int i = 0; i < 100000; ++i) deep.insert(deep.end(), {0x30, 0x80});
    EXPECT_EQ(decodingFailure(deep), "Constructed encodings nest deeper than 128 levels (at octet 256)");
    // Definite (long-form) lengths at the bound and one past it.
    Octets nested = {0x05, 0x00};
    for (int level = 1; level <= kMaxDERNestingDepth + 1; ++level) {
        const size_t n = nested.size();
        nested.insert(nested.begin(), {0x30, 0x82, static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(n)});
        EXPECT_TRUE(level < kMaxDERNestingDepth || (decodingFailure(nested) == "") == (level == kMaxDERNestingDepth));
    }
    unsigned char three[3] = {1, 2, 3};
    CASN1_OCTET_STRING overlong(three, 3, 0, 0);
    overlong.m_dwLength = 10;
    CByteArray out;
    EXPECT_TRUE(throwsFileException([&] { overlong.encodeTo(out); }));
    CASN1_INTEGER reader;  // read back implicitly, the window is refused before anything is sized
    overlong.m_bConstructed = 0;
    EXPECT_THROW(reader.fromImplicit(overlong), CDERDecodingException*);
}

namespace {

// SEQUENCE { [0] { INTEGER 2 }, INTEGER 5, SEQUENCE { OID 1.3.6.1 }, [3] { NULL } }
const char* kRecord = "3013A003020102020105300506032B0601A3020500";

}  // namespace

// Bounds-checked component access, and fields read in schema order.
TEST(ComponentReader, IndexOutOfRangeIsADecodingFailureFieldsAreReadInSchemaOrderAndFailuresNameThem) {
    auto value = Built(fromHex(kRecord));
    auto& record = dynamic_cast<CASN1_SEQUENCE&>(*value);
    const auto& constant = record;
    ASSERT_EQ(record.GetCount(), 4);
    EXPECT_TRUE(encodedHex(record.GetComponent(1)) == "020105" && encodedHex(constant.GetComponent(3)) == "A3020500");
    EXPECT_EQ(DecodingReason([&] { record.GetComponent(4); }), "Component 4 requested of 4");
    EXPECT_EQ(DecodingReason([&] { constant.GetComponent(-1); }), "Component -1 requested of 4");
    EXPECT_EQ(DecodingReason([&] { CASN1_SEQUENCE().GetComponent(0); }), "Component 0 requested of 0");

    CASN1ComponentReader reader(constant);
    static_assert(std::is_same_v<decltype(reader)::Component, const CASN1Type>);
    EXPECT_EQ(encodedHex(reader.Next(ASN1ContextTag(0), "version")), "A003020102");
    EXPECT_EQ(encodedHex(reader.Next(kASN1Integer, "serialNumber")), "020105");
    EXPECT_EQ(reader.Next(kASN1Sequence, "signature").identifier, kASN1Sequence);
    EXPECT_EQ(reader.Optional(ASN1ContextTag(1)), nullptr);  // absent, nothing consumed
    // Present, then nothing past the end.
    EXPECT_TRUE(reader.Optional(ASN1ContextTag(3)) && !reader.Optional(kASN1Null) && reader.AtEnd());
    EXPECT_EQ(DecodingReason([&] { reader.End("TBSCertificate"); }), "");

    // Failures name the field.
    using Reader = CASN1ComponentReader<CASN1_CONSTRUCTED_TYPE>;
    const std::pair<std::function<void(Reader&)>, const char*> rows[] = {
        {[](Reader& r) { r.Next(kASN1Integer, "version"); }, "version: identifier 0x02 expected, 0x80 found"},
        {[](Reader& r) { r.NextAny("version"), r.Next(kASN1Integer, "serial"), r.Next(kASN1Set, "issuer"); },
         "issuer: identifier 0x11 expected, 0x10 found"},
        {[](Reader& r) { for (int i = 0; i < 5; ++i) r.NextAny(i < 4 ? "field" : "extensions"); },
         "extensions is missing"},
        {[](Reader& r) { r.NextAny("version"), r.End("TBSCertificate"); },
         "TBSCertificate: unexpected component 0x02 after the last field"},
    };
    for (const auto& [program, reason] : rows) {
        Reader reader(record);
        EXPECT_EQ(DecodingReason([&, &program = program] { program(reader); }), reason);
    }
}
