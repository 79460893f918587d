// Encodings of built values (X.690 examples, checked again by OpenSSL's parser), clear
// contents, conversions, comparison, sets, tagging and validity rules; the well-known
// identifier constants against their dotted values, with OpenSSL's encoder of dotted
// identifiers as the independent oracle.
#include <openssl/asn1.h>
#include <openssl/objects.h>

#include <cstring>
#include <typeinfo>

#include "asn1_test_util.h"
#include "vorlan/asn1/wellknownoids.h"

using namespace asn1test;

namespace {

const unsigned char kNibble = 0x0A;  // four bits 1010

// What OpenSSL's parser writes back from the DER.
std::string openSSLRewrite(const std::string& hex) {
    const Octets der = fromHex(hex);
    const unsigned char* p = der.data();
    ASN1_TYPE* parsed = d2i_ASN1_TYPE(nullptr, &p, static_cast<long>(der.size()));
    unsigned char* back = nullptr;
    const int n = parsed ? i2d_ASN1_TYPE(parsed, &back) : 0;
    const std::string result = n > 0 ? toHex(back, static_cast<size_t>(n)) : "";
    OPENSSL_free(back);
    ASN1_TYPE_free(parsed);
    return result;
}

}  // namespace

TEST(ValueEncoding, BuiltValuesEncodeAsDERThatOpenSSLWritesBackUnchanged) {
    const unsigned char magnitude[] = {0, 0, 0x80};
    const std::pair<std::shared_ptr<CASN1Type>, const char*> rows[] = {
        {std::make_shared<CASN1_INTEGER>(0ul), "020100"}, {std::make_shared<CASN1_INTEGER>(128ul), "02020080"},
        {std::make_shared<CASN1_INTEGER>(4294967295ul), "020500FFFFFFFF"},
        {std::make_shared<CASN1_INTEGER>(magnitude, 3), "02020080"},
        {std::make_shared<CASN1_ENUMERATED>(3ul), "0A0103"}, {std::make_shared<CASN1_BOOLEAN>(5), "0101FF"},
        {std::make_shared<CASN1_NULL>(), "0500"}, {std::make_shared<CASN1_OBJECT_IDENTIFIER>(), "060100"},
        {std::make_shared<CASN1_BIT_STRING>(nullptr, 0, 0), "030100"},
        {std::make_shared<CASN1_BIT_STRING>(&kNibble, 4, 0), "030204A0"},
        {std::make_shared<CASN1_OCTET_STRING>(CString("ab")), "04026162"},
        {std::make_shared<CASN1_IA5String>(reinterpret_cast<const unsigned char*>("a@b"), 3), "1603614062"},
        {std::make_shared<CASN1_SET>(), "3100"},
    };
    for (const auto& [value, hex] : rows) {
        EXPECT_EQ(encodedHex(*value), hex);
        EXPECT_EQ(value->getEncodedLength(0) * 2, std::string(hex).size()) << hex;
        EXPECT_EQ(openSSLRewrite(hex), hex);
    }
    EXPECT_EQ(CASN1_INTEGER().getEncodedLength(0), 2u);  // "0200": empty contents
    EXPECT_EQ(encodedHex(CASN1_OCTET_STRING()), "2400");
}

