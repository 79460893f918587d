// Encodings of built values (X.690 examples, checked again by OpenSSL's parser), clear
// contents, conversions, comparison, sets, tagging and ownership.
#include <openssl/asn1.h>

#include <functional>

#include "asn1_test_util.h"
#include "vorlan/asn1/bitstring.h"
#include "vorlan/asn1/boolean.h"
#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/null.h"
#include "vorlan/asn1/objectidentifier.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/asn1/set.h"
#include "vorlan/asn1/strings.h"
#include "vorlan/asn1/utctime.h"

using namespace asn1test;

namespace {

std::unique_ptr<CASN1Type> sequenceOf(std::initializer_list<CASN1Type*> components) {
    auto sequence = std::make_unique<CASN1_SEQUENCE>();
    for (CASN1Type* c : components) sequence->AddObject(c);
    return sequence;
}

std::unique_ptr<CASN1_TAGGED> explicitTag(unsigned char tag, CASN1Type& value) {
    auto tagged = std::make_unique<CASN1_TAGGED>(tag, 0);
    value.buildExplicitTAGGED(*tagged);
    return tagged;
}

std::unique_ptr<CASN1_TAGGED> implicitTag(unsigned char tag, CASN1Type& value) {
    auto tagged = std::make_unique<CASN1_TAGGED>(tag, 0);
    value.buildImplicitTAGGED(*tagged);
    return tagged;
}

CASN1_OBJECT_IDENTIFIER rsadsi() {
    CASN1_OBJECT_IDENTIFIER oid(1, 2);
    oid.AddIDComponent(840);
    oid.AddIDComponent(113549);
    return oid;
}

}  // namespace

TEST(ValueEncoding, BuiltValuesEncodeAsDER) {
    const unsigned char magnitude[] = {0, 0, 0x80};
    const unsigned char nibble = 0x0A;
    const std::vector<std::pair<std::function<std::unique_ptr<CASN1Type>()>, const char*>> rows = {
        {[] { return std::make_unique<CASN1_INTEGER>(0ul); }, "020100"},
        {[] { return std::make_unique<CASN1_INTEGER>(127ul); }, "02017F"},
        {[] { return std::make_unique<CASN1_INTEGER>(128ul); }, "02020080"},
        {[] { return std::make_unique<CASN1_INTEGER>(256ul); }, "02020100"},
        {[] { return std::make_unique<CASN1_INTEGER>(4294967295ul); }, "020500FFFFFFFF"},
        {[&] { return std::make_unique<CASN1_INTEGER>(magnitude, 3); }, "02020080"},
        {[] { return std::make_unique<CASN1_ENUMERATED>(3ul); }, "0A0103"},
        {[] { return std::make_unique<CASN1_BOOLEAN>(5); }, "0101FF"},
        {[] { return std::make_unique<CASN1_BOOLEAN>(0); }, "010100"},
        {[] { return std::make_unique<CASN1_NULL>(); }, "0500"},
        {[] { return std::make_unique<CASN1_OBJECT_IDENTIFIER>(); }, "060100"},
        {[] { return std::unique_ptr<CASN1Type>(rsadsi().clone()); }, "06062A864886F70D"},
        {[] { return std::make_unique<CASN1_BIT_STRING>(nullptr, 0, 0); }, "030100"},
        {[&] { return std::make_unique<CASN1_BIT_STRING>(&nibble, 4, 0); }, "030204A0"},
        {[] { return std::make_unique<CASN1_OCTET_STRING>(CString("ab")); }, "04026162"},
        {[] { return std::make_unique<CASN1_PrintableString>(reinterpret_cast<const unsigned char*>("Hi"), 2); }, "13024869"},
        {[] { return std::make_unique<CASN1_IA5String>(reinterpret_cast<const unsigned char*>("a@b"), 3); }, "1603614062"},
        {[] { return std::make_unique<CASN1_SEQUENCE>(); }, "3000"},
        {[] { return std::make_unique<CASN1_SET>(); }, "3100"},
        {[] { return sequenceOf({new CASN1_INTEGER(1ul), new CASN1_NULL}); }, "30050201010500"},
    };
    for (const auto& [make, hex] : rows) {
        auto value = make();
        EXPECT_EQ(encodedHex(*value), hex);
        EXPECT_EQ(value->getEncodedLength(0) * 2, std::string(hex).size()) << hex;
        // OpenSSL reads the same octets and writes them back unchanged.
        const Octets der = fromHex(hex);
        const unsigned char* p = der.data();
        ASN1_TYPE* parsed = d2i_ASN1_TYPE(nullptr, &p, static_cast<long>(der.size()));
        ASSERT_NE(parsed, nullptr) << hex;
        unsigned char* back = nullptr;
        const int n = i2d_ASN1_TYPE(parsed, &back);
        EXPECT_EQ(toHex(back, static_cast<size_t>(n)), hex);
        OPENSSL_free(back);
        ASN1_TYPE_free(parsed);
    }
    EXPECT_EQ(CASN1_INTEGER().getEncodedLength(0), 2u);  // "0200": empty contents
    Octets many(200, 0x41);
    EXPECT_EQ(CASN1_IA5String(many.data(), many.size()).getEncodedLength(0), 203u);
}

