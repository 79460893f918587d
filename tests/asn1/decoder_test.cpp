// Decoding: classes and forms chosen from the identifier, round trips of every universal
// class in primitive, segmented and indefinite forms, the reason texts, and a real
// certificate that OpenSSL reads back.
#include <openssl/x509.h>

#include "asn1_test_util.h"
#include "vorlan/asn1/bitstring.h"
#include "vorlan/asn1/boolean.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/asn1/strings.h"

using namespace asn1test;

TEST(Decoder, ClassAndFormFollowTheIdentifier) {
    EXPECT_NE(dynamic_cast<CASN1_BOOLEAN*>(decode(fromHex("0101FF")).get()), nullptr);
    EXPECT_EQ(dynamic_cast<CASN1_SEQUENCE&>(*decode(fromHex("30030101FF"))).GetComponents().GetSize(), 1);
    SharedEncoding indefinite(fromHex("30800101FF0000 05"));
    std::unique_ptr<CASN1Type> open(___buildFromEncoding(*indefinite.der));
    EXPECT_EQ(indefinite.der->Seek(0, CFile::current), 7);  // just past the end-of-contents octets

    auto explicitTag = decode(fromHex("A103020105"));
    auto& tagged = dynamic_cast<CASN1_TAGGED&>(*explicitTag);
    EXPECT_EQ(tagged.identifier, 0x81);
    EXPECT_EQ(encodedHex(*tagged.GetComponents()[0]), "020105");
    auto window = decode(fromHex("8102ABCD"));
    EXPECT_EQ(dynamic_cast<CASN1_TAGGED&>(*window).m_dwPosition, 2u);
    EXPECT_EQ(clearHex(*window), "ABCD");

    EXPECT_EQ(dynamic_cast<CASN1_OCTET_STRING&>(*decode(fromHex("0480"))).getClearContentsLength(), 0u);
    EXPECT_EQ(encodedHex(*decode(fromHex("3081050201010500"))), "30050201010500");  // long form accepted
    EXPECT_EQ(encodedHex(*decode(fromHex("31080201030201010500"))), "31080201030201010500");  // set order kept
}

TEST(Decoder, RoundTripsEveryUniversalClassInEveryForm) {
    const char* rows[] = {
        "0101FF", "010100", "020100", "0203FF0001", "0200", "0A0102", "0500", "06032B0601", "060100",
        "030100", "030204A0", "2308030200AA030204B0", "2380030200AA030204B00000",
        "0403616263", "240704026162040163", "2480040261622403040163" "0000",
        "1303414243", "3306130141130142", "14026162", "1603614062", "170B393931323331323335395A",
        "1C0400000041", "1E020041", "3000", "30800000", "30060201010201FF", "31060201020201FF",
        "4003616263", "610302017F", "8000", "A28005000000", "C101AA", "0C024142", "3080A180050000000000",
    };
    for (const char* hex : rows) {
        ASSERT_EQ(decodingFailure(fromHex(hex)), "") << hex;
        EXPECT_EQ(encodedHex(*decode(fromHex(hex))), hex);
    }
    // A segmented string has the clear contents of its primitive form.
    EXPECT_EQ(clearHex(*decode(fromHex("240704026162040163"))), "616263");
    auto bits = decode(fromHex("2308030200AA030204B0"));
    EXPECT_EQ(dynamic_cast<CASN1_BIT_STRING&>(*bits).m_dwBits, 12u);
    EXPECT_EQ(clearHex(*bits, 0), "0AAB");
}

TEST(Decoder, FailuresCarryTheirReasonAndOffset) {
    const std::pair<const char*, const char*> rows[] = {
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
        {"30800500", "Unexpected end of file (at octet 0)"},
        // The offset is that of the innermost element that failed.
        {"3006020101010101", "invalid data in BOOLEAN: m_pData[0] = 1 (at octet 5)"},
        {"300605 00A0030201", "Unexpected end of file (at octet 4)"},
    };
    for (const auto& [hex, reason] : rows) EXPECT_EQ(decodingFailure(fromHex(hex)), reason) << hex;
}

TEST(Decoder, FailureIsTheSharedInstanceWithItsRunTimeClass) {
    SharedEncoding stream(fromHex("0500" "010105"));  // the second message is bad
    std::unique_ptr<CASN1Type> first(___buildFromEncoding(*stream.der));
    try {
        ___buildFromEncoding(*stream.der);
        FAIL() << "decoded";
    } catch (CException* e) {
        EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS(CDERDecodingException)));
        EXPECT_STREQ(e->GetRuntimeClass()->m_lpszClassName, "CDERDecodingException");
        char text[128];
        EXPECT_TRUE(e->GetErrorMessage(text, sizeof text));
        EXPECT_STREQ(text, "invalid data in BOOLEAN: m_pData[0] = 5 (at octet 2)");  // offset in the stream
        e->Delete();  // shared: still alive
        EXPECT_EQ(decodingFailure(fromHex("1F00")), "High tag number form is not supported (at octet 0)");
        EXPECT_TRUE(e->GetErrorMessage(text, sizeof text));
    }
}

TEST(Decoder, GetContentsFollowsTheTargetsOwnForm) {
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

TEST(Certificate, DecodesAndReencodesOctetForOctetAsOpenSSLReadsIt) {
    const Octets octets = certificate();
    ASSERT_GT(octets.size(), 1400u);
    auto tree = decode(octets);
    CByteArray again;
    tree->encodeTo(again);
    ASSERT_EQ(toHex(again), toHex(octets));
    const unsigned char* p = again.GetData();
    X509* x = d2i_X509(nullptr, &p, again.GetSize());
    ASSERT_NE(x, nullptr);
    X509_free(x);
}
