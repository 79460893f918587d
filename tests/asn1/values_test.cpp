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

TEST(ValueEncoding, BuiltValuesEncodeAsDERThatOpenSSLWritesBackAndClearContentsDropSignAndUnusedBits) {
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
        EXPECT_TRUE(encodedHex(*value) == hex && value->getEncodedLength(0) * 2 == std::string(hex).size()) << hex;
        EXPECT_EQ(openSSLRewrite(hex), hex);
    }
    // "0200": empty contents.
    EXPECT_TRUE(CASN1_INTEGER().getEncodedLength(0) == 2u && encodedHex(CASN1_OCTET_STRING()) == "2400");
    // Clear contents drop the sign and unused-bits octets.
    const unsigned char ff[] = {0xFF};
    CASN1_INTEGER signedFF(ff, 1), zero(0ul);  // encoded 020200FF
    EXPECT_TRUE(clearHex(signedFF) == "FF" && signedFF.getClearContentsLength() == 1u && clearHex(zero) == "00");
    CASN1_BIT_STRING bits(&kNibble, 4, 0);
    EXPECT_EQ(clearHex(bits, 1) + "/" + clearHex(bits, 0), "A0/0A");
    auto sequence = Built(fromHex("3007 020105 04026162"));
    EXPECT_EQ(clearHex(*sequence), "056162");
    unsigned char buffer[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_TRUE(!sequence->GetClearData(buffer, 2, 1, 1) && sequence->GetClearData(buffer, 3, 1, 1) &&
                toHex(buffer, 4) == "056162EE");
    EXPECT_TRUE(sequence->GetClearData(buffer, 4, 0, 1) && toHex(buffer, 4) == "00056162");
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
    EXPECT_TRUE(fromImplicit.fromImplicit(implicitTag) == 1 && fromExplicit.fromExplicit(explicitTag) == 1);
    EXPECT_EQ(encodedHex(fromImplicit) + "/" + encodedHex(fromExplicit), "020101/020101");
    CASN1_SEQUENCE sequence;
    sequence.AddObject(new CASN1_NULL);
    EXPECT_TRUE(!CASN1_NULL().fromExplicit(explicitTag) && !sequence.fromImplicit(implicitTag) &&
                sequence.GetComponents().GetSize() == 0);

    CASN1_TAGGED constructed(0xA1, 0);
    constructed.AddObject(new CASN1_INTEGER(1ul));
    constructed.AddObject(new CASN1_INTEGER(2ul));
    EXPECT_TRUE(sequence.fromImplicit(constructed) == 1 && encodedHex(sequence) == "3006020101020102" &&
                constructed.GetComponents().GetSize() == 2);
    auto* nested = new CASN1_SEQUENCE;
    constructed.AddObject(nested);
    nested->AddObject(new CASN1_INTEGER(7ul));
    constructed.OnOffClearAfterGet(1);  // reaches the nested components: tagging moves them
    CASN1_TAGGED retagged(0xA2, 0);
    nested->buildImplicitTAGGED(retagged);
    EXPECT_TRUE(nested->GetComponents().GetSize() == 0 && encodedHex(retagged) == "A203020107");
    CASN1_SEQUENCE taker;
    EXPECT_TRUE(taker.fromImplicit(constructed) == 1 && encodedHex(taker) == "30080201010201023000" &&
                constructed.GetComponents().GetSize() == 0);
}

