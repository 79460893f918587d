// Bounds-checked component access and the component reader: fields read in schema order,
// and every failure is the decoding exception naming the field.
#include <functional>
#include <type_traits>

#include "asn1_test_util.h"
#include "vorlan/asn1/componentreader.h"

using namespace asn1test;

namespace {

// SEQUENCE { [0] { INTEGER 2 }, INTEGER 5, SEQUENCE { OID 1.3.6.1 }, [3] { NULL } }
const char* kRecord = "3013A003020102020105300506032B0601A3020500";

}  // namespace

TEST(ComponentAccess, IndexOutOfRangeIsADecodingFailure) {
    auto value = decode(fromHex(kRecord));
    auto& record = dynamic_cast<CASN1_SEQUENCE&>(*value);
    const auto& constant = record;
    ASSERT_EQ(record.GetCount(), 4);
    EXPECT_EQ(encodedHex(record.GetComponent(1)), "020105");
    EXPECT_EQ(encodedHex(constant.GetComponent(3)), "A3020500");
    EXPECT_EQ(decodingFailureOf([&] { record.GetComponent(4); }), "Component 4 requested of 4");
    EXPECT_EQ(decodingFailureOf([&] { constant.GetComponent(-1); }), "Component -1 requested of 4");
    CASN1_SEQUENCE empty;
    EXPECT_EQ(decodingFailureOf([&] { empty.GetComponent(0); }), "Component 0 requested of 0");
}

TEST(ComponentReader, ReadsFieldsInSchemaOrder) {
    auto value = decode(fromHex(kRecord));
    const auto& record = dynamic_cast<const CASN1_SEQUENCE&>(*value);
    CASN1ComponentReader reader(record);
    static_assert(std::is_same_v<decltype(reader)::Component, const CASN1Type>);
    EXPECT_EQ(encodedHex(reader.Next(ASN1ContextTag(0), "version")), "A003020102");
    EXPECT_EQ(encodedHex(reader.Next(kASN1Integer, "serialNumber")), "020105");
    EXPECT_EQ(reader.Next(kASN1Sequence, "signature").identifier, kASN1Sequence);
    EXPECT_EQ(reader.Optional(ASN1ContextTag(1)), nullptr);  // absent, nothing consumed
    ASSERT_NE(reader.Optional(ASN1ContextTag(3)), nullptr);
    EXPECT_EQ(reader.Optional(kASN1Null), nullptr);  // past the end
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(decodingFailureOf([&] { reader.End("TBSCertificate"); }), "");
}

TEST(ComponentReader, FailuresNameTheField) {
    auto value = decode(fromHex(kRecord));
    auto& record = dynamic_cast<CASN1_SEQUENCE&>(*value);
    using Reader = CASN1ComponentReader<CASN1_CONSTRUCTED_TYPE>;
    const std::pair<std::function<void(Reader&)>, const char*> rows[] = {
        {[](Reader& r) { r.Next(kASN1Integer, "version"); }, "version: identifier 0x02 expected, 0x80 found"},
        {[](Reader& r) { r.NextAny("version"), r.Next(kASN1Integer, "serial"), r.Next(kASN1Set, "issuer"); },
         "issuer: identifier 0x11 expected, 0x10 found"},
        {[](Reader& r) {
             for (int i = 0; i < 4; ++i) r.NextAny("field");
             r.NextAny("extensions");
         },
         "extensions is missing"},
        {[](Reader& r) { r.NextAny("version"), r.End("TBSCertificate"); },
         "TBSCertificate: unexpected component 0x02 after the last field"},
    };
    for (const auto& [program, reason] : rows) {
        Reader reader(record);
        EXPECT_EQ(decodingFailureOf([&, &program = program] { program(reader); }), reason);
    }
}
