// `vorlan cert verify` and `vorlan smime verify` validating whole paths (--CAfile, --untrusted, --crl,
// --crl-check-all, --at) over certificates that openssl issued: what the program prints for a path
// that holds and which certificate it names, and why, for one that does not.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/common/temp_file.h"

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    const std::vector<unsigned char> octets = testcommon::ReadFile(path);
    return std::string(octets.begin(), octets.end());
}

class PathVerify : public testing::Test {
protected:
    static void SetUpTestSuite() {
        fs::create_directories(Dir());
        // A root, an intermediate (pathlen 0) and a user with a key for S/MIME, and a user of the
        // intermediate that may not sign messages and one for servers only; the user's serial is 0A.
        // And one of the root whose basicConstraints are a BOOLEAN.
        const std::string ca = "-extensions v3_ca -days 3650 ";
        ASSERT_EQ(Run("openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -subj /CN=root " + ca +
                      "-out root.pem 2>/dev/null && "
                      "openssl req -new -newkey rsa:2048 -nodes -keyout inter.key -subj /CN=inter -out inter.req "
                      "2>/dev/null && printf 'basicConstraints=critical,CA:true,pathlen:0\\n"
                      "keyUsage=critical,keyCertSign,cRLSign\\n' >ca.ext && "
                      "openssl x509 -req -in inter.req -CA root.pem -CAkey root.key -set_serial 2 -days 3650 "
                      "-extfile ca.ext -out inter.pem 2>/dev/null && "
                      "openssl req -new -newkey rsa:2048 -nodes -keyout user.key -subj /CN=user -out user.req "
                      "2>/dev/null && printf 'keyUsage=critical,digitalSignature\\n' >user.ext && "
                      "openssl x509 -req -in user.req -CA inter.pem -CAkey inter.key -set_serial 10 -days 365 "
                      "-extfile user.ext -out user.pem 2>/dev/null && "
                      "printf 'keyUsage=critical,keyEncipherment\\n' >sealer.ext && "
                      "openssl x509 -req -in user.req -CA inter.pem -CAkey inter.key -set_serial 11 -days 365 "
                      "-extfile sealer.ext -out sealer.pem 2>/dev/null && "
                      "printf 'keyUsage=critical,digitalSignature\\nextendedKeyUsage=serverAuth\\n' >server.ext && "
                      "openssl x509 -req -in user.req -CA inter.pem -CAkey inter.key -set_serial 12 -days 365 "
                      "-extfile server.ext -out server.pem 2>/dev/null && "
                      "printf '2.5.29.19=critical,DER:01:01:FF\\n' >bad.ext && "
                      "openssl x509 -req -in user.req -CA root.pem -CAkey root.key -set_serial 13 -days 365 "
                      "-extfile bad.ext -out bad.pem 2>/dev/null && "
                      "cat root.pem inter.pem >both.pem && echo hello >letter.txt")
                      .status,
                  0);
    }
    static void TearDownTestSuite() { fs::remove_all(Dir()); }

    static fs::path Dir() { return fs::temp_directory_path() / ("vorlan_pathverify_" + std::to_string(::getpid())); }

    struct Result {
        int status;
        std::string output;  // standard output and error
    };
    static Result Run(const std::string& line) {
        const std::string command = "cd '" + Dir().string() + "' && vorlan() { '" VORLAN_BINARY_DIR
                                    "/bin/vorlan' \"$@\"; }; { " + line + "; } >out.txt 2>&1";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(Dir() / "out.txt")};
    }

    struct Expected {
        std::string line;
        int status;
        std::vector<std::string> texts;
    };
    static void ExpectAll(const std::vector<Expected>& rows) {
        for (const Expected& row : rows) {
            const Result r = Run(row.line);
            EXPECT_EQ(r.status, row.status) << row.line << "\n" << r.output;
            for (const std::string& text : row.texts)
                EXPECT_NE(r.output.find(text), std::string::npos) << row.line << "\n" << r.output;
        }
    }
};