TEST(ValueConversion, IntegersAndIdentifiersReadBackOrderIsTheEncodingsAndMovesKeepTheirClass) {
    unsigned long value = 77;
    const unsigned char tooBig[] = {1, 0, 0, 0, 0};
    EXPECT_TRUE(!CASN1_INTEGER(tooBig, 5).GetInteger(value) && value == 77u);
    EXPECT_TRUE(CASN1_INTEGER(4294967295ul).GetInteger(value) && value == 4294967295ul);
    // Two's complement: FF is -1 and 80 00 -32768, no count or version; 00 FF is 255.
    for (const char* negative : {"0201FF", "02028000", "0205FFFFFFFFFF"}) {
        const auto read = Built(fromHex(negative));
        EXPECT_TRUE(!dynamic_cast<const CASN1_INTEGER&>(*read).GetInteger(value) && value == 4294967295ul) << negative;
    }
    EXPECT_TRUE(dynamic_cast<const CASN1_INTEGER&>(*Built(fromHex("020200FF"))).GetInteger(value) && value == 255u);
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
    // Order is the order of the encodings; moving from another class deletes the argument and keeps the receiver.
    CASN1_INTEGER one(1ul), two(2ul);
    EXPECT_TRUE(___cmp(one, one) == 0 && ___cmp(one, two) < 0 && ___cmp(two, one) > 0);
    Octets longOctets(3000, 0x33);
    CASN1_OCTET_STRING a(longOctets.data(), longOctets.size());
    longOctets.back() = 0x34;
    EXPECT_LT(___cmp(a, CASN1_OCTET_STRING(longOctets.data(), longOctets.size())), 0);  // past the first block
    EXPECT_TRUE(!two.moveFrom(new CASN1_NULL) && encodedHex(two) == "020102" && two.moveFrom(new CASN1_INTEGER(4ul)));
    std::unique_ptr<CASN1Type> moved(two.cloneAndDie());
    EXPECT_TRUE(encodedHex(*moved) == "020104" && two.GetSize() == 0);
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
    EXPECT_TRUE(!CASN1_SET::isValid(&unsorted, 0) && !CASN1_SET::isValid(&sequence, 0) &&
                CASN1_SET::isValid(&sequence, 1));
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
    five.m_lMinValue = 0, five.m_lMaxValue = 4;
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

#define ROW(X, dotted) {#X, []() -> OidPtr { return std::make_unique<CASN1_##X>(); }, dotted}
#define RSADSI "1.2.840.113549."
#define X520 "2.5.4."

const WellKnownRow kRows[] = {
    ROW(md2, RSADSI "2.2"), ROW(md5, RSADSI "2.5"), ROW(sha1, "1.3.14.3.2.26"), ROW(sha256, "2.16.840.1.101.3.4.2.1"),
    ROW(rsa, "2.5.8.1.1"), ROW(pkcs_1, RSADSI "1.1"), ROW(rsaEncryption, RSADSI "1.1.1"),
    ROW(md2WithRSAEncryption, RSADSI "1.1.2"), ROW(md5WithRSAEncryption, RSADSI "1.1.4"),
    ROW(sha1WithRSAEncryption, RSADSI "1.1.5"), ROW(sha256WithRSAEncryption, RSADSI "1.1.11"),
    ROW(pkcs_5, RSADSI "1.5"), ROW(pbeWithMD2AndDES_CBC, RSADSI "1.5.1"), ROW(pbeWithMD5AndDES_CBC, RSADSI "1.5.3"),
    ROW(AttributeType, "2.5.4"), ROW(CountryName, X520 "6"), ROW(StateOrProvinceName, X520 "8"),
    ROW(LocalityName, X520 "7"), ROW(CommonName, X520 "3"), ROW(Title, X520 "12"), ROW(OrganizationName, X520 "10"),
    ROW(OrganizationalUnitName, X520 "11"), ROW(StreetAddress, X520 "9"), ROW(PostalCode, X520 "17"),
    ROW(PhoneNumber, X520 "20"), ROW(E_mail_Address, RSADSI "1.9.1"), ROW(Surname, X520 "4"),
    ROW(CollectiveLocalityName, X520 "7.1"), ROW(CollectiveStateOrProvinceName, X520 "8.1"),
    ROW(CollectiveStreetAddress, X520 "9.1"), ROW(CollectiveOrganizationName, X520 "10.1"),
    ROW(CollectiveOrganizationalUnitName, X520 "11.1"), ROW(PostalAddress, X520 "16"),
    ROW(CollectivePostalAddress, X520 "16.1"), ROW(CollectivePostalCode, X520 "17.1"), ROW(PostOfficeBox, X520 "18"),
    ROW(CollectivePostOfficeBox, X520 "18.1"), ROW(PhysicalDeliveryOfficeName, X520 "19"),
    ROW(CollectivePhysicalDeliveryOfficeName, X520 "19.1"), ROW(UnstructuredName, RSADSI "1.9.2"),
    ROW(ChallengePassword, RSADSI "1.9.7"), ROW(signingTime, RSADSI "1.9.5"), ROW(signingDescription, RSADSI "1.9.13"),
    ROW(pkcs_9, RSADSI "1.9"), ROW(contentType, RSADSI "1.9.3"), ROW(messageDigest, RSADSI "1.9.4"),
    ROW(pkcs_7, RSADSI "1.7"), ROW(data, RSADSI "1.7.1"), ROW(signedData, RSADSI "1.7.2"),
    ROW(envelopedData, RSADSI "1.7.3"), ROW(signedAndEnvelopedData, RSADSI "1.7.4"), ROW(digestedData, RSADSI "1.7.5"),
    ROW(encryptedData, RSADSI "1.7.6"), ROW(DES_CBC, "1.3.14.3.2.7"), ROW(DES_EDE3_CBC, RSADSI "3.7"),
    ROW(RC2_CBC, RSADSI "3.2"), ROW(RC5_CBC, RSADSI "3.8"), ROW(RC5_CBC_Pad, RSADSI "3.9"),
    ROW(aes128_CBC, "2.16.840.1.101.3.4.1.2"), ROW(aes192_CBC, "2.16.840.1.101.3.4.1.22"),
    ROW(aes256_CBC, "2.16.840.1.101.3.4.1.42"),
};

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

// Each constant encodes as OpenSSL encodes its dotted text and prints that text; a copy is a
// plain identifier of the same value; equal to its decoded encoding and not to the next constant.
TEST(WellKnownOids, EncodingDottedTextCloneAndEqualityMatchEachRow) {
    for (size_t i = 0; i < std::size(kRows); ++i) {
        const auto oid = kRows[i].make();
        const std::string expected = openSSLEncodingHex(kRows[i].dotted);
        const std::unique_ptr<CASN1Type> copy(oid->clone());
        const CASN1Type& copied = *copy;
        EXPECT_TRUE(encodedHex(*oid) == expected && encodedHex(copied) == expected &&
                    CString(*oid) == kRows[i].dotted && typeid(copied) == typeid(CASN1_OBJECT_IDENTIFIER))
            << kRows[i].name;
        EXPECT_TRUE(*oid == dynamic_cast<CASN1_OBJECT_IDENTIFIER&>(*Built(fromHex(expected))) &&
                    !(*oid == *kRows[(i + 1) % std::size(kRows)].make()))
            << kRows[i].name;
    }
}

}  // namespace
