// NIST PKITS (Debian's python3-cryptography-vectors) through path validation, sections 4.1 to 4.7
// (signatures, validity periods, name chaining, basic revocation, self-issued certificates, basic
// constraints, key usage), 4.13 (name constraints), 4.16 (private certificate extensions) and 4.14.1
// to 4.14.14 (distribution points and the scopes of lists), with the default settings of PKITS and
// revocation lists required. One case per PKITS test.
//
// Every certificate of PKITS is in the pool of intermediates and every list in the set of lists:
// the path is found by the validator from the end certificate "<Test>EE.crt" and the anchor
// "TrustAnchorRootCertificate.crt", as a client finds it in a directory, so no test names its
// intermediates or lists.

#include <ctime>

#include "tests/x509/peer.h"
#include "tests/x509/pkits_rows.h"

namespace {

using namespace x509test;
using namespace pkits;

// The anchor, every certificate and every list of PKITS, read once for all cases.
struct Pkits {
    CCertificateStore anchors, pool;
    CRevocationLists lists;

    Pkits() {
        const Octets anchor = ReadFile(kPkits / "certs" / "TrustAnchorRootCertificate.crt");
        EXPECT_TRUE(anchors.AddDer(anchor.data(), static_cast<int>(anchor.size())));
        for (const auto& file : fs::directory_iterator(kPkits / "certs")) {
            const Octets der = ReadFile(file.path());
            pool.AddDer(der.data(), static_cast<int>(der.size()));
        }
        for (const auto& file : fs::directory_iterator(kPkits / "crls")) {
            const Octets der = ReadFile(file.path());
            try {
                lists.AddDer(der.data(), static_cast<int>(der.size()));
            } catch (CException* e) {  // the lists signed with DSA
                e->Delete();
            }
        }
    }
};

const Pkits& Data() {
    static const Pkits data;
    return data;
}

// The validation PKITS asks for, lists required.
CPathResult Validate(const Octets& der) {
    CPathValidator validator(Data().anchors, &Data().pool, &Data().lists);
    validator.m_options.time = CUTCTime(kValidationTime);
    validator.m_options.requireRevocationLists = true;
    try {
        const CPathCertificate end(der.data(), static_cast<int>(der.size()));
        return validator.Validate(end);
    } catch (CException* e) {
        return CPathValidator::Unreadable(der.data(), static_cast<int>(der.size()), vorlan::detail::ReleasedReason(e));
    }
}

class PkitsPath : public testing::TestWithParam<Row> {};

TEST_P(PkitsPath, VerdictIsPkits) {
    if (!fs::exists(kPkits)) GTEST_SKIP() << "no PKITS data (python3-cryptography-vectors)";
    const Row& row = GetParam();
    const CPathResult result = Validate(ReadFile(kPkits / "certs" / (std::string(row.name) + "EE.crt")));
    EXPECT_EQ(result.m_status, row.status) << result.m_strReason;
    EXPECT_EQ(result.m_nDepth, row.depth) << result.m_strReason;
    EXPECT_EQ(result.m_strReason.empty(), row.status == kPathValid) << result.m_strReason;
    if (row.status == kPathValid) {
        ASSERT_GE(result.m_path.size(), 2u);
        EXPECT_EQ(result.m_path.back()->Der(), Data().anchors.GetAt(0).Der());
    }
}

INSTANTIATE_TEST_SUITE_P(Pkits, PkitsPath, testing::ValuesIn(kRows), RowName());

}  // namespace
