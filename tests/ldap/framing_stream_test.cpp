// Framing of LDAP messages on a stream, message IDs and operation tags read from octets.
#include <gtest/gtest.h>

#include "tests/ldap/peer_util.h"
#include "vorlan/ldap/framing.h"

namespace {

using namespace ldappeer;

constexpr long kFails = -1;

TEST(LdapFraming, FrameLengthWaitsSplitsAndRefuses) {
    struct Row {
        const char* hex;
        unsigned long maxPdu;
        long expected;  // octets of the first message, 0 for more needed, kFails
    };
    const Row rows[] = {
        {"", 100, 0},
        {"30", 100, 0},
        {"3005020101", 100, 0},
        {"30050201014200", 100, 7},
        {"30050201014200300502", 100, 7},          // the next message has begun
        {"3081", 100, 0},
        {"3081050201014200", 100, 8},
        {"3084000000050201014200", 100, 11},       // long form with leading zeros is BER
        {"30050201014200", 7, 7},
        {"30050201014200", 6, kFails},             // above the caller's limit
        {"30840fffffff", 1 << 20, kFails},         // refused before the octets arrive
        {"31050201014200", 100, kFails},           // SET, not SEQUENCE
        {"0a", 100, kFails},
        {"30800201014200 0000", 100, kFails},      // indefinite length
        {"3085000000000502", 100, kFails},         // five length octets
    };
    for (const Row& row : rows) {
        const Octets octets = FromHex(row.hex);
        long got = kFails;
        DecodingFailure([&] { got = static_cast<long>(FrameLength(octets.data(), octets.size(), row.maxPdu)); });
        EXPECT_EQ(got, row.expected) << row.hex;
    }
}

TEST(LdapFraming, FrameLengthSplitsAStreamFedOctetByOctet) {
    const Octets stream = FromHex("30050201014200" "3081060201024a0161" "3006020103500103");
    std::vector<unsigned long> frames;
    unsigned long start = 0;
    for (unsigned long end = 0; end <= stream.size(); ++end) {
        const unsigned long n = FrameLength(stream.data() + start, end - start, 1024);
        if (n != 0) frames.push_back(n), start += n;
    }
    EXPECT_EQ(frames, (std::vector<unsigned long>{7, 9, 8}));
}

TEST(LdapFraming, MessageIdIsZeroTo2Pow31Minus1) {
    struct Row {
        const char* hex;
        long expected;
    };
    const Row rows[] = {
        {"30050201004200", 0},
        {"30050201014200", 1},
        {"300602020080 4200", 128},
        {"300802047fffffff4200", 2147483647},
        {"30050201ff4200", kFails},                // negative
        {"300402004200", kFails},                  // empty
        {"3009020500800000004200", kFails},        // 2^31 in five octets
        {"300602020001 4200", kFails},             // leading zero not needed
        {"30050401014200", kFails},                // not an INTEGER
        {"3005020101420000", kFails},              // octets after the message
        {"300502010142", kFails},                  // truncated
        {"3003020101", 1},
    };
    for (const Row& row : rows) {
        const Octets octets = FromHex(row.hex);
        long got = kFails;
        DecodingFailure([&] { got = static_cast<long>(GetMessageID(octets.data(), octets.size())); });
        EXPECT_EQ(got, row.expected) << row.hex;
    }
}

TEST(LdapFraming, OperationTagOfKnownAndUnknownOperations) {
    struct Row {
        const char* hex;
        int expected;
    };
    const Row rows[] = {
        {"30050201014200", 0x42},
        {"300a02010104036162634200", 0x42},        // connectionless user name first
        {"30070201016a020400", 0x4a},              // constructed delete
        {"30050201015600", 0x56},                  // APPLICATION 22: no alternative, still routed
        {"30050201017900", 0x59},
        {"3003020101", kFails},
        {"3005020101ff00", kFails},                // high tag number form
    };
    for (const Row& row : rows) {
        const Octets octets = FromHex(row.hex);
        int got = kFails;
        DecodingFailure([&] { got = GetOperationTag(octets.data(), octets.size()); });
        EXPECT_EQ(got, row.expected) << row.hex;
    }
}

}  // namespace
