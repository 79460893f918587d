// Hostile input: truncations, lengths past the data or the parent, huge claimed lengths,
// and deep nesting fail cleanly (mutated encodings: fuzz/der_roundtrip.cpp).
#include "asn1_test_util.h"
#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/octetstring.h"

using namespace asn1test;

TEST(HostileInput, DecodeRejectsEveryTruncationOfACertificate) {
    const Octets octets = certificate();
    for (size_t n = 0; n < octets.size(); ++n)
        EXPECT_NE(decodingFailure(Octets(octets.begin(), octets.begin() + static_cast<long>(n))), "") << n;
}

TEST(HostileInput, DecodeRejectsLengthPastEndOrPastParent) {
    const char* rows[] = {
        "0484FFFFFFFF",        // four gigabytes claimed, none there: nothing may be allocated for it
        "30847FFFFFFF0500",    // a huge constructed length
        "0284800000000102",    // a huge INTEGER
        "4184FFFFFFF0",        // a huge tagged window
        "04050102",            // short primitive
        "300302020101",        // the component runs past its parent into the next octet
        "3004A1030500" "00",   // nested past the parent
        "308004020101",        // indefinite parent, component past the end
        "3080050000",          // indefinite without its end octets
        "3081",                // length octets missing
        "30800080050000000000",  // an empty universal-0 element would come back as end-of-contents
        "0000",
    };
    for (const char* hex : rows) EXPECT_NE(decodingFailure(fromHex(hex)), "") << hex;
}

TEST(HostileInput, NestingDeeperThanTheBoundFailsWithoutExhaustingTheStack) {
    Octets deep;
    for (int i = 0; i < 100000; ++i) deep.insert(deep.end(), {0x30, 0x80});
    EXPECT_EQ(decodingFailure(deep), "Constructed encodings nest deeper than 128 levels (at octet 256)");

    // Definite (long-form) lengths at the bound and one past it.
    const auto nested = [](int levels) {
        Octets octets = {0x05, 0x00};
        for (int i = 0; i < levels; ++i) {
            const size_t n = octets.size();
            const Octets header = {0x30, 0x82, static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(n)};
            octets.insert(octets.begin(), header.begin(), header.end());
        }
        return octets;
    };
    EXPECT_EQ(decodingFailure(nested(kMaxDERNestingDepth)), "");
    EXPECT_NE(decodingFailure(nested(kMaxDERNestingDepth + 1)), "");
}

TEST(HostileInput, TaggedWindowPastItsEncodingFailsWhenEncoded) {
    unsigned char three[3] = {1, 2, 3};
    CASN1_OCTET_STRING overlong(three, 3, 0, 0);
    overlong.m_dwLength = 10;
    CByteArray out;
    EXPECT_TRUE(throwsFileException([&] { overlong.encodeTo(out); }));
    CASN1_INTEGER reader;  // read back implicitly, the window is refused before anything is sized
    overlong.m_bConstructed = 0;
    EXPECT_THROW(reader.fromImplicit(overlong), CDERDecodingException*);
}
