// End-to-end runs of the built vorlan program beside the tools every shell user knows:
// md5sum/sha1sum for digests, openssl for ciphers and certificates, slapd and ldapsearch for LDAP.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/ldap/slapd_peer.h"
#include "vorlan/vorlan.h"

namespace {

namespace fs = std::filesystem;

struct Result {
    int status;
    std::string out;
    std::string err;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }

class Cli : public testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("vorlan_cli_" + std::to_string(::getpid()) + "_" +
                                           testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs a shell command line in the test's directory; "vorlan" is the built program.
    Result Shell(const std::string& line) const {
        const std::string command = "cd '" + dir.string() + "' && vorlan() { '" VORLAN_BINARY_DIR "/bin/vorlan' \"$@\"; }; " +
                                    line + " >out.txt 2>err.txt";
        const int raw = std::system(command.c_str());
        Result result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir / "out.txt"), ReadFile(dir / "err.txt")};
        fs::remove(dir / "out.txt");
        fs::remove(dir / "err.txt");
        return result;
    }

    std::string Data(const std::string& name, size_t size) const {
        std::string data(size, '\0');
        for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 131 + size) % 251);
        WriteFile(dir / name, data);
        return data;
    }

    // Certificates of `openssl req -x509` and `openssl x509 -req` (SHA-1): a CA, a leaf it issued,
    // a CA of the same name with another key and an expired one, each in PEM and DER.
    void MakeOpensslCertificates() const {
        const std::string sha1 = " -sha1 -days 2 -out ", req = "openssl req -new -newkey rsa:1024 -nodes 2>/dev/null -subj ";
        for (const std::string& line :
             {"openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -subj '/C=DE/O=Vorlan Test/CN=CA'" + sha1 +
                  "ca.pem",
              req + "/CN=leaf -keyout leaf.key | openssl x509 -req -CA ca.pem -CAkey ca.key" + sha1 + "leaf.pem",
              "openssl req -x509 -newkey rsa:1024 -nodes -keyout other.key -subj '/C=DE/O=Vorlan Test/CN=CA'" + sha1 +
                  "other.pem",
              req + "/CN=old -keyout old.key | openssl x509 -req -key old.key -sha1 -days -1 -out old.pem"}) {
            ASSERT_EQ(Shell(line).status, 0) << line;
        }
        for (const char* name : {"ca", "leaf", "other", "old"})
            ASSERT_EQ(Shell(std::string("openssl x509 -in ") + name + ".pem -outform DER -out " + name + ".der").status,
                      0);
    }

    fs::path dir;
};

TEST_F(Cli, DemoRunsEveryStepAndReportsAllChecksPassed) {
    const Result r = Shell("vorlan demo");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("all 9 checks passed"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("FAILED"), std::string::npos);
}

TEST_F(Cli, DigestLinesEqualCoreutilsForFilesAndStandardInput) {
    for (size_t size : {0, 1, 64, 1000, 300000}) Data(std::string("f").append(std::to_string(size)), size);
    const std::string files = "f0 f1 f64 f1000 f300000";
    for (const char* algorithm : {"md5", "sha1", "sha256"}) {
        const Result ours = Shell(std::string("vorlan digest ") + algorithm + " " + files);
        const Result theirs = Shell(std::string(algorithm) + "sum " + files);
        EXPECT_EQ(ours.status, 0) << ours.err;
        EXPECT_EQ(ours.out, theirs.out) << algorithm;
        EXPECT_EQ(Shell(std::string("vorlan digest ") + algorithm + " - <f1000").out,
                  Shell(std::string(algorithm) + "sum - <f1000").out);
    }
    // RFC 1319's "abc".
    WriteFile(dir / "abc", "abc");
    EXPECT_EQ(Shell("vorlan digest md2 abc").out, "da853b0d3f88d99b30283a69e6ded6bb  abc\n");
}

TEST_F(Cli, EncryptEqualsOpensslEncAndDecryptInvertsIt) {
    struct Row {
        const char* cipher;
        const char* openssl;
        const char* key;
    };
    const Row rows[] = {
        {"des", "des-cbc", "133457799bbcdff1"},
        {"des3", "des-ede3-cbc", "0123456789abcdeffedcba987654321089abcdef01234567"},
    };
    const char* iv = "0001020304050607";
    for (const Row& row : rows) {
        for (size_t size : {0, 7, 8, 9, 70000}) {
            const std::string plain = Data("plain", size);
            const std::string key = std::string(" --key ") + row.key + " --iv " + iv;
            ASSERT_EQ(Shell(std::string("vorlan encrypt --cipher ") + row.cipher + key + " plain ours").status, 0);
            ASSERT_EQ(Shell(std::string("openssl enc -provider legacy -provider default -nosalt -") + row.openssl +
                            " -K " + row.key + " -iv " + iv + " -in plain -out theirs")
                          .status,
                      0);
            EXPECT_EQ(ReadFile(dir / "ours"), ReadFile(dir / "theirs")) << row.cipher << " " << size;
            ASSERT_EQ(Shell(std::string("vorlan decrypt --cipher ") + row.cipher + key + " theirs back").status, 0);
            EXPECT_EQ(ReadFile(dir / "back"), plain) << row.cipher << " " << size;
        }
    }
}

