// The FIPS 186-3 ECDSA SigVer vectors of NIST's CAVS (Debian's python3-cryptography-vectors):
// every verdict of the P-256 and P-384 sections as the file gives it, the messages hashed by
// OpenSSL (the ECDSA layer takes digests; SHA-224 is not among the library's own). A key the
// file changed off the curve is refused when read, which is its verdict F.
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "peer.h"
#include "tests/common/der.h"
#include "tests/common/rows.h"
#include "vorlan/support/unlockexception.h"

namespace ectest {
namespace {

constexpr const char* kSigVer =
    "/usr/lib/python3/dist-packages/cryptography_vectors/asymmetric/ECDSA/FIPS_186-3/SigVer.rsp";

struct Vector {
    std::map<std::string, std::string> fields;  // Msg, Qx, Qy, R, S, Result
};

// The vectors of each section ("[P-256,SHA-1]" → "P-256,SHA-1").
const std::map<std::string, std::vector<Vector>>& Sections() {
    static const auto sections = [] {
        std::map<std::string, std::vector<Vector>> read;
        std::ifstream in(kSigVer);
        std::string line, section;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.starts_with('[')) {
                section = line.substr(1, line.find(']') - 1);
            } else if (const auto eq = line.find(" = "); eq != std::string::npos && !line.starts_with('#')) {
                const std::string name = line.substr(0, eq);
                if (name == "Msg") read[section].emplace_back();
                read[section].back().fields[name] = line.substr(eq + 3);
            }
        }
        return read;
    }();
    return sections;
}

struct Section {
    const char* name;
    friend void PrintTo(const Section& row, std::ostream* out) { *out << row.name; }
    Curve curve;
    const char* section;
    const char* digest;  // OpenSSL's name
};

class SigVer : public testing::TestWithParam<Section> {};

TEST_P(SigVer, EveryVerdictAsTheFileGivesIt) {
    const Section& row = GetParam();
    const auto found = Sections().find(row.section);
    ASSERT_NE(found, Sections().end()) << kSigVer << " has no section " << row.section;
    int right = 0, accepted = 0;
    for (const Vector& vector : found->second) {
        const auto& f = vector.fields;
        const bool expected = f.at("Result").starts_with("P");
        const Octets digest = PeerDigest(row.digest, FromHex(f.at("Msg")));
        bool verdict = false;
        try {
            const CECPublicKey key(row.curve.ours, Concat({FromHex("04"), FromHex(f.at("Qx")), FromHex(f.at("Qy"))}));
            verdict = key.Verify(digest, FromHex(f.at("R")), FromHex(f.at("S")));
        } catch (CUnlockException* e) {
            e->Delete();
        }
        EXPECT_EQ(verdict, expected) << "Msg " << f.at("Msg") << ": " << f.at("Result");
        right += verdict == expected;
        accepted += verdict;
    }
    EXPECT_EQ(found->second.size(), 15u);
    RecordProperty("right", right);
    std::cout << row.section << ": " << right << " of " << found->second.size() << " verdicts right, " << accepted
              << " accepted\n";
}

INSTANTIATE_TEST_SUITE_P(Fips186, SigVer,
                         testing::Values(Section{"P256_SHA1", kP256, "P-256,SHA-1", "SHA1"},
                                         Section{"P256_SHA224", kP256, "P-256,SHA-224", "SHA224"},
                                         Section{"P256_SHA256", kP256, "P-256,SHA-256", "SHA256"},
                                         Section{"P256_SHA384", kP256, "P-256,SHA-384", "SHA384"},
                                         Section{"P256_SHA512", kP256, "P-256,SHA-512", "SHA512"},
                                         Section{"P384_SHA1", kP384, "P-384,SHA-1", "SHA1"},
                                         Section{"P384_SHA224", kP384, "P-384,SHA-224", "SHA224"},
                                         Section{"P384_SHA256", kP384, "P-384,SHA-256", "SHA256"},
                                         Section{"P384_SHA384", kP384, "P-384,SHA-384", "SHA384"},
                                         Section{"P384_SHA512", kP384, "P-384,SHA-512", "SHA512"}),
                         RowName());

}  // namespace
}  // namespace ectest