// Explicit, implicit and indefinite tagging; read back from either tagging a value keeps its
// contents, another class refuses it, and a constructed class refuses a primitive form.
// Clear-after-get reaches nested components and moves them on tagging and reading back.
TEST(Tagging, ExplicitImplicitIndefiniteAndReadingBack) {
    CASN1_INTEGER one(1ul), fromImplicit, fromExplicit;
    CASN1_TAGGED explicitTag(0x80, 0), implicitTag(0x80, 0), indefinite(0x83, 1);
    one.buildExplicitTAGGED(explicitTag);
    one.buildImplicitTAGGED(implicitTag);
    indefinite.AddObject(new CASN1_NULL);
    EXPECT_EQ(encodedHex(explicitTag) + "/" + encodedHex(implicitTag) + "/" + encodedHex(indefinite),
              "A003020101/800101/A38005000000");
    EXPECT_EQ(indefinite.getEncodedLength(0), 6u);
    EXPECT_TRUE(fromImplicit.fromImplicit(implicitTag) == 1 && fromExplicit.fromExplicit(explicitTag) == 1);
    EXPECT_EQ(encodedHex(fromImplicit) + "/" + encodedHex(fromExplicit), "020101/020101");
    EXPECT_EQ(CASN1_NULL().fromExplicit(explicitTag), 0);
    CASN1_SEQUENCE sequence;
    sequence.AddObject(new CASN1_NULL);
    EXPECT_EQ(sequence.fromImplicit(implicitTag), 0);
    EXPECT_EQ(sequence.GetComponents().GetSize(), 0);

    CASN1_TAGGED constructed(0xA1, 0);
    constructed.AddObject(new CASN1_INTEGER(1ul));
    constructed.AddObject(new CASN1_INTEGER(2ul));
    EXPECT_EQ(sequence.fromImplicit(constructed), 1);
    EXPECT_EQ(encodedHex(sequence), "3006020101020102");
    EXPECT_EQ(constructed.GetComponents().GetSize(), 2);
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

TEST(ValueEncoding, ClearContentsDropSignAndUnusedBitsOctets) {
    const unsigned char ff[] = {0xFF};
    CASN1_INTEGER signedFF(ff, 1), zero(0ul);
    EXPECT_EQ(encodedHex(signedFF), "020200FF");
    EXPECT_TRUE(clearHex(signedFF) == "FF" && signedFF.getClearContentsLength() == 1u && clearHex(zero) == "00");
    CASN1_BIT_STRING bits(&kNibble, 4, 0);
    EXPECT_EQ(clearHex(bits, 1) + "/" + clearHex(bits, 0), "A0/0A");
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

TEST(ValueConversion, IntegersAndIdentifiersReadBack) {
    unsigned long value = 77;
    const unsigned char tooBig[] = {1, 0, 0, 0, 0};
    EXPECT_EQ(CASN1_INTEGER(tooBig, 5).GetInteger(value), 0);
    EXPECT_EQ(value, 77u);
    EXPECT_EQ(CASN1_INTEGER(4294967295ul).GetInteger(value), 1);
    EXPECT_EQ(value, 4294967295ul);
    // Identifiers under 2 with a second arc from 40, and arcs wider than 64 bits (UUID arcs).
    CASN1_OBJECT_IDENTIFIER large(2, 40), uuid(2, 25), deep;
    large.AddIDComponent(3);
    deep.SetSize(0);
    for (BYTE octet : {0x88, 0x37, 0x01}) deep.Add(octet);  // 2.999.1
    for (BYTE octet : {0x83, 0xF0, 0x9D, 0xA7, 0xEB, 0xCF, 0xDE, 0xE0, 0xC7, 0xA1, 0xA7, 0xB2, 0xC0, 0x94, 0x8C, 0xC8,
                       0xF9, 0xD7, 0x76})
        uuid.Add(octet);
    EXPECT_EQ(CString(CASN1_OBJECT_IDENTIFIER()) + " " + CString(large) + " " + CString(deep) + " " + CString(uuid),
              "0.0 2.40.3 2.999.1 2.25.329800735698586629295641978511506172918");
}

// Order is the order of the encodings; moving from another class deletes the argument and keeps the receiver.
TEST(ValueComparison, OrderIsTheOrderOfTheEncodingsAndMovesKeepTheirClass) {
    CASN1_INTEGER one(1ul), two(2ul);
    EXPECT_TRUE(___cmp(one, one) == 0 && ___cmp(one, two) < 0 && ___cmp(two, one) > 0);
    Octets longOctets(3000, 0x33);
    CASN1_OCTET_STRING a(longOctets.data(), longOctets.size());
    longOctets.back() = 0x34;
    EXPECT_LT(___cmp(a, CASN1_OCTET_STRING(longOctets.data(), longOctets.size())), 0);  // past the first block
    EXPECT_EQ(two.moveFrom(new CASN1_NULL), 0);
    EXPECT_EQ(encodedHex(two), "020102");
    EXPECT_EQ(two.moveFrom(new CASN1_INTEGER(4ul)), 1);
    std::unique_ptr<CASN1Type> moved(two.cloneAndDie());
    EXPECT_EQ(encodedHex(*moved), "020104");
    EXPECT_EQ(two.GetSize(), 0);
}

TEST(ValidityRules, SortedSetsCheckedStringsUTCTimeShapesAndEnumeratedRanges) {
    CASN1_SET sorted, unsorted;
    sorted.OnOffSorted(1);
    for (unsigned long v : {3ul, 1ul, 2ul})
        sorted.AddObject(new CASN1_INTEGER(v)), unsorted.AddObject(new CASN1_INTEGER(v));
    EXPECT_EQ(encodedHex(sorted), "3109020101020102020103");  // a sorted set inserts in DER order
    EXPECT_TRUE(CASN1_SET::isValid(&sorted, 0) == 1 && CASN1_SET::isValid(&unsorted, 0) == 1);
    unsorted.OnOffSorted(1);
    CASN1_SEQUENCE sequence;
    EXPECT_EQ(CASN1_SET::isValid(&unsorted, 0) + CASN1_SET::isValid(&sequence, 0), 0);
    EXPECT_EQ(CASN1_SET::isValid(&sequence, 1), 1);
    // (Invalid contents of each string class: the decoder's reason table.)
    CASN1_PrintableString printable(reinterpret_cast<const unsigned char*>("a@b"), 3);
    CASN1_IA5String ia5;
    EXPECT_TRUE(CASN1_PrintableString::isValid(&printable, 0) == 1 && CASN1_PrintableString::isValid(&ia5, 0) == 0);
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

namespace {

using OidPtr = std::unique_ptr<CASN1_OBJECT_IDENTIFIER>;

struct WellKnownRow {
    const char* name;
    OidPtr (*make)();
    const char* dotted;
};

#define ROW(X, dotted) {#X, []() -> OidPtr { return std::make_unique<X>(); }, dotted}

const WellKnownRow kRows[] = {
    ROW(CASN1_md2, "1.2.840.113549.2.2"), ROW(CASN1_md5, "1.2.840.113549.2.5"), ROW(CASN1_sha1, "1.3.14.3.2.26"),
    ROW(CASN1_sha256, "2.16.840.1.101.3.4.2.1"), ROW(CASN1_rsa, "2.5.8.1.1"), ROW(CASN1_pkcs_1, "1.2.840.113549.1.1"),
    ROW(CASN1_rsaEncryption, "1.2.840.113549.1.1.1"), ROW(CASN1_md2WithRSAEncryption, "1.2.840.113549.1.1.2"),
    ROW(CASN1_md5WithRSAEncryption, "1.2.840.113549.1.1.4"), ROW(CASN1_sha1WithRSAEncryption, "1.2.840.113549.1.1.5"),
    ROW(CASN1_sha256WithRSAEncryption, "1.2.840.113549.1.1.11"), ROW(CASN1_pkcs_5, "1.2.840.113549.1.5"),
    ROW(CASN1_pbeWithMD2AndDES_CBC, "1.2.840.113549.1.5.1"), ROW(CASN1_pbeWithMD5AndDES_CBC, "1.2.840.113549.1.5.3"),
    ROW(CASN1_AttributeType, "2.5.4"), ROW(CASN1_CountryName, "2.5.4.6"), ROW(CASN1_StateOrProvinceName, "2.5.4.8"),
    ROW(CASN1_LocalityName, "2.5.4.7"), ROW(CASN1_CommonName, "2.5.4.3"), ROW(CASN1_Title, "2.5.4.12"),
    ROW(CASN1_OrganizationName, "2.5.4.10"), ROW(CASN1_OrganizationalUnitName, "2.5.4.11"),
    ROW(CASN1_StreetAddress, "2.5.4.9"), ROW(CASN1_PostalCode, "2.5.4.17"), ROW(CASN1_PhoneNumber, "2.5.4.20"),
    ROW(CASN1_E_mail_Address, "1.2.840.113549.1.9.1"), ROW(CASN1_Surname, "2.5.4.4"),
    ROW(CASN1_CollectiveLocalityName, "2.5.4.7.1"), ROW(CASN1_CollectiveStateOrProvinceName, "2.5.4.8.1"),
    ROW(CASN1_CollectiveStreetAddress, "2.5.4.9.1"), ROW(CASN1_CollectiveOrganizationName, "2.5.4.10.1"),
    ROW(CASN1_CollectiveOrganizationalUnitName, "2.5.4.11.1"), ROW(CASN1_PostalAddress, "2.5.4.16"),
    ROW(CASN1_CollectivePostalAddress, "2.5.4.16.1"), ROW(CASN1_CollectivePostalCode, "2.5.4.17.1"),
    ROW(CASN1_PostOfficeBox, "2.5.4.18"), ROW(CASN1_CollectivePostOfficeBox, "2.5.4.18.1"),
    ROW(CASN1_PhysicalDeliveryOfficeName, "2.5.4.19"), ROW(CASN1_CollectivePhysicalDeliveryOfficeName, "2.5.4.19.1"),
    ROW(CASN1_UnstructuredName, "1.2.840.113549.1.9.2"), ROW(CASN1_ChallengePassword, "1.2.840.113549.1.9.7"),
    ROW(CASN1_signingTime, "1.2.840.113549.1.9.5"), ROW(CASN1_signingDescription, "1.2.840.113549.1.9.13"),
    ROW(CASN1_pkcs_9, "1.2.840.113549.1.9"), ROW(CASN1_contentType, "1.2.840.113549.1.9.3"),
    ROW(CASN1_messageDigest, "1.2.840.113549.1.9.4"), ROW(CASN1_pkcs_7, "1.2.840.113549.1.7"),
    ROW(CASN1_data, "1.2.840.113549.1.7.1"), ROW(CASN1_signedData, "1.2.840.113549.1.7.2"),
    ROW(CASN1_envelopedData, "1.2.840.113549.1.7.3"), ROW(CASN1_signedAndEnvelopedData, "1.2.840.113549.1.7.4"),
    ROW(CASN1_digestedData, "1.2.840.113549.1.7.5"), ROW(CASN1_encryptedData, "1.2.840.113549.1.7.6"),
    ROW(CASN1_DES_CBC, "1.3.14.3.2.7"), ROW(CASN1_DES_EDE3_CBC, "1.2.840.113549.3.7"),
    ROW(CASN1_RC2_CBC, "1.2.840.113549.3.2"), ROW(CASN1_RC5_CBC, "1.2.840.113549.3.8"),
    ROW(CASN1_RC5_CBC_Pad, "1.2.840.113549.3.9"),
};

#undef ROW

// OpenSSL's DER of a dotted identifier, or "" when it refuses the text.
std::string openSSLEncodingHex(const char* dotted) {
    ASN1_OBJECT* object = OBJ_txt2obj(dotted, 1);
    unsigned char* der = nullptr;
    const int n = object ? i2d_ASN1_OBJECT(object, &der) : 0;
    std::string hex = n > 0 ? toHex(der, static_cast<size_t>(n)) : "";
    OPENSSL_free(der);
    ASN1_OBJECT_free(object);
    return hex;
}

class WellKnownOidTest : public ::testing::TestWithParam<WellKnownRow> {};

// The encoding as OpenSSL encodes the dotted text; copies are plain identifiers with the same
// value; equal to the decoded identifier and to no other constant.
TEST_P(WellKnownOidTest, EncodingDottedTextCloneAndEqualityMatchTheTableRow) {
    const WellKnownRow& row = GetParam();
    const auto oid = row.make();
    const std::string expected = openSSLEncodingHex(row.dotted);
    EXPECT_EQ(encodedHex(*oid), expected);
    EXPECT_STREQ(static_cast<const char*>(CString(*oid)), row.dotted);
    const std::unique_ptr<CASN1Type> copy(oid->clone());
    const CASN1Type& copied = *copy;
    EXPECT_EQ(typeid(copied), typeid(CASN1_OBJECT_IDENTIFIER));
    EXPECT_EQ(encodedHex(copied), expected);
    EXPECT_EQ(*oid == dynamic_cast<CASN1_OBJECT_IDENTIFIER&>(*decode(fromHex(expected))), 1);
    for (const WellKnownRow& other : kRows)
        EXPECT_EQ(*oid == *other.make(), std::string(other.name) == row.name) << other.name;
}

INSTANTIATE_TEST_SUITE_P(Table, WellKnownOidTest, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