TEST(ValueEncoding, TaggingExplicitImplicitAndIndefinite) {
    CASN1_INTEGER one(1ul);
    EXPECT_EQ(encodedHex(*explicitTag(0x80, one)), "A003020101");
    EXPECT_EQ(encodedHex(*implicitTag(0x80, one)), "800101");
    CASN1_TAGGED indefinite(0x83, 1);
    indefinite.AddObject(new CASN1_NULL);
    EXPECT_EQ(encodedHex(indefinite), "A38005000000");
    EXPECT_EQ(indefinite.getEncodedLength(0), 6u);
    CASN1_OCTET_STRING empty;
    EXPECT_EQ(encodedHex(empty), "2400");
    // Implicitly tagged and read back, a value keeps its contents.
    CASN1_INTEGER back;
    EXPECT_EQ(back.fromImplicit(*implicitTag(0x80, one)), 1);
    EXPECT_EQ(encodedHex(back), "020101");
    CASN1_INTEGER fromExplicit;
    EXPECT_EQ(fromExplicit.fromExplicit(*explicitTag(0x80, one)), 1);
    EXPECT_EQ(encodedHex(fromExplicit), "020101");
    CASN1_NULL wrongClass;
    EXPECT_EQ(wrongClass.fromExplicit(*explicitTag(0x80, one)), 0);
}