TEST_F(PathVerify, CertVerifyNamesTheFailingCertificateAndWhy) {
    ASSERT_EQ(Run("vorlan crl sign --issuer-cert inter.pem --key inter.key -o inter.crl 0A && "
                  "vorlan crl sign --issuer-cert inter.pem --key inter.key -o empty.crl && "
                  "vorlan crl sign --issuer-cert root.pem --key root.key -o root.crl")
                  .status,
              0);
    ExpectAll({
        {"vorlan cert verify user.pem --CAfile root.pem --untrusted inter.pem", 0,
         {"user.pem: OK\n   0 CN=user\n   1 CN=inter\n   anchor CN=root\n"}},
        {"vorlan cert verify user.pem --CAfile root.pem --untrusted inter.pem --crl empty.crl --crl root.crl "
         "--crl-check-all",
         0,
         {"user.pem: OK"}},
        {"vorlan cert verify user.pem --CAfile root.pem --untrusted inter.pem --crl inter.crl", 1,
         {"user.pem: certificate 0 (CN=user) was revoked on "}},
        {"vorlan cert verify user.pem --CAfile root.pem --untrusted inter.pem --crl empty.crl --crl-check-all", 1,
         {"user.pem: certificate 1 (CN=inter) has no revocation list of its issuer"}},
        {"vorlan cert verify user.pem --CAfile root.pem --untrusted inter.pem --at 2001-01-01", 1,
         {"certificate 1 (CN=inter) is not valid before "}},
        {"vorlan cert verify user.pem --CAfile root.pem", 1,
         {"user.pem: certificate 0 (CN=user) has no issuer: no trust anchor or intermediate is CN=inter"}},
        {"vorlan cert verify user.pem --CAfile both.pem", 0, {"anchor CN=inter"}},
        {"vorlan cert verify bad.pem --CAfile root.pem", 1, {"certificate 0 (CN=user) has extensions that do not read ("}},
        {"vorlan cert verify user.pem --CAfile inter.pem --untrusted root.pem", 0, {"user.pem: OK"}},
        // Not self-signed and no --issuer: the path to the system's anchors, which do not know this root.
        {"vorlan cert verify user.pem --untrusted inter.pem", 1, {"certificate 1 (CN=inter) has no issuer"}},
        {"vorlan cert verify inter.pem --issuer root.pem --CAfile root.pem", 1, {"--issuer checks one level"}},
        {"vorlan cert verify user.pem --CAfile root.pem --at 2024-13-01", 1, {"--at: \"2024-13-01\" is not a time"}},
    });
}

TEST_F(PathVerify, SmimeVerifyValidatesTheSignersPath) {
    ASSERT_EQ(Run("vorlan smime sign --signer user.pem --key user.key -o signed.p7m letter.txt && "
                  "vorlan smime sign --signer sealer.pem --key user.key -o sealed.p7m letter.txt && "
                  "vorlan smime sign --signer server.pem --key user.key -o served.p7m letter.txt")
                  .status,
              0);
    ExpectAll({
        {"vorlan smime verify signed.p7m --CAfile root.pem --untrusted inter.pem -o opened.txt && cmp opened.txt letter.txt",
         0,
         {"Verification successful"}},
        {"vorlan smime verify signed.p7m --CAfile root.pem", 1,
         {"the signer's certificate: certificate 0 (CN=user) has no issuer"}},
        {"vorlan smime verify sealed.p7m --CAfile root.pem --untrusted inter.pem", 1,
         {"certificate 0 (CN=user) may not sign messages"}},
        {"vorlan smime verify served.p7m --CAfile root.pem --untrusted inter.pem", 1,
         {"certificate 0 (CN=user) is not for e-mail protection"}},
        {"vorlan smime verify signed.p7m --CAfile root.pem --untrusted inter.pem --at 2000-01-01", 1,
         {"is not valid before"}},
    });
}

}  // namespace