TEST_F(Cli, DumpReadsOpensslCertificatesInDerAndPem) {
    ASSERT_EQ(Shell("openssl req -x509 -newkey rsa:1024 -nodes -keyout /dev/null -subj /CN=vorlan/O=test "
                    "-days 2 -out cert.pem && openssl x509 -in cert.pem -outform DER -out cert.der")
                  .status,
              0);
    const Result der = Shell("vorlan dump cert.der");
    const Result pem = Shell("vorlan dump cert.pem");
    const Result piped = Shell("vorlan dump - <cert.der");
    EXPECT_EQ(der.status, 0) << der.err;
    EXPECT_EQ(der.out, pem.out);
    EXPECT_EQ(der.out, piped.out);
    EXPECT_NE(der.out.find("OID = 2.5.4.3"), std::string::npos) << der.out;  // commonName
    EXPECT_NE(der.out.find("vorlan"), std::string::npos);
}

TEST_F(Cli, KeygenSavesAPrivateArchiveThatOnlyItsOwnerReads) {
    const Result made = Shell("vorlan keygen --bits 512 -o key.bin");
    ASSERT_EQ(made.status, 0) << made.err;
    struct stat info {};
    ASSERT_EQ(::stat((dir / "key.bin").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const Result shown = Shell("vorlan rsa key.bin");
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find("RSA private key, 512 bits"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("publicExponent: 010001"), std::string::npos);
    EXPECT_EQ(shown.out.find("privateExponent"), std::string::npos);  // secrets only when asked
    EXPECT_NE(Shell("vorlan rsa --show-private key.bin").out.find("privateExponent"), std::string::npos);
    EXPECT_NE(Shell("vorlan keygen --bits 1024 --e3 -o k3 && vorlan rsa k3").out.find("publicExponent: 03"),
              std::string::npos);
}

TEST_F(Cli, CertShowAndVerifyReadOpensslCertificates) {
    MakeOpensslCertificates();
    const Result shown = Shell("vorlan cert show ca.pem");
    EXPECT_EQ(shown.status, 0) << shown.err;
    for (const char* text :
         {"Syntax Version: 2", "SHA1 With RSA Encryption", "Organization name: Vorlan Test", "Common name: CA",
          "      2048 bits", "\nExtensions:\n", "   2.5.29.19, critical, cA: TRUE", "   2.5.29.14\n"})
        EXPECT_NE(shown.out.find(text), std::string::npos) << text << "\n" << shown.out;
    EXPECT_EQ(shown.out.find('\r'), std::string::npos);
    EXPECT_EQ(Shell("vorlan cert show ca.der").out, shown.out);
    EXPECT_EQ(Shell("vorlan cert show - <ca.der").out, shown.out);
    EXPECT_NE(Shell("vorlan cert show leaf.der").out.find("Extensions: none"), std::string::npos);
    for (const char* line : {"vorlan cert verify leaf.pem --issuer ca.der", "vorlan cert verify ca.pem"}) {
        const Result r = Shell(line);
        EXPECT_EQ(r.status, 0) << line << r.err;
        EXPECT_NE(r.out.find(": OK"), std::string::npos) << line;
    }
}

TEST_F(Cli, CertSignMakesSelfSignedCertificatesThatOpensslVerifies) {
    ASSERT_EQ(Shell("vorlan keygen --bits 1024 -o key.bin").status, 0);
    const struct {
        const char* options;
        const char* inform;
        std::vector<std::string> shown;  // as openssl x509 -text prints the subject
    } rows[] = {
        {"--subject '/C=DE/O=Vorlan Test/CN=Erika' --days 30 -o c.pem",
         "PEM",
         {"Subject: C = DE, O = Vorlan Test, CN = Erika"}},
        {"--subject '/CN=J\xC3\xBCrgen+emailAddress=J@Example.org/O=A\\/B' --outform der -o c.der",
         "DER",
         {"CN = J", "emailAddress = j@example.org", ", O = A/B\n"}},
    };
    for (const auto& row : rows) {
        const std::string file = std::string("c.") + (row.inform[0] == 'P' ? "pem" : "der");
        const Result made = Shell(std::string("vorlan cert sign --self --key key.bin ") + row.options);
        ASSERT_EQ(made.status, 0) << made.err;
        const Result printed = Shell(std::string("openssl x509 -noout -text -inform ") + row.inform + " -in " + file);
        std::vector<std::string> shown = row.shown;
        shown.insert(shown.end(), {"sha1WithRSAEncryption", "Public-Key: (1024 bit)"});
        for (const std::string& text : shown)
            EXPECT_NE(printed.out.find(text), std::string::npos) << text << "\n" << printed.out;
        ASSERT_EQ(Shell(std::string("openssl x509 -inform ") + row.inform + " -in " + file + " -out peer.pem").status,
                  0);
        const Result verdict = Shell("openssl verify -auth_level 0 -CAfile peer.pem peer.pem");
        EXPECT_EQ(verdict.status, 0) << verdict.out << verdict.err;
        EXPECT_EQ(Shell("vorlan cert verify " + file).out, file + ": OK\n");
    }
}

TEST_F(Cli, LdapDecodePrintsEveryMemberByName) {
    SLDAPSearch search;
    search.baseObject = "dc=example,dc=com";
    search.attributes = {"cn", "mail"};
    CByteArray pdu;
    BuildLDAPMessage(7, BuildSearchRequest(search, ParseLDAPFilter("(&(objectClass=person)(cn=E*))")))->encodeTo(pdu);
    const std::string der(reinterpret_cast<const char*>(pdu.GetData()), static_cast<size_t>(pdu.GetSize()));
    WriteFile(dir / "search.der", der);
    WriteFile(dir / "search.pem", EncodePem("LDAP MESSAGE", pdu.GetData(), pdu.GetSize()).str());
    const Result r = Shell("vorlan ldap decode search.der");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "messageID: 7\nprotocolOp: searchRequest\n  baseObject: dc=example,dc=com\n  scope: 2\n"
              "  derefAliases: 0\n  sizeLimit: 0\n  timeLimit: 0\n  typesOnly: FALSE\n"
              "  filter: (&(objectClass=person)(cn=E*))\n  attributes:\n    -: cn\n    -: mail\n");
    EXPECT_EQ(Shell("vorlan ldap decode search.pem").out, r.out);
    EXPECT_EQ(Shell("vorlan ldap decode - <search.der").out, r.out);
}

TEST_F(Cli, LdapUpdatesAndSearchesASlapdAsLdapsearchShowsIt) {
    const ldappeer::SlapdServer slapd;
    const std::string url = " ldap://127.0.0.1:" + std::to_string(slapd.Port()) + " ";
    const std::string admin = url + "-D " + ldappeer::kRootDN + " -w " + ldappeer::kRootPassword + " ";
    const std::string ldapsearch = std::string("ldapsearch -LLL -x -H") + url + "-b " + ldappeer::kSuffix + " ";
    const std::string erika = "cn=Erika,dc=example,dc=com";
    for (const std::string& line :
         {"vorlan ldap add" + admin + "dc=example,dc=com objectClass=dcObject objectClass=organization o=Example dc=example",
          "vorlan ldap add" + admin + erika + " objectClass=person cn=Erika sn=Mustermann 'description=M\xC3\xBCller'",
          "vorlan ldap add" + admin + "cn=Ann,dc=example,dc=com objectClass=person cn=Ann sn=Lee 'description= x'",
          "vorlan ldap modify" + admin + erika + " sn=Muster sn=M",
          "vorlan ldap modify --operation add" + admin + erika + " telephoneNumber=123",
          "vorlan ldap delete" + admin + "cn=Ann,dc=example,dc=com"}) {
        const Result r = Shell(line);
        ASSERT_EQ(r.status, 0) << line << "\n" << r.err;
    }
    const struct {
        const char* filter;
        const char* attributes;
    } searches[] = {{"'(objectClass=*)'", ""}, {"'(&(objectClass=person)(sn=M*))'", " sn description"}};
    for (const auto& search : searches) {
        const Result ours = Shell("vorlan ldap search" + url + "-b " + ldappeer::kSuffix + " " + search.filter +
                                  search.attributes);
        EXPECT_EQ(ours.status, 0) << ours.err;
        EXPECT_EQ(ours.out, Shell(ldapsearch + search.filter + search.attributes).out) << search.filter;
    }
    EXPECT_NE(Shell("vorlan ldap search" + url + "-b dc=example,dc=com '(cn=Erika)' sn").out.find("sn: M\n"),
              std::string::npos);
    const struct {
        std::string line, message;
    } failures[] = {
        {"vorlan ldap delete" + url + "-D " + ldappeer::kRootDN + " -w wrong " + erika, "bind failed: result code 49"},
        {"vorlan ldap add" + admin + erika + " objectClass=person cn=Erika sn=M", "add failed: result code 68"},
        {"vorlan ldap search" + url + "-b dc=nowhere '(cn=x)'", "search failed: result code 32"},
    };
    for (const auto& failure : failures) {
        const Result r = Shell(failure.line);
        EXPECT_EQ(r.status, 1) << failure.line;
        EXPECT_NE(r.err.find(failure.message), std::string::npos) << failure.line << "\n" << r.err;
    }
}

TEST_F(Cli, FailuresAreOneLineWithNonZeroStatusAndLeaveNoOutputFile) {
    MakeOpensslCertificates();
    ASSERT_EQ(Shell("vorlan keygen --bits 512 -o key.bin").status, 0);
    Data("plain", 100);
    WriteFile(dir / "notder", "\x30\x85 this is not DER");
    const std::string des3 = "--cipher des3 --key 0123456789abcdeffedcba987654321089abcdef01234567 --iv 0001020304050607";
    ASSERT_EQ(Shell("vorlan encrypt " + des3 + " plain sealed").status, 0);
    struct Row {
        std::string line;
        std::string message;
    };
    const Row rows[] = {
        {"vorlan dump notder", "not valid DER"},
        {"vorlan encrypt --cipher des --key 0102 --iv 0001020304050607 plain out", "--key must be 8 octets"},
        {"vorlan encrypt --cipher des --key 01020304050607zz --iv 0001020304050607 plain out", "hexadecimal"},
        {"vorlan decrypt --cipher des3 --key 1123456789abcdeffedcba987654321089abcdef01234567 --iv 0001020304050607 "
         "sealed out",
         "bad padding"},
        {"vorlan decrypt " + des3 + " plain out", "CheckCiphertextSize"},  // 100 octets: not whole blocks
        {"vorlan encrypt " + des3 + " missing out", "file not found"},
        {"vorlan digest md5 missing", "file not found"},
        {"vorlan rsa plain", "not an RSA key archive"},
        {"vorlan cert show notder", "notder: "},
        {"vorlan cert show leaf.key", "no PEM block \"CERTIFICATE\""},
        {"vorlan cert verify ca.pem --issuer leaf.pem", "its issuer is not the subject of leaf.pem"},
        {"vorlan cert verify leaf.pem --issuer other.pem", "the signature does not verify with the key of other.pem"},
        {"vorlan cert verify old.der", "not valid now (valid from "},
        {"vorlan cert sign --self --key key.bin --subject CN=x -o out", "--subject must read /type=value/"},
        {"vorlan cert sign --self --key key.bin --subject /XX=1 -o out", "unknown attribute type \"XX\""},
        {"vorlan cert sign --self --key key.bin --subject /CN=x/O -o out", "\"O\" is not type=value"},
        {"vorlan cert sign --self --key key.bin --subject /CN=x --days 9000 -o out", "before 2050"},
        {"vorlan cert sign --self --key plain --subject /CN=x -o out", "not an RSA key archive"},
        {"vorlan ldap decode notder", "notder: not an LDAP message"},
        {"vorlan ldap search ldap://127.0.0.1:1 -b dc=x '(cn=x'", "offset"},
        {"vorlan ldap search ldap://127.0.0.1:1 -b dc=x '(cn=x)'", "Connection refused"},
        {"vorlan ldap add ldap://127.0.0.1:1 cn=x cn", "\"cn\" is not type=value"},
    };
    for (const Row& row : rows) {
        const Result r = Shell(row.line);
        EXPECT_NE(r.status, 0) << row.line;
        EXPECT_NE(r.err.find(row.message), std::string::npos) << row.line << "\n" << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        for (const auto& entry : fs::directory_iterator(dir))
            EXPECT_EQ(entry.path().filename().string().rfind("out", 0), std::string::npos) << row.line;
    }
}

TEST_F(Cli, HelpAndVersionAnswerForTheProgramAndEveryCommand) {
    EXPECT_EQ(Shell("vorlan --version").out, "vorlan 1.0.0\n");
    for (const char* command : {"", "demo", "dump", "digest", "encrypt", "decrypt", "keygen", "rsa", "cert",
                                "cert show", "cert verify", "cert sign", "ldap", "ldap decode", "ldap search", "ldap add",
                                "ldap modify", "ldap delete"}) {
        const Result r = Shell(std::string("vorlan ") + command + " --help");
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_NE(r.out.find("Usage:"), std::string::npos) << command;
    }
    EXPECT_NE(Shell("vorlan").status, 0);
}

}  // namespace