TEST(ValueEncoding, ClearContentsDropSignAndUnusedBitsOctets) {
    const unsigned char ff[] = {0xFF};
    CASN1_INTEGER signedFF(ff, 1);
    EXPECT_EQ(encodedHex(signedFF), "020200FF");
    EXPECT_EQ(clearHex(signedFF), "FF");
    EXPECT_EQ(signedFF.getClearContentsLength(), 1u);
    CASN1_INTEGER zero(0ul);
    EXPECT_EQ(clearHex(zero), "00");
    const unsigned char nibble = 0x0A;
    CASN1_BIT_STRING bits(&nibble, 4, 0);
    EXPECT_EQ(clearHex(bits, 1), "A0");
    EXPECT_EQ(clearHex(bits, 0), "0A");
    auto sequence = sequenceOf({new CASN1_INTEGER(5ul), new CASN1_OCTET_STRING(CString("ab"))});
    EXPECT_EQ(clearHex(*sequence), "056162");
    unsigned char buffer[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(sequence->GetClearData(buffer, 2, 1, 1), 0);
    EXPECT_EQ(sequence->GetClearData(buffer, 3, 1, 1), 1);
    EXPECT_EQ(toHex(buffer, 4), "056162EE");
    EXPECT_EQ(sequence->GetClearData(buffer, 4, 0, 1), 1);
    EXPECT_EQ(toHex(buffer, 4), "00056162");
    CString text;
    CASN1_OCTET_STRING("hello").GetString(text);
    EXPECT_EQ(text, "hello");
}

TEST(ValueConversion, IntegersOidsAndBooleansReadBack) {
    unsigned long value = 77;
    const unsigned char tooBig[] = {1, 0, 0, 0, 0};
    EXPECT_EQ(CASN1_INTEGER(tooBig, 5).GetInteger(value), 0);
    EXPECT_EQ(value, 77u);
    EXPECT_EQ(CASN1_INTEGER(4294967295ul).GetInteger(value), 1);
    EXPECT_EQ(value, 4294967295ul);
    EXPECT_EQ(CString(rsadsi()), "1.2.840.113549");
    EXPECT_EQ(CString(CASN1_OBJECT_IDENTIFIER()), "0.0");
    CASN1_OBJECT_IDENTIFIER decoded;
    EXPECT_TRUE(decoded.moveFrom(decode(fromHex("06062A864886F70D")).release()));
    EXPECT_TRUE(decoded == rsadsi());
    EXPECT_EQ(CASN1_BOOLEAN(7).GetBoolean(), 1);
}

TEST(ValueOwnership, MoveFromAnotherIdentifierKeepsTheReceiver) {
    CASN1_INTEGER receiver(9ul);
    EXPECT_EQ(receiver.moveFrom(new CASN1_NULL), 0);  // the argument is deleted all the same
    EXPECT_EQ(encodedHex(receiver), "020109");
    EXPECT_EQ(receiver.moveFrom(new CASN1_INTEGER(4ul)), 1);
    EXPECT_EQ(encodedHex(receiver), "020104");
    std::unique_ptr<CASN1Type> moved(receiver.cloneAndDie());
    EXPECT_EQ(encodedHex(*moved), "020104");
    EXPECT_EQ(receiver.GetSize(), 0);
}

TEST(ValueOwnership, TaggedCopiesShareTheStoreAndOutliveEachOther) {
    auto original = std::make_unique<CASN1_OCTET_STRING>(CString("shared"));
    CDEREncoding* store = original->m_pEncoding;
    auto copy = std::make_unique<CASN1_OCTET_STRING>(*original);
    std::unique_ptr<CASN1Type> clone(original->clone());
    EXPECT_EQ(copy->m_pEncoding, store);
    EXPECT_EQ(store->m_nRefCount, 3);
    original.reset();
    copy.reset();
    EXPECT_EQ(encodedHex(*clone), "0406736861726564");
}

TEST(ValueComparison, OrderIsTheOrderOfTheEncodings) {
    CASN1_INTEGER one(1ul), two(2ul);
    EXPECT_EQ(___cmp(one, one), 0);
    EXPECT_LT(___cmp(one, two), 0);
    EXPECT_GT(___cmp(two, one), 0);
    CASN1_SET small, large;
    small.AddObject(new CASN1_INTEGER(1ul));
    large.AddObject(new CASN1_INTEGER(1ul));
    large.AddObject(new CASN1_INTEGER(1ul));
    EXPECT_LT(___cmp(small, large), 0);
    Octets longOctets(3000, 0x33);
    CASN1_OCTET_STRING a(longOctets.data(), longOctets.size());
    longOctets.back() = 0x34;
    CASN1_OCTET_STRING b(longOctets.data(), longOctets.size());
    EXPECT_LT(___cmp(a, b), 0);  // the difference lies past the first block
}

TEST(SetOrder, SortedSetInsertsInDEROrderAndIsValidChecksIt) {
    CASN1_SET sorted;
    sorted.OnOffSorted(1);
    CASN1_SET unsorted;
    for (unsigned long v : {3ul, 1ul, 2ul}) {
        sorted.AddObject(new CASN1_INTEGER(v));
        unsorted.AddObject(new CASN1_INTEGER(v));
    }
    EXPECT_EQ(encodedHex(sorted), "3109020101020102020103");
    EXPECT_EQ(encodedHex(unsorted), "3109020103020101020102");
    EXPECT_EQ(CASN1_SET::isValid(&sorted, 0), 1);
    EXPECT_EQ(CASN1_SET::isValid(&unsorted, 0), 1);
    unsorted.OnOffSorted(1);
    EXPECT_EQ(CASN1_SET::isValid(&unsorted, 0), 0);
    CASN1_SEQUENCE sequence;
    EXPECT_EQ(CASN1_SET::isValid(&sequence, 0), 0);
    EXPECT_EQ(CASN1_SET::isValid(&sequence, 1), 1);
}

TEST(Flags, ClearAfterGetReachesNestedComponentsAndMovesOnTagging) {
    auto inner = new CASN1_SEQUENCE;
    inner->AddObject(new CASN1_INTEGER(7ul));
    auto outer = sequenceOf({inner});
    outer->OnOffClearAfterGet(1);
    EXPECT_EQ(inner->GetComponents()[0]->m_bClearAfterGet, 1);
    CASN1_TAGGED tagged(0xA0, 0);
    inner->buildImplicitTAGGED(tagged);
    EXPECT_EQ(inner->GetComponents().GetSize(), 0);
    EXPECT_EQ(encodedHex(tagged), "A003020107");
}

TEST(Tagging, FromImplicitFollowsTheFormsTheClassAllows) {
    CASN1_SEQUENCE sequence;
    sequence.AddObject(new CASN1_NULL);
    CASN1_TAGGED primitive(0x81, 0);
    CASN1_INTEGER(5ul).buildImplicitTAGGED(primitive);
    EXPECT_EQ(sequence.fromImplicit(primitive), 0);
    EXPECT_EQ(sequence.GetComponents().GetSize(), 0);

    CASN1_TAGGED constructed(0xA1, 0);
    constructed.AddObject(new CASN1_INTEGER(1ul));
    constructed.AddObject(new CASN1_INTEGER(2ul));
    EXPECT_EQ(sequence.fromImplicit(constructed), 1);
    EXPECT_EQ(encodedHex(sequence), "3006020101020102");
    EXPECT_EQ(constructed.GetComponents().GetSize(), 2);
    constructed.OnOffClearAfterGet(1);
    CASN1_SEQUENCE taker;
    EXPECT_EQ(taker.fromImplicit(constructed), 1);
    EXPECT_EQ(encodedHex(taker), "3006020101020102");
    EXPECT_EQ(constructed.GetComponents().GetSize(), 0);
}

TEST(StringRules, CheckedStringsAndUTCTimeShapes) {
    const auto valid = [](int (*isValid)(const CASN1Type*, int), CASN1Type&& value) { return isValid(&value, 0); };
    const auto bytes = [](const char* s) { return reinterpret_cast<const unsigned char*>(s); };
    EXPECT_EQ(valid(CASN1_PrintableString::isValid, CASN1_PrintableString(bytes("a@b"), 3)), 1);
    EXPECT_EQ(valid(CASN1_PrintableString::isValid, CASN1_PrintableString(bytes("a\tb"), 3)), 0);
    EXPECT_EQ(valid(CASN1_IA5String::isValid, CASN1_IA5String(bytes("\x80"), 1)), 0);
    EXPECT_EQ(valid(CASN1_BMPString::isValid, CASN1_BMPString(bytes("abc"), 3)), 0);
    EXPECT_EQ(valid(CASN1_UniversalString::isValid, CASN1_UniversalString(bytes("abcd"), 4)), 1);
    EXPECT_EQ(CASN1_PrintableString::isValid(std::make_unique<CASN1_IA5String>().get(), 0), 0);
    for (const auto& [text, ok] : std::vector<std::pair<std::string, int>>{
             {"9912312359Z", 1}, {"991231235959Z", 1}, {"9912312359+0100", 1}, {"991231235959-0100", 1},
             {"99123123595", 0}, {"9912312359", 0}, {"99123123x9Z", 0}, {"991231235959-01x0", 0}, {"9912312359+", 1}}) {
        auto time = std::make_unique<CASN1_UTCTime>();
        time->SetSize(static_cast<int>(text.size()));
        std::memcpy(time->GetData(), text.data(), text.size());
        EXPECT_EQ(CASN1_UTCTime::isValid(time.get(), 0), ok) << text;
    }
}

TEST(EnumeratedRange, IsValidAppliesTheRangeOnlyWhenSet) {
    CASN1_ENUMERATED value(5ul);
    EXPECT_EQ(CASN1_ENUMERATED::isValid(&value, 0), 1);
    value.m_lMinValue = 0;
    value.m_lMaxValue = 4;
    EXPECT_EQ(CASN1_ENUMERATED::isValid(&value, 0), 0);
    value.m_lMaxValue = 5;
    EXPECT_EQ(CASN1_ENUMERATED::isValid(&value, 0), 1);
    const unsigned char big[] = {1, 0, 0, 0, 0};
    CASN1_TAGGED implicitBig(0x85, 0);
    CASN1_ENUMERATED(big, 5).buildImplicitTAGGED(implicitBig);
    EXPECT_EQ(CASN1_ENUMERATED::isValid(&implicitBig, 1), 0);
    CASN1_TAGGED implicitSmall(0x85, 0);
    CASN1_ENUMERATED(300ul).buildImplicitTAGGED(implicitSmall);
    EXPECT_EQ(CASN1_ENUMERATED::isValid(&implicitSmall, 1), 1);
}
