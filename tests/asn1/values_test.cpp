// Encodings of built values (X.690 examples, checked again by OpenSSL's parser), clear
// contents, conversions, comparison, sets, tagging and validity rules.
#include <openssl/asn1.h>

#include <cstring>

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

const unsigned char kNibble = 0x0A;  // four bits 1010

}  // namespace

TEST(ValueEncoding, BuiltValuesEncodeAsDERThatOpenSSLWritesBackUnchanged) {
    const unsigned char magnitude[] = {0, 0, 0x80};
    const std::pair<std::shared_ptr<CASN1Type>, const char*> rows[] = {
        {std::make_shared<CASN1_INTEGER>(0ul), "020100"},
        {std::make_shared<CASN1_INTEGER>(128ul), "02020080"},
        {std::make_shared<CASN1_INTEGER>(4294967295ul), "020500FFFFFFFF"},
        {std::make_shared<CASN1_INTEGER>(magnitude, 3), "02020080"},
        {std::make_shared<CASN1_ENUMERATED>(3ul), "0A0103"},
        {std::make_shared<CASN1_BOOLEAN>(5), "0101FF"},
        {std::make_shared<CASN1_NULL>(), "0500"},
        {std::make_shared<CASN1_OBJECT_IDENTIFIER>(), "060100"},
        {std::make_shared<CASN1_BIT_STRING>(nullptr, 0, 0), "030100"},
        {std::make_shared<CASN1_BIT_STRING>(&kNibble, 4, 0), "030204A0"},
        {std::make_shared<CASN1_OCTET_STRING>(CString("ab")), "04026162"},
        {std::make_shared<CASN1_IA5String>(reinterpret_cast<const unsigned char*>("a@b"), 3), "1603614062"},
        {std::make_shared<CASN1_SET>(), "3100"},
    };
    for (const auto& [value, hex] : rows) {
        EXPECT_EQ(encodedHex(*value), hex);
        EXPECT_EQ(value->getEncodedLength(0) * 2, std::string(hex).size()) << hex;
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
}

TEST(ValueEncoding, TaggingExplicitImplicitAndIndefinite) {
    CASN1_INTEGER one(1ul);
    CASN1_TAGGED explicitTag(0x80, 0), implicitTag(0x80, 0);
    one.buildExplicitTAGGED(explicitTag);
    one.buildImplicitTAGGED(implicitTag);
    EXPECT_EQ(encodedHex(explicitTag), "A003020101");
    EXPECT_EQ(encodedHex(implicitTag), "800101");
    CASN1_TAGGED indefinite(0x83, 1);
    indefinite.AddObject(new CASN1_NULL);
    EXPECT_EQ(encodedHex(indefinite), "A38005000000");
    EXPECT_EQ(indefinite.getEncodedLength(0), 6u);
    EXPECT_EQ(encodedHex(CASN1_OCTET_STRING()), "2400");
    // Read back from either tagging, a value keeps its contents; another class refuses it.
    CASN1_INTEGER fromImplicit, fromExplicit;
    EXPECT_EQ(fromImplicit.fromImplicit(implicitTag), 1);
    EXPECT_EQ(encodedHex(fromImplicit), "020101");
    EXPECT_EQ(fromExplicit.fromExplicit(explicitTag), 1);
    EXPECT_EQ(encodedHex(fromExplicit), "020101");
    EXPECT_EQ(CASN1_NULL().fromExplicit(explicitTag), 0);
}

TEST(ValueEncoding, ClearContentsDropSignAndUnusedBitsOctets) {
    const unsigned char ff[] = {0xFF};
    CASN1_INTEGER signedFF(ff, 1);
    EXPECT_EQ(encodedHex(signedFF), "020200FF");
    EXPECT_EQ(clearHex(signedFF), "FF");
    EXPECT_EQ(signedFF.getClearContentsLength(), 1u);
    CASN1_INTEGER zero(0ul);
    EXPECT_EQ(clearHex(zero), "00");
    CASN1_BIT_STRING bits(&kNibble, 4, 0);
    EXPECT_EQ(clearHex(bits, 1), "A0");
    EXPECT_EQ(clearHex(bits, 0), "0A");
    auto sequence = decode(fromHex("3007 020105 04026162"));
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

TEST(ValueConversion, IntegersAndEmptyIdentifiersReadBack) {
    unsigned long value = 77;
    const unsigned char tooBig[] = {1, 0, 0, 0, 0};
    EXPECT_EQ(CASN1_INTEGER(tooBig, 5).GetInteger(value), 0);
    EXPECT_EQ(value, 77u);
    EXPECT_EQ(CASN1_INTEGER(4294967295ul).GetInteger(value), 1);
    EXPECT_EQ(value, 4294967295ul);
    EXPECT_EQ(CString(CASN1_OBJECT_IDENTIFIER()), "0.0");
    // Identifiers under 2 with a second arc from 40, and arcs wider than 64 bits (UUID arcs).
    CASN1_OBJECT_IDENTIFIER large(2, 40), uuid(2, 25);
    large.AddIDComponent(3);
    CASN1_OBJECT_IDENTIFIER deep;
    deep.SetSize(0);
    for (BYTE octet : {0x88, 0x37, 0x01}) deep.Add(octet);  // 2.999.1
    for (BYTE octet : {0x83, 0xF0, 0x9D, 0xA7, 0xEB, 0xCF, 0xDE, 0xE0, 0xC7, 0xA1, 0xA7, 0xB2, 0xC0, 0x94, 0x8C, 0xC8,
                       0xF9, 0xD7, 0x76})
        uuid.Add(octet);
    EXPECT_EQ(CString(large), "2.40.3");
    EXPECT_EQ(CString(deep), "2.999.1");
    EXPECT_EQ(CString(uuid), "2.25.329800735698586629295641978511506172918");
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

TEST(ValueComparison, OrderIsTheOrderOfTheEncodings) {
    CASN1_INTEGER one(1ul), two(2ul);
    EXPECT_EQ(___cmp(one, one), 0);
    EXPECT_LT(___cmp(one, two), 0);
    EXPECT_GT(___cmp(two, one), 0);
    Octets longOctets(3000, 0x33);
    CASN1_OCTET_STRING a(longOctets.data(), longOctets.size());
    longOctets.back() = 0x34;
    EXPECT_LT(___cmp(a, CASN1_OCTET_STRING(longOctets.data(), longOctets.size())), 0);  // past the first block
}

TEST(SetOrder, SortedSetInsertsInDEROrderAndIsValidChecksIt) {
    CASN1_SET sorted, unsorted;
    sorted.OnOffSorted(1);
    for (unsigned long v : {3ul, 1ul, 2ul}) {
        sorted.AddObject(new CASN1_INTEGER(v));
        unsorted.AddObject(new CASN1_INTEGER(v));
    }
    EXPECT_EQ(encodedHex(sorted), "3109020101020102020103");
    EXPECT_EQ(CASN1_SET::isValid(&sorted, 0), 1);
    EXPECT_EQ(CASN1_SET::isValid(&unsorted, 0), 1);
    unsorted.OnOffSorted(1);
    EXPECT_EQ(CASN1_SET::isValid(&unsorted, 0), 0);
    CASN1_SEQUENCE sequence;
    EXPECT_EQ(CASN1_SET::isValid(&sequence, 0), 0);
    EXPECT_EQ(CASN1_SET::isValid(&sequence, 1), 1);
}

TEST(Tagging, FromImplicitFollowsTheFormsTheClassAllowsAndClearAfterGet) {
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
    // Clear-after-get reaches nested components and moves them on tagging and reading back.
    auto* nested = new CASN1_SEQUENCE;
    constructed.AddObject(nested);
    nested->AddObject(new CASN1_INTEGER(7ul));
    constructed.OnOffClearAfterGet(1);
    EXPECT_EQ(nested->GetComponents()[0]->m_bClearAfterGet, 1);
    CASN1_TAGGED retagged(0xA2, 0);
    nested->buildImplicitTAGGED(retagged);
    EXPECT_EQ(nested->GetComponents().GetSize(), 0);
    EXPECT_EQ(encodedHex(retagged), "A203020107");
    CASN1_SEQUENCE taker;
    EXPECT_EQ(taker.fromImplicit(constructed), 1);
    EXPECT_EQ(encodedHex(taker), "30080201010201023000");
    EXPECT_EQ(constructed.GetComponents().GetSize(), 0);
}

TEST(ValidityRules, CheckedStringsUTCTimeShapesAndEnumeratedRanges) {
    const auto valid = [](int (*isValid)(const CASN1Type*, int), CASN1Type&& value) { return isValid(&value, 0); };
    const auto bytes = [](const char* s) { return reinterpret_cast<const unsigned char*>(s); };
    // (Invalid contents of each string class: the decoder's reason table.)
    EXPECT_EQ(valid(CASN1_PrintableString::isValid, CASN1_PrintableString(bytes("a@b"), 3)), 1);
    EXPECT_EQ(valid(CASN1_PrintableString::isValid, CASN1_IA5String()), 0);
    for (const auto& [text, ok] : std::vector<std::pair<std::string, int>>{
             {"9912312359Z", 1}, {"991231235959Z", 1}, {"9912312359+0100", 1}, {"991231235959-0100", 1},
             {"99123123595", 0}, {"9912312359", 0}, {"99123123x9Z", 0}, {"991231235959-01x0", 0}, {"9912312359+", 1}}) {
        CASN1_UTCTime time;
        time.SetSize(static_cast<int>(text.size()));
        std::memcpy(time.GetData(), text.data(), text.size());
        EXPECT_EQ(CASN1_UTCTime::isValid(&time, 0), ok) << text;
    }
    // The range applies only once it is set, also to an implicitly tagged value.
    CASN1_ENUMERATED five(5ul);
    EXPECT_EQ(CASN1_ENUMERATED::isValid(&five, 0), 1);
    five.m_lMinValue = 0;
    five.m_lMaxValue = 4;
    EXPECT_EQ(CASN1_ENUMERATED::isValid(&five, 0), 0);
    five.m_lMaxValue = 5;
    EXPECT_EQ(CASN1_ENUMERATED::isValid(&five, 0), 1);
    const unsigned char big[] = {1, 0, 0, 0, 0};
    CASN1_TAGGED implicitBig(0x85, 0);
    CASN1_ENUMERATED(big, 5).buildImplicitTAGGED(implicitBig);
    EXPECT_EQ(CASN1_ENUMERATED::isValid(&implicitBig, 1), 0);  // too big to compare with the range
}
