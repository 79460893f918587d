// The S/MIME messages of NIST PKITS (Debian's python3-cryptography-vectors, "Signed<Test>.eml") of
// sections 4.1 to 4.7, 4.13, 4.14 (tests 1 to 14) and 4.16 through `vorlan smime verify`: each
// signer's path validated to the PKITS trust anchor, the PKITS certificates as intermediates and its
// lists required, at a time within their validity. A message verifies exactly when its PKITS test is valid, and a
// refusal names the certificate of the path test's verdict. The test splits each message into the
// signed part and its detached signature (multipart/signed, RFC 5751), as a mail client does.

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "tests/common/rows.h"
#include "tests/common/shell.h"
#include "tests/common/temp_file.h"
#include "tests/x509/pkits_rows.h"
#include "vorlan/support/base64.h"
#include "vorlan/support/pem.h"

namespace {

using namespace pkits;
namespace fs = std::filesystem;

// The messages whose names are not "Signed<Test>.eml".
const std::map<std::string, std::string> kMessageNames = {
    {"ValidCertificatePathTest1", "SignedValidSignaturesTest1.eml"},
    {"InvalidNameChainingTest1", "SignedInvalidNameChainingEETest1.eml"},
    {"ValidNameUIDsTest6", "SignedValidNameChainingUIDsTest6.eml"},
    {"InvalidMissingCRLTest1", "SignedMissingCRLTest1.eml"},
    {"ValidDNnameConstraintsTest19", "SignedValidSelfIssuedDNnameConstraintsTest19.eml"},
    {"InvalidDNnameConstraintsTest20", "SignedInvalidSelfIssuedDNnameConstraintsTest20.eml"},
    {"InvalidonlyContainsUserCertsTest11", "SignedInvalidonlyContainsUserCertsCRLTest11.eml"},
    {"InvalidonlyContainsCACertsTest12", "SignedInvalidonlyContainsCACertsCRLTest12.eml"},
    {"ValidonlyContainsCACertsTest13", "SignedValidonlyContainsCACertsCRLTest13.eml"},
};

std::string ReadText(const fs::path& path) {
    const std::vector<unsigned char> octets = testcommon::ReadFile(path);
    return std::string(octets.begin(), octets.end());
}

void WriteText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The trust anchor, every certificate and every list the library reads as PEM bundles, once.
struct Inputs {
    fs::path dir = fs::temp_directory_path() / ("vorlan-pkits-smime-" + std::to_string(::getpid()));
    Inputs() {
        fs::create_directories(dir);
        const std::string anchor = ReadText(kPkits / "certs" / "TrustAnchorRootCertificate.crt");
        WriteText(dir / "anchor.der", anchor);
        std::string pool, lists;
        for (const auto& file : fs::directory_iterator(kPkits / "certs")) {
            const std::string der = ReadText(file.path());
            pool += EncodePem("CERTIFICATE", reinterpret_cast<const BYTE*>(der.data()), static_cast<int>(der.size())).str();
        }
        for (const auto& file : fs::directory_iterator(kPkits / "crls")) {
            const std::string der = ReadText(file.path());
            CRevocationLists probe;
            try {
                probe.AddDer(reinterpret_cast<const BYTE*>(der.data()), static_cast<int>(der.size()));
            } catch (CException* e) {  // the lists signed with DSA
                e->Delete();
                continue;
            }
            lists += EncodePem("X509 CRL", reinterpret_cast<const BYTE*>(der.data()), static_cast<int>(der.size())).str();
        }
        WriteText(dir / "pool.pem", pool);
        WriteText(dir / "lists.pem", lists);
    }
    ~Inputs() { fs::remove_all(dir); }
};

const Inputs& Prepared() {
    static const Inputs inputs;
    return inputs;
}

// The signed part and the DER signature of a multipart/signed message: the first body part as it
// stands between its delimiter lines (the line break before a delimiter belongs to it), and the
// base64 of the second.
void SplitMessage(const std::string& message, std::string& content, std::string& signature) {
    const size_t named = message.find("boundary=\"");
    ASSERT_NE(named, std::string::npos);
    const std::string boundary = "--" + message.substr(named + 10, message.find('"', named + 10) - named - 10);
    const size_t first = message.find("\n" + boundary, named);
    const size_t start = message.find('\n', first + 1) + 1;
    const size_t second = message.find("\n" + boundary, start);
    ASSERT_NE(second, std::string::npos);
    content = message.substr(start, second - start);
    const size_t headersEnd = message.find("\n\n", second + 1);
    const size_t end = message.find("\n" + boundary, headersEnd);
    std::string base64;
    for (const char c : message.substr(headersEnd + 2, end - headersEnd - 2))
        if (c != '\n' && c != '\r') base64 += c;
    CByteArray der;
    DecodeBase64(base64.data(), static_cast<int>(base64.size()), der);
    signature.assign(reinterpret_cast<const char*>(der.GetData()), static_cast<size_t>(der.GetSize()));
}

class PkitsSmime : public testing::TestWithParam<Row> {};

TEST_P(PkitsSmime, MessageVerifiesAsItsPathTest) {
    if (!fs::exists(kPkits / "smime")) GTEST_SKIP() << "no PKITS data (python3-cryptography-vectors)";
    const Row& row = GetParam();
    const auto renamed = kMessageNames.find(row.name);
    const std::string file = renamed == kMessageNames.end() ? "Signed" + std::string(row.name) + ".eml" : renamed->second;
    ASSERT_TRUE(fs::exists(kPkits / "smime" / file)) << file;
    std::string content, signature;
    SplitMessage(ReadText(kPkits / "smime" / file), content, signature);
    if (HasFatalFailure()) return;
    const fs::path dir = Prepared().dir;
    WriteText(dir / (std::string(row.name) + ".txt"), content);
    WriteText(dir / (std::string(row.name) + ".p7s"), signature);
    int status = 0;
    const std::string output = testcommon::ShellOutput(
        "cd '" + dir.string() + "' && '" VORLAN_BINARY_DIR "/bin/vorlan' smime verify " + row.name + ".p7s --content " +
            row.name + ".txt --CAfile anchor.der --untrusted pool.pem --crl lists.pem --crl-check-all --at 2020-01-01 2>&1",
        &status);
    if (row.status == kPathValid) {
        EXPECT_EQ(status, 0) << output;
        EXPECT_NE(output.find("Verification successful"), std::string::npos) << output;
        return;
    }
    EXPECT_NE(status, 0) << output;
    const std::string refused =
        row.status == kPathUnsupportedAlgorithm ? "unsupported" : "certificate " + std::to_string(row.depth) + " (";
    EXPECT_NE(output.find(refused), std::string::npos) << output;
}

INSTANTIATE_TEST_SUITE_P(Pkits, PkitsSmime, testing::ValuesIn(kRows), testcommon::RowName());

}  // namespace
