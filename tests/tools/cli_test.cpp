// End-to-end runs of the built vorlan program beside the tools every shell user knows:
// md5sum/sha1sum for digests, openssl for ciphers and certificates, slapd and ldapsearch for LDAP.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/ldap/ldap_test_util.h"
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

    // Runs a shell command line in the test's directory; "vorlan" is the built program, and
    // `has TEXT...` fails naming the first text its standard input does not hold.
    Result Shell(const std::string& line) const {
        const std::string command = "cd '" + dir.string() + "' && vorlan() { '" VORLAN_BINARY_DIR "/bin/vorlan' \"$@\"; }; " +
                                    "has() { i=$(cat); for t; do case \"$i\" in *\"$t\"*) ;; *) echo \"missing: $t\"; "
                                    "echo \"$i\"; return 1;; esac; done; }; { " + line + "; } >out.txt 2>err.txt";
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
              // The key is complete before openssl x509 reads it (a pipe would race the two).
              req + "/CN=old -keyout old.key -out old.csr && openssl x509 -req -in old.csr -key old.key -sha1 "
                    "-days -1 -out old.pem"}) {
            ASSERT_EQ(Shell(line).status, 0) << line;
        }
        for (const char* name : {"ca", "leaf", "other", "old"})
            ASSERT_EQ(Shell(std::string("openssl x509 -in ") + name + ".pem -outform DER -out " + name + ".der").status,
                      0);
    }

    // Command lines with the exit status each must give and a text its output (standard output
    // and error together) must hold.
    struct Expected {
        std::string line;
        int status;
        std::string output;
    };
    void ExpectAll(const std::vector<Expected>& rows) const {
        for (const Expected& row : rows) {
            const Result r = Shell(row.line);
            EXPECT_EQ(r.status, row.status) << row.line << "\n" << r.out << r.err;
            EXPECT_NE((r.out + r.err).find(row.output), std::string::npos) << row.line << "\n" << r.out << r.err;
        }
    }

    fs::path dir;
};

// The demo, help and version; digests as coreutils print them, ciphers as openssl enc makes them;
// keygen's archives, their secrets shown only when asked.
TEST_F(Cli, DemoHelpDigestsCiphersAndKeygenAnswerAsTheirPeersDo) {
    for (size_t size : {0, 1, 64, 1000, 300000}) Data(std::string("f").append(std::to_string(size)), size);
    WriteFile(dir / "abc", "abc");
    const std::string files = "f0 f1 f64 f1000 f300000";
    const std::string commands =
        "'' demo dump digest encrypt decrypt keygen rsa cert 'cert show' 'cert verify' 'cert sign' "
        "'crl show' 'crl verify' 'crl check' 'crl sign' 'req new' 'req show' 'req verify' 'smime sign' "
        "'smime verify' 'smime encrypt' 'smime decrypt' 'keystore list' 'keystore add' 'keystore export' ldap "
        "'ldap decode' 'ldap search' 'ldap add' 'ldap modify' 'ldap delete'";
    std::vector<Expected> rows = {
        {"vorlan demo >d && ! grep FAILED d && cat d", 0, "all 20 checks passed"},
        {"vorlan --version && ! vorlan 2>/dev/null", 0, "vorlan " VORLAN_VERSION "\n"},  // the project's version
        {"for c in " + commands +
             "; do vorlan $c --help >h && grep -q Usage: h || { echo \"no help: $c\"; exit 1; }; done",
         0, ""},
        // The manual page made from that help: groff reads it without a warning, and each command has its section.
        {"m='" VORLAN_BINARY_DIR "/tools/vorlan.1'; w=$(groff -man -Tutf8 -ww -z $m 2>&1) && [ -z \"$w\" ] || "
         "{ echo \"$w\"; exit 1; }; grep -q '^.TH VORLAN 1 .*\"vorlan " VORLAN_VERSION "\"' $m && for c in " +
             commands +
             "; do [ -z \"$c\" ] || grep -qx \".SS \\\"vorlan $c\\\"\" $m || { echo \"no section: $c\"; exit 1; }; "
             "done",
         0, ""},
        {"for a in md5 sha1 sha256 sha384 sha512; do vorlan digest $a " + files + " >o && ${a}sum " + files +
             " | cmp - o && vorlan digest $a - <f1000 >o && ${a}sum - <f1000 | cmp - o || exit 1; done",
         0, ""},
        {"vorlan digest md2 abc", 0, "da853b0d3f88d99b30283a69e6ded6bb  abc\n"},  // RFC 1319's "abc"
        {"vorlan keygen --bits 512 -o key.bin && vorlan rsa key.bin", 0, "RSA private key, 512 bits"},
        {"vorlan rsa key.bin", 0, "publicExponent: 010001"},
        {"vorlan rsa key.bin | grep -c privateExponent", 1, "0\n"},  // secrets only when asked
        {"vorlan rsa --show-private key.bin", 0, "privateExponent"},
        {"vorlan keygen --bits 1024 --e3 -o k3 && vorlan rsa k3", 0, "publicExponent: 03"},
    };
    // Each cipher against openssl enc at sizes around its block, and decrypting what openssl made.
    const char *iv8 = "0001020304050607", *iv16 = "000102030405060708090a0b0c0d0e0f";
    for (const auto& [ours, theirs, key, iv] : std::initializer_list<std::array<const char*, 4>>{
             {"des", "des-cbc", "133457799bbcdff1", iv8},
             {"des3", "des-ede3-cbc", "0123456789abcdeffedcba987654321089abcdef01234567", iv8},
             {"aes128", "aes-128-cbc", "2b7e151628aed2a6abf7158809cf4f3c", iv16},
             {"aes192", "aes-192-cbc", "8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b", iv16},
             {"aes256", "aes-256-cbc", "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4", iv16}}) {
        const std::string k = std::string(" --key ") + key + " --iv " + iv + " ";
        rows.push_back({std::string("for n in 0 7 8 9 70000; do head -c $n f300000 >p && vorlan encrypt --cipher ") +
                            ours + k + "p a && openssl enc -provider legacy -provider default -nosalt -" + theirs +
                            " -K " + key + " -iv " + iv + " -in p -out b && cmp a b && vorlan decrypt --cipher " +
                            ours + k + "b c && cmp c p || { echo size $n; exit 1; }; done",
                        0, ""});
    }
    ExpectAll(rows);
}

// The names in the test's folder, "." and ".." left out.
std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Whether process `pid` holds a file open in `folder` (its /proc fd links name the folder).
bool HoldsFileIn(pid_t pid, const fs::path& folder) {
    std::error_code error;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const fs::path target = fs::read_symlink(fd.path(), error);
        if (!error && target.string().rfind(folder.string() + "/", 0) == 0) return true;
    }
    return false;
}

TEST_F(Cli, SavesStoppedBySignalsLeaveNoTemporaryAndFinishedOnesJustTheFile) {
    const fs::path folder = fs::canonical(dir);
    for (const int signal : {SIGKILL, SIGTERM, SIGINT}) {
        // keygen holds its output open while it searches primes; it is stopped as soon as it does.
        bool stopped = false;
        for (int attempt = 0; attempt < 20 && !stopped; ++attempt) {
            const pid_t pid = ::fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                const int null = ::open("/dev/null", O_WRONLY);
                ::dup2(null, STDOUT_FILENO);
                ::dup2(null, STDERR_FILENO);
                if (::chdir(folder.c_str()) == 0)
                    ::execl(VORLAN_BINARY_DIR "/bin/vorlan", "vorlan", "keygen", "--bits", "2048", "-o", "key.bin",
                            static_cast<char*>(nullptr));
                ::_exit(127);
            }
            int status = 0;
            while (::waitpid(pid, &status, WNOHANG) == 0) {
                if (HoldsFileIn(pid, folder)) {
                    ::kill(pid, signal);
                    ::waitpid(pid, &status, 0);
                    stopped = true;
                    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << strsignal(signal);
                    break;
                }
                ::usleep(200);
            }
            fs::remove(folder / "key.bin");  // when keygen finished first
        }
        ASSERT_TRUE(stopped) << strsignal(signal);
        EXPECT_EQ(Names(folder), std::vector<std::string>()) << strsignal(signal);
    }

    // Finished saves: the file alone, in the mode of its kind, replacing the one before.
    Data("plain", 100);
    const std::string save = "umask 022 && vorlan keygen --bits 512 -o key.bin >/dev/null && vorlan encrypt --cipher des --key "
                             "0123456789abcdef --iv 0001020304050607 plain sealed && stat -c '%a %n' key.bin sealed";
    ExpectAll({{save + " && " + save, 0, "600 key.bin\n644 sealed\n600 key.bin\n644 sealed\n"}});
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"key.bin", "plain", "sealed"}));
}

TEST_F(Cli, CertShowDumpAndVerifyReadOpensslCertificates) {
    MakeOpensslCertificates();
    ExpectAll({
        {"vorlan cert show ca.pem >a && vorlan cert show ca.der | cmp - a && vorlan cert show - <ca.der | cmp - a && "
         "! grep -c \"$(printf '\\r')\" a", 0, "0\n"},
        {"vorlan cert show ca.pem | has 'Syntax Version: 2' 'SHA1 With RSA Encryption' 'Organization name: Vorlan Test' "
         "'Common name: CA' '      2048 bits' '   2.5.29.19, critical, cA: TRUE' && vorlan cert show ca.pem | "
         "grep -x -e Extensions: -e '   2.5.29.14'", 0, "Extensions:\n   2.5.29.14\n"},
        {"vorlan cert show leaf.der", 0, "Extensions: none"},
        {"vorlan dump ca.der >a && vorlan dump ca.pem | cmp - a && vorlan dump - <ca.der | cmp - a && cat a", 0,
         "OID = 2.5.4.3"},  // commonName
        {"vorlan dump ca.der", 0, "Vorlan Test"},
        {"vorlan cert verify leaf.pem --issuer ca.der", 0, ": OK"},
        {"vorlan cert verify ca.pem", 0, ": OK"},
    });
}

TEST_F(Cli, CertSignMakesSelfSignedCertificatesThatOpensslVerifies) {
    const std::string checked = " | has sha1WithRSAEncryption 'Public-Key: (1024 bit)' ";
    const std::string verify = " -out peer.pem && openssl verify -auth_level 0 -CAfile peer.pem peer.pem && vorlan cert verify c.";
    ExpectAll({
        {"vorlan keygen --bits 1024 -o key.bin && vorlan cert sign --self --key key.bin --subject "
         "'/C=DE/O=Vorlan Test/CN=Erika' --days 30 -o c.pem && openssl x509 -noout -text -in c.pem" + checked +
             "'Subject: C = DE, O = Vorlan Test, CN = Erika' && openssl x509 -in c.pem" + verify + "pem",
         0, "c.pem: OK\n"},
        {"vorlan cert sign --self --key key.bin --subject '/CN=J\xC3\xBCrgen+emailAddress=J@Example.org/O=A\\/B' "
         "--outform der -o c.der && openssl x509 -noout -text -inform DER -in c.der >t && grep -q ', O = A/B$' t"
             " && cat t" + checked + "'CN = J' 'emailAddress = j@example.org' && openssl x509 -inform DER -in c.der" +
             verify + "der",
         0, "c.der: OK\n"},
    });
}

TEST_F(Cli, CrlsRequestsAndIssuedCertificatesAgreeWithOpensslBothWays) {
    MakeOpensslCertificates();
    const std::string issue = "openssl x509 -req -CA ca.pem -CAkey ca.key -sha1 -days 2 -out ";
    const std::string openssl_ca = "openssl ca -config ca.cnf -keyfile ca.key -cert ca.pem ";
    const std::string peer_verify = "openssl verify -auth_level 0 -CAfile vca.pem ";
    WriteFile(dir / "ca.cnf", "[ca]\ndefault_ca=c\n[c]\ndatabase=index.txt\ndefault_md=sha1\ndefault_crl_days=2\n"
                              "[idp]\nissuingDistributionPoint=critical,@point\n[point]\n"
                              "fullname=URI:http://example.org/ca.crl\n[delta]\n2.5.29.27=critical,DER:02:01:01\n");
    WriteFile(dir / "index.txt", "");
    ExpectAll({
        // openssl's list revoking leaf.pem; kept.pem from the same CA is not on it.
        {"openssl req -new -newkey rsa:1024 -nodes -keyout /dev/null -subj /CN=kept 2>/dev/null | " + issue +
             "kept.pem && " + openssl_ca + "-revoke leaf.pem 2>/dev/null && " + openssl_ca +
             "-gencrl -out crl.pem 2>/dev/null && openssl crl -in crl.pem -outform DER -out crl.der",
         0, ""},
        {"vorlan crl show crl.der", 0, "CRL issued by:\nCountry name: DE\n"},
        {"vorlan crl show - <crl.pem", 0, "Revoked Certificates:\nSerial Number: "},
        {"vorlan crl verify crl.pem --issuer ca.der", 0, "crl.pem: OK\n"},
        {"vorlan crl verify crl.pem --issuer other.pem", 1,
         "crl.pem: the signature does not verify with the key of other.pem (signature differs)"},
        {"vorlan crl check crl.der leaf.pem --issuer ca.pem", 1, " revoked on "},
        {"vorlan crl check crl.pem kept.pem", 0, "kept.pem: serial "},
        {"vorlan crl check crl.pem old.pem", 1, "crl.pem: not a list of the issuer of old.pem"},
        {"vorlan cert verify kept.pem --issuer ca.pem --crl crl.der", 0, "kept.pem: OK\n"},
        {"vorlan cert verify leaf.pem --issuer ca.pem --crl crl.pem", 1, "leaf.pem: revoked on "},
        // openssl's lists that are partial (an issuing distribution point) or a delta: signed by
        // the CA, they still cannot say "not revoked".
        {openssl_ca + "-gencrl -crlexts idp -out idp.pem 2>/dev/null && " + openssl_ca +
             "-gencrl -crlexts delta -out delta.pem 2>/dev/null",
         0, ""},
        {"vorlan crl check idp.pem kept.pem --issuer ca.pem", 1,
         "idp.pem: its critical extension 2.5.29.28 is not applied here, so the list cannot decide revocation"},
        {"vorlan crl verify idp.pem --issuer ca.pem", 1, "idp.pem: its critical extension 2.5.29.28"},
        {"vorlan cert verify kept.pem --issuer ca.pem --crl delta.pem", 1, "delta.pem: its critical extension 2.5.29.27"},
        {"vorlan crl verify delta.pem --issuer other.pem", 1, "delta.pem: the signature does not verify"},
        // Our CA, request, certificate and list, checked by openssl.
        {"vorlan keygen --bits 1024 -o ca.bin && vorlan keygen --bits 1024 -o user.bin && "
         "vorlan cert sign --self --key ca.bin --subject '/O=Vorlan/CN=Vorlan CA' -o vca.pem",
         0, ""},
        {"vorlan req new --key user.bin --subject '/C=DE/O=Vorlan/CN=User' -o user.req", 0,
         "request for CN=User, O=Vorlan, C=DE"},
        {"openssl req -verify -noout -in user.req", 0, ""},
        {"vorlan req show user.req", 0, "Public key: 1024 bits\npublicExponent: 010001\n"},
        {"vorlan req verify user.req", 0, "user.req: OK\n"},
        {"openssl req -in user.req -outform DER | python3 -c 'import sys; d = bytearray(sys.stdin.buffer.read()); "
         "d[-1] ^= 1; sys.stdout.buffer.write(d)' > bad.req && vorlan req verify bad.req",
         1, "bad.req: the signature does not verify with the request's key (signature differs)"},
        {"vorlan cert sign --req user.req --issuer-cert vca.pem --key ca.bin --days 5 --outform der -o user.der", 0,
         "issued by CN=Vorlan CA, O=Vorlan"},
        {"openssl x509 -inform DER -in user.der -out user.pem && " + peer_verify + "user.pem", 0, "user.pem: OK"},
        {"vorlan cert sign --req user.req --issuer-cert vca.pem --key user.bin -o x.pem", 1,
         "user.bin: not the key of vca.pem"},
        {"openssl x509 -inform DER -in user.der -noout -serial | cut -d= -f2 > serial && "
         "vorlan crl sign --issuer-cert vca.pem --key ca.bin 0A:0b $(cat serial) -o vcrl.pem",
         0, "with 2 serial numbers"},
        {"openssl crl -in vcrl.pem -CAfile vca.pem -noout", 0, ""},
        {peer_verify + "-crl_check -CRLfile vcrl.pem user.pem", 2, "certificate revoked"},
        {"vorlan cert verify user.der --issuer vca.pem --crl vcrl.pem", 1, "user.der: revoked on "},
        // openssl's request signed by our CA, and our request signed by openssl's.
        {"openssl req -new -newkey rsa:1024 -nodes -keyout /dev/null -subj /CN=peer -outform DER -out peer.req "
         "2>/dev/null && vorlan req verify peer.req && vorlan cert sign --req - --issuer-cert vca.pem --key ca.bin "
         "-o peer.pem <peer.req && " +
             peer_verify + "peer.pem",
         0, "peer.pem: OK"},
        {issue + "theirs.pem -in user.req && vorlan cert verify theirs.pem --issuer ca.pem", 0, "theirs.pem: OK"},
    });
    // Our list with an unknown critical extension on an entry: asked without its issuer, still no "not revoked".
    ASSERT_EQ(Shell("openssl crl -in vcrl.pem -outform DER -out vcrl.der").status, 0);
    std::string der = ReadFile(dir / "vcrl.der");
    CDEREncoding encoding(0, reinterpret_cast<BYTE*>(der.data()), der.size(), 0, 1);
    CCertificateRevocationList crl;
    CASN1_CertificateRevocationList(encoding).SetDataTo(crl);
    CCertificateExtension unknown;
    unknown.m_strIdentifier = "1.3.6.1.4.1.99999.9", unknown.m_bCritical = 1;
    unknown.m_abValue.Add(0x05), unknown.m_abValue.Add(0x00);
    crl.m_bVersion = 1;
    crl.m_entries[0]->m_extensions.Add(unknown);
    CByteArray out;
    CASN1_CertificateRevocationList(crl).encodeTo(out);
    WriteFile(dir / "entry.der", std::string(out.GetData(), out.GetData() + out.GetSize()));
    ExpectAll({{"vorlan crl check entry.der user.der", 1,
                "entry.der: its critical extension 1.3.6.1.4.1.99999.9 is not applied here"}});
}

// Version 3 certificates and version 2 lists issued here: a root and an intermediate CA and an
// S/MIME user pass openssl's strict S/MIME verification, and so do the user's message and the
// intermediate's list, which openssl reads with its number and key identifier.
TEST_F(Cli, IssuedCAAndSmimeCertificatesAndListsPassStrictOpenssl) {
    Data("content", 1000);
    const std::string strict = "openssl verify -x509_strict -purpose smimesign -CAfile root.pem -untrusted inter.pem ";
    ExpectAll({
        {"vorlan keygen --bits 2048 -o root.bin && vorlan keygen --bits 2048 -o inter.bin && "
         "vorlan keygen --bits 2048 -o user.bin && vorlan cert sign --self --ca --key root.bin "
         "--subject '/O=Vorlan/CN=Root' --md sha256 -o root.pem",
         0, "certificate for CN=Root, O=Vorlan issued by CN=Root, O=Vorlan"},
        {"vorlan req new --key inter.bin --subject '/O=Vorlan/CN=Intermediate' -o inter.req && vorlan cert sign "
         "--req inter.req --ca --issuer-cert root.pem --key root.bin --md sha256 -o inter.pem",
         0, "issued by CN=Root, O=Vorlan"},
        {"vorlan req new --key user.bin --subject '/O=Vorlan/CN=Erika' -o user.req && vorlan cert sign --req user.req "
         "--email erika@example.org --issuer-cert inter.pem --key inter.bin --md sha256 -o user.pem",
         0, "issued by CN=Intermediate, O=Vorlan"},
        {strict + "user.pem", 0, "user.pem: OK\n"},
        {"openssl x509 -in user.pem -noout -text | tr -s ' ' | has 'Version: 3 (0x2)' "
         "'X509v3 Basic Constraints: critical\n CA:FALSE' "
         "'X509v3 Key Usage: critical\n Digital Signature, Non Repudiation, Key Encipherment' "
         "'X509v3 Extended Key Usage: \n E-mail Protection' 'X509v3 Subject Alternative Name: \n email:erika@example.org' "
         "'X509v3 Subject Key Identifier' 'X509v3 Authority Key Identifier'",
         0, ""},
        {"openssl x509 -in root.pem -noout -text | tr -s ' ' | has 'X509v3 Basic Constraints: critical\n CA:TRUE' "
         "'X509v3 Key Usage: critical\n Certificate Sign, CRL Sign'",
         0, ""},
        // The intermediate's key identifier names it in what it issues.
        {"test \"$(openssl x509 -in inter.pem -noout -ext subjectKeyIdentifier | tail -1 | tr -d ' ')\" = "
         "\"$(openssl x509 -in user.pem -noout -ext authorityKeyIdentifier | tail -1 | tr -d ' ' | sed s/^keyid://)\"",
         0, ""},
        {"vorlan cert show user.pem", 0,
         "Extensions:\n   2.5.29.19, critical, cA: FALSE\n   2.5.29.15, critical\n"
         "      keyUsage: digitalSignature, nonRepudiation, keyEncipherment\n   2.5.29.37\n"
         "      extendedKeyUsage: emailProtection\n   2.5.29.17\n      subjectAltName: email:erika@example.org\n"
         "   2.5.29.14\n      subjectKeyIdentifier: "},
        {"vorlan cert show inter.pem", 0, "   2.5.29.19, critical, cA: TRUE\n   2.5.29.15, critical\n"
                                          "      keyUsage: keyCertSign, cRLSign\n"},
        {"vorlan cert sign --req user.req --ca --email a@example.org --issuer-cert inter.pem --key inter.bin -o x.pem",
         1, "cert sign takes --ca or --email, not both"},
        {"vorlan smime sign --signer user.pem --key user.bin --certfile inter.pem --md sha256 -o m.pem content && "
         "openssl smime -verify -x509_strict -binary -purpose smimesign -CAfile root.pem -inform PEM -in m.pem -out v "
         "&& cmp v content",
         0, "Verification successful"},
        {"openssl x509 -in user.pem -noout -serial | cut -d= -f2 > serial && vorlan crl sign --issuer-cert inter.pem "
         "--key inter.bin --number 4096 --md sha256 $(cat serial) -o list.pem && vorlan crl sign --issuer-cert "
         "inter.pem --key inter.bin --md sha256 -o empty.pem",
         0, "with 0 serial numbers"},
        {"openssl crl -in list.pem -CAfile inter.pem -noout -text 2>&1 | tr -s ' ' | has 'verify OK' 'Version 2 (0x1)' "
         "'X509v3 CRL Number: \n 4096' 'X509v3 Authority Key Identifier: \n '",
         0, ""},
        // Without --number, the second of the last update: a later list has a greater number.
        {"openssl crl -in empty.pem -noout -crlnumber | cut -d= -f2 | { read n; test $((n)) -ge $(($(date +%s) - 600)); }",
         0, ""},
        {strict + "-crl_check -CRLfile list.pem user.pem", 2, "certificate revoked"},
        {strict + "-crl_check -CRLfile empty.pem user.pem", 0, "user.pem: OK"},
        {"vorlan crl check list.pem user.pem --issuer inter.pem", 1, "user.pem: serial "},
    });
}

// Keys of 3,072 and 4,096 bits with SHA-384 and SHA-512: keygen's default size; certificates,
// lists, requests and messages made here pass openssl; openssl's keys (PKCS #8) sign here and its
// messages open here.
TEST_F(Cli, LongKeysAndLongDigestsWorkBothWaysWithOpenssl) {
    Data("content", 3000);
    const std::string smime = "openssl smime -binary ";
    ExpectAll({
        {"vorlan keygen -o d.bin && vorlan rsa d.bin", 0, "RSA private key, 3072 bits"},
        {"vorlan keygen --bits 4097 -o x.bin", 1, "--bits must be from 508 to 4096"},
        {"vorlan keygen --bits 4096 -o ca.bin && vorlan cert sign --self --key ca.bin --subject /CN=CA --md sha512 "
         "-o ca.pem && openssl verify -CAfile ca.pem ca.pem && openssl x509 -in ca.pem -noout -text",
         0, "sha512WithRSAEncryption"},
        {"vorlan req new --key d.bin --subject /CN=User --md sha384 -o u.csr && openssl req -in u.csr -verify -noout "
         "&& vorlan cert sign --req u.csr --issuer-cert ca.pem --key ca.bin --md sha384 -o u.pem && "
         "openssl verify -CAfile ca.pem u.pem",
         0, "u.pem: OK"},
        {"vorlan crl sign --issuer-cert ca.pem --key ca.bin --md sha512 -o l.pem 0A && "
         "openssl crl -in l.pem -CAfile ca.pem -noout",
         0, "verify OK"},
        {"vorlan smime sign --signer ca.pem --key ca.bin --md sha384 -o s.pem content && " + smime +
             "-verify -CAfile ca.pem -inform PEM -in s.pem -out v && cmp v content",
         0, "Verification successful"},
        {"openssl req -x509 -newkey rsa:4096 -nodes -keyout p.key -subj /CN=Peer -sha512 -days 2 -out p.pem "
         "2>/dev/null && vorlan cert verify p.pem --issuer p.pem && vorlan smime sign --signer p.pem --key p.key "
         "--md sha512 -o t.pem content && " + smime + "-verify -CAfile p.pem -inform PEM -in t.pem -out v && cmp v content",
         0, "Verification successful"},
        {smime + "-sign -md sha512 -nodetach -outform PEM -signer p.pem -inkey p.key -in content -out w.pem && "
                 "vorlan smime verify w.pem --issuer p.pem -o v && cmp v content && " + smime +
             "-encrypt -des3 -outform PEM -in content -out e.pem ca.pem && vorlan smime decrypt e.pem --recip ca.pem --key ca.bin "
             "-o v && cmp v content",
         0, ""},
        {"vorlan keystore add ks -p s3cret --name ca --key ca.bin --cert ca.pem && vorlan keystore export ks -p s3cret "
         "--name ca -o back.bin && cmp back.bin ca.bin && vorlan keystore list ks -p s3cret",
         0, "ca: RSA private key, 4096 bits"},
    });
}

// Certificates, requests and signers with EC keys of openssl: shown by curve and point, verified
// one level (an EC CA issuing an EC certificate, and itself), as a request and as the signer of a
// message; a flipped signature octet does not verify.
TEST_F(Cli, ECCertificatesAndSignersVerify) {
    Data("content", 3000);
    const std::string ec = " -newkey ec -nodes -pkeyopt ec_paramgen_curve:";
    ExpectAll({
        {"openssl req -x509" + ec + "P-384 -keyout ca.key -subj /CN=EC-CA -sha384 -days 2 -out ca.pem 2>/dev/null && "
         "openssl req -new" + ec + "P-256 -keyout u.key -subj /CN=EC-User -out u.csr 2>/dev/null && "
         "openssl x509 -req -in u.csr -CA ca.pem -CAkey ca.key -sha256 -days 2 -out u.pem 2>/dev/null && "
         "vorlan cert verify u.pem --issuer ca.pem && vorlan cert verify ca.pem",
         0, "u.pem: OK\nca.pem: OK\n"},
        {"vorlan cert show u.pem", 0, "Signature Algorithm: ECDSA With SHA256\n"},
        {"vorlan cert show ca.pem", 0, "Public Key: EC P-384\n   Point:\n      04"},
        {"openssl smime -sign -md sha384 -nodetach -binary -outform PEM -signer u.pem -inkey u.key -in content "
         "-out m.pem && vorlan smime verify m.pem --issuer ca.pem -o v && cmp v content",
         0, "Verification successful"},
        {"vorlan req verify u.csr && vorlan req show u.csr", 0, "u.csr: OK\nCertificate request\n"},
        {"vorlan req show u.csr", 0, "Public key: EC P-256\npoint: 04"},
        {"openssl x509 -in u.pem -outform DER -out t.der && n=$(stat -c%s t.der) && printf '\\125' | "
         "dd of=t.der bs=1 seek=$((n-3)) conv=notrunc 2>/dev/null && vorlan cert verify t.der --issuer ca.pem",
         1, "t.der: the signature does not verify with the key of ca.pem (signature differs)"},
    });
}

TEST_F(Cli, SmimeMessagesOpenInOpensslAndOpensslsOpenHere) {
    Data("content", 5000);
    Data("other", 4999);
    const std::string openssl = "openssl smime -binary ", peer = " -signer peer.pem -inkey peer.key -in content -out ";
    ExpectAll({
        {"vorlan keygen --bits 1024 -o me.bin && vorlan cert sign --self --key me.bin --subject /CN=Me -o me.pem && "
         "openssl req -x509 -newkey rsa:2048 -nodes -keyout peer.key -subj /CN=Peer -sha1 -days 2 -out peer.pem "
         "2>/dev/null",
         0, ""},
        {"vorlan smime sign --signer me.pem --key me.bin --outform der -o s.der content && " + openssl +
             "-verify -noverify -inform DER -in s.der -out v && cmp v content",
         0, "Verification successful"},
        {"vorlan smime sign --signer me.pem --key me.bin --md sha256 --noattr -o s.pem - <content && " + openssl +
             "-verify -noverify -inform PEM -in s.pem -out v && cmp v content",
         0, "Verification successful"},
        {openssl + "-sign -md sha256 -nodetach -outform DER" + peer + "t.der && vorlan smime verify t.der --issuer "
                   "peer.pem -o v && cmp v content",
         0, "Verification successful"},
        {openssl + "-sign -md sha1 -noattr -outform PEM" + peer + "d.pem && vorlan smime verify d.pem --content content",
         0, "The content matches the signature of CN=Peer, checked with the certificate in the message\n"
            "The signer is not verified as trusted: give --issuer to check the signer's certificate\n"},
        // Why a signature fails: without signed attributes the signature itself, with them the digest they state.
        // Anyone can make a certificate and sign with it: without --issuer no success is claimed.
        {"vorlan smime verify d.pem --content content 2>&1 | grep -c 'Verification successful'", 1, "0\n"},
        {"vorlan smime verify d.pem --content other", 1,
         "d.pem: the signature of CN=Peer does not verify (signature differs)\n"},
        {openssl + "-sign -md sha256 -outform DER" + peer + "a.der && vorlan smime verify a.der --content other", 1,
         "a.der: the signature of CN=Peer does not verify (message digest differs)\n"},
        {"vorlan smime verify t.der --issuer me.pem", 1, "the signer's certificate: its issuer is not the subject"},
        {"vorlan smime verify d.pem", 1, "detached; give the content with --content"},
        // AES-256 by default, opened by openssl smime and cms; the other content ciphers on request.
        {"vorlan smime encrypt --outform der -o e.der content peer.pem me.pem && " + openssl +
             "-decrypt -inform DER -in e.der -recip peer.pem -inkey peer.key -out v && cmp v content && "
             "openssl cms -decrypt -binary -inform DER -in e.der -recip peer.pem -inkey peer.key -out v && "
             "cmp v content && openssl asn1parse -inform DER -in e.der | grep -c ':aes-256-cbc' && "
             "vorlan smime decrypt e.der --recip me.pem --key me.bin -o v && cmp v content",
         0, "1\n"},
        {"for c in aes128 aes192 des3; do vorlan smime encrypt --cipher $c -o e.$c content peer.pem && " + openssl +
             "-decrypt -inform PEM -in e.$c -recip peer.pem -inkey peer.key -out v && cmp v content || exit 1; done",
         0, ""},
        {"for c in aes128 aes192 aes256; do " + openssl + "-encrypt -$c -outform DER -in content -out f.$c me.pem && "
             "vorlan smime decrypt f.$c --recip me.pem --key me.bin -o v && cmp v content || exit 1; done",
         0, ""},
        {openssl + "-encrypt -camellia128 -outform DER -in content -out c.der me.pem && "
                   "vorlan smime decrypt c.der --recip me.pem --key me.bin -o v2",
         1, "c.der: unknown content encryption algorithm 1.2.392.200011.61.1.1.1.2"},
        // openssl's keys as they are: PKCS #8 and, after openssl rsa -traditional, PKCS #1.
        {"vorlan smime sign --signer peer.pem --key peer.key -o p.pem content && " + openssl +
             "-verify -noverify -in p.pem -inform PEM -out v && cmp v content && openssl rsa -in peer.key -traditional "
             "-out peer1.key 2>/dev/null && vorlan smime decrypt e.der --recip peer.pem --key peer1.key -o v && cmp v content",
         0, "Verification successful"},
        {openssl + "-encrypt -des3 -outform DER -in content -out f.der me.pem && vorlan smime decrypt - --recip me.pem "
                   "--key me.bin -o v <f.der && cmp v content",
         0, ""},
        {"vorlan smime decrypt f.der --recip peer.pem --key me.bin -o v2", 1, "me.bin: not the key of peer.pem"},
        {"vorlan keygen --bits 1024 -o me2.bin && vorlan cert sign --self --key me2.bin --subject /CN=Me -o me2.pem && "
         "vorlan smime decrypt f.der --recip me2.pem --key me2.bin -o v2",
         1, "f.der: not encrypted for CN=Me, serial "},
    });
    EXPECT_FALSE(fs::exists(dir / "v2"));

    // A damaged wrapped key says nothing of why: a random key takes its place and the content
    // does not decrypt (the one message), or in the odd case that its padding passes, decrypts
    // to something else.
    const Result damaged = Shell(
        "cp f.der g.der && at=$(openssl asn1parse -inform DER -in f.der | awk '/l= 128 prim: OCTET STRING/ "
        "{ print $1 + 0; exit }') && printf 'AB' | dd of=g.der bs=1 seek=$((at + 20)) conv=notrunc 2>/dev/null && "
        "vorlan smime decrypt g.der --recip me.pem --key me.bin -o w");
    if (damaged.status != 0) {
        EXPECT_EQ(damaged.err, "vorlan: g.der: the content does not decrypt with this key\n") << damaged.out;
    }
    EXPECT_FALSE(fs::exists(dir / "w") && ReadFile(dir / "w") == ReadFile(dir / "content"));

    // The content of 5000 octets ends in 8 octets of padding: flipping the last octet of the
    // next-to-last AES block turns the last pad octet into 09, which is refused alike.
    ExpectAll({{"python3 -c \"d = bytearray(open('e.der', 'rb').read()); d[-17] ^= 1; "
                "open('h.der', 'wb').write(d)\" && vorlan smime decrypt h.der --recip me.pem --key me.bin -o w2",
                1, "vorlan: h.der: the content does not decrypt with this key"}});
    EXPECT_FALSE(fs::exists(dir / "w2"));
}

// NIST PKITS's S/MIME messages (Debian's python3-cryptography-vectors), each checked against the
// content openssl takes from it: every one reads, also those whose certificate bag holds a
// certificate or list whose signature has an unused bit, and a DSA signer is named as
// unsupported, not taken for a malformed message. A bag certificate the program cannot use
// (a DSA key beside the RSA signer's) is passed over, said on standard error.
TEST_F(Cli, SmimePkitsMessagesReadAndOddBagObjectsAreSkipped) {
    const std::string pkits = "/usr/lib/python3/dist-packages/cryptography_vectors/x509/PKITS_data/smime/";
    const std::string verify = "openssl smime -pk7out -in " + pkits + "$m.eml -out m.pem && openssl smime -verify "
                               "-noverify -binary -in " + pkits + "$m.eml -out c 2>/dev/null; "
                               "vorlan smime verify m.pem --content c -o v";
    ExpectAll({
        {"m=SignedInvalidCASignatureTest2 && " + verify + " 2>e && cmp v c && cat e", 0,
         "The content matches the signature of CN=Invalid CA Signature Test2"},
        {"m=SignedInvalidBadCRLSignatureTest4 && " + verify, 0, "The content matches the signature of CN=Invalid Bad "
                                                                 "CRL Signature EE Certificate Test4"},
        {"m=SignedValidDSASignaturesTest4 && " + verify, 1, "m.pem: unsupported signature algorithm dsa-with-sha1"},
        {"openssl req -x509 -newkey rsa:1024 -nodes -keyout s.key -subj /CN=S -out s.pem 2>/dev/null && openssl x509 "
         "-inform DER -in " + pkits + "../certs/DSACACert.crt -out dsa.pem && printf hi >c && openssl smime -sign "
         "-binary -in c -signer s.pem -inkey s.key -certfile dsa.pem -outform DER -out m.der && "
         "vorlan smime verify m.der --content c -o v",
         0, "m.der: certificate 1 of the message is unusable (SubjectPublicKeyInfo contents is not valid (key "
            "algorithm 1.2.840.10040.4.1 is not RSA))\n"},
    });
    EXPECT_EQ(Shell("m=SignedInvalidCASignatureTest2 && " + verify).err, "");
    const Result all = Shell("for f in " + pkits + "*.eml; do m=$(basename $f .eml); " + verify +
                             " >/dev/null 2>e || echo \"$m: $(cat e)\"; done");
    EXPECT_EQ(all.out,
              "SignedInvalidDSASignatureTest6: vorlan: m.pem: unsupported signature algorithm dsa-with-sha1 (1.2.840.10040.4.3)\n"
              "SignedValidDSAParameterInheritanceTest5: vorlan: m.pem: unsupported signature algorithm dsa-with-sha1 "
              "(1.2.840.10040.4.3)\n"
              "SignedValidDSASignaturesTest4: vorlan: m.pem: unsupported signature algorithm dsa-with-sha1 "
              "(1.2.840.10040.4.3)\n");
}

// Shell functions over a sealed key store of the password "s3cret", built on openssl alone:
// `keys FILE ITERATIONS` sets ek (triple-DES key) and mk (MAC key): PBKDF2-HMAC-SHA-256 of the
// salt, HKDF-Expand with the two labels; `mac` is HMAC-SHA-256 under mk of standard input.
const std::string kStoreKeys =
    "kdf() { openssl kdf -kdfopt digest:SHA256 \"$@\" | tr -d ':'; }; "
    "keys() { master=$(kdf -keylen 32 -kdfopt pass:s3cret -kdfopt hexsalt:$(od -An -tx1 -j13 -N16 $1 | tr -d ' \\n') "
    "-kdfopt iter:$2 PBKDF2); expand() { kdf -keylen $1 -kdfopt mode:EXPAND_ONLY -kdfopt hexkey:$master "
    "-kdfopt \"info:vorlanks $2\" HKDF; }; ek=$(expand 24 des-ede3-cbc); mk=$(expand 32 hmac-sha256); }; "
    "mac() { openssl dgst -sha256 -mac HMAC -macopt hexkey:$mk -binary; }; ";

TEST_F(Cli, KeystoreKeepsKeysInASealedStreamThatOpensslOpens) {
    // The MAC checked by openssl, then each 4,096-octet record of the stream decrypted by openssl
    // enc from the zero IV, its leading random block dropped, and the DER read by asn1parse.
    const std::string opened =
        kStoreKeys +
        "keys ks 100000 && tail -c 32 ks >m && head -c -32 ks | mac | cmp - m && echo MAC verified && "
        "tail -c +30 ks | head -c -32 >stream && n=$(stat -c %s stream) && last=$(((n - 1) / 4096)) && : >der && "
        "for i in $(seq 0 $last); do pad=-nopad; [ $i -eq $last ] && pad=; dd if=stream bs=4096 skip=$i count=1 "
        "2>/dev/null | openssl enc -d -des-ede3-cbc $pad -K $ek -iv 0000000000000000 | tail -c +9 >>der; done && "
        "echo records: $((last + 1)) && openssl asn1parse -inform DER -in der";
    ExpectAll({
        {"vorlan keygen --bits 1024 -o k.bin && vorlan cert sign --self --key k.bin --subject /CN=Me -o k.pem", 0, ""},
        {"VORLAN_PASSWORD=s3cret vorlan keystore add ks --name erika --key k.bin --cert k.pem --owner /O=X/CN=Erika", 0,
         "\"erika\" added to ks (1 records)"},
        // Nine certificates take the DER past one record.
        {"vorlan keystore add ks -p s3cret --name second --key k.bin --cert k.pem --cert k.pem --cert k.pem --cert "
         "k.pem "
         "--cert k.pem --cert k.pem --cert k.pem --cert k.pem --cert k.pem && od -An -tx1 -N13 ks",
         0, " 76 6f 72 6c 61 6e 6b 73 02 00 01 86 a0\n"},  // "vorlanks", format 2, 100000 iterations
        {"{ " + opened + "; } >o && has 'MAC verified' 'records: 2' 'prim: OCTET STRING      :erika' "
             "'prim: OCTET STRING      :second' <o", 0, ""},
        {"vorlan keystore list ks -p s3cret", 0,
         "erika: RSA private key, 1024 bits\n   owner: CN=Erika, O=X\n   certificate: CN=Me, serial "},
        {"vorlan keystore export ks -p s3cret --name erika -o back.bin --certs back.pem && cmp back.pem k.pem && "
         "vorlan rsa --show-private back.bin > a && vorlan rsa --show-private k.bin > b && cmp a b && stat -c %a "
         "back.bin",
         0, "600\n"},
        {"vorlan keystore add ks -p s3cret --name erika --key k.bin", 1, "ks: already holds \"erika\""},
        {"vorlan keystore export ks -p s3cret --name nobody -o x", 1, "ks: holds no \"nobody\""},
        {"vorlan keystore list k.pem -p s3cret", 1, "k.pem: not a vorlan key store"},
        {"vorlan keystore list ks -p s3cret", 0, "2 records"},
    });
}

// Every octet of a store changed (each bit position in turn), cut short or made longer, and
// iteration counts outside 1 to 10,000,000 (a forged 0 with a MAC that is right for it derives as 1
// would, a huge one would derive for hours): refused as damage, never listed, where a store without
// a MAC listed most such changes. A store written before stores were sealed (no format octet, no
// MAC) lists and exports; the next save writes it sealed.
TEST_F(Cli, KeystoreRefusesEveryChangeAsDamageAndSealsTheEarlierForm) {
    ASSERT_EQ(Shell("vorlan keygen --bits 512 -o k.bin && vorlan keystore add ks -p s3cret --name k --key k.bin "
                    "--owner /CN=K --iterations 1").status, 0);
    const std::string store = ReadFile(dir / "ks");
    std::string names, expected;
    const auto variant = [&](const std::string& name, const std::string& octets, const char* message) {
        WriteFile(dir / name, octets);
        names += " " + name;
        expected += name + " 1 vorlan: " + name + ": " + message + "\n";
    };
    const char* damaged = "wrong password or damaged store";
    for (size_t i = 0; i < store.size(); ++i) {
        std::string changed = store;
        changed[i] = static_cast<char>(changed[i] ^ (1 << (i % 8)));
        variant(std::string("f").append(std::to_string(i)), changed, i < 8 ? "not a vorlan key store" : damaged);
    }
    for (size_t cut :
         {size_t{7}, size_t{8}, size_t{9}, size_t{29}, store.size() - 33, store.size() - 32, store.size() - 1})
        variant(std::string("c").append(std::to_string(cut)), store.substr(0, cut),
                cut < 8 ? "not a vorlan key store" : damaged);
    variant("longer", store + '\0', damaged);
    std::string asOld = store;
    asOld[8] = 0;  // the format octet of the earlier form
    variant("old", asOld, damaged);
    EXPECT_EQ(
        Shell("for f in" + names + "; do r=$(vorlan keystore list $f -p s3cret 2>&1); echo \"$f $? $r\"; done").out,
        expected);
    const auto forged = [](const std::string& count) {
        return kStoreKeys + "cp ks z && keys z 1 && printf '" + count +
               "' | dd of=z bs=1 seek=9 conv=notrunc 2>/dev/null && head -c -32 z >body && mac <body >m && "
               "cat body m >z && vorlan keystore list z -p s3cret";
    };
    fs::copy_file(VORLAN_TEST_DATA "/keystore_old.vks", dir / "old.vks");
    const std::string k = "k: RSA private key, 512 bits\n   owner: CN=K\n1 record\n",
                      listed = "old: RSA private key, 512 bits\n   owner: CN=Old, O=Vorlan Test\n";
    ExpectAll({
        {"vorlan keystore list ks -p s3cret", 0, k},
        {"vorlan keystore list ks -p wrong 2>&1", 1, "vorlan: ks: wrong password or damaged store\n"},
        {forged("\\000\\000\\000\\001"), 0, k},  // the forger is right
        {forged("\\000\\000\\000\\000"), 1, "z: wrong password or damaged store"},
        {forged("\\377\\377\\377\\377"), 1, "z: wrong password or damaged store"},
        {"vorlan keystore add ks -p s3cret --name n --key k.bin --iterations 0", 105, "not in range 1 to 10000000"},
        {"vorlan keystore add ks -p s3cret --name n --key k.bin --iterations 10000001", 105,
         "not in range 1 to 10000000"},
        {"vorlan keystore list old.vks -p s3cret", 0, listed + "1 record\n"},
        {"vorlan keystore export old.vks -p s3cret --name old -o old.bin && vorlan rsa old.bin", 0,
         "modulus: A6383FC4ACD29B358BF3FE1F302EA7EAFAD0123D1D85638777DD063D31AF96E209B4BE54596BB587B95AED0A07D4C0D7F45EC"
         "D657407C24B8A1DDA62DD807AF7\n"},
        {"vorlan keystore list old.vks -p wrong", 1, "old.vks: wrong password or damaged store"},
        {"vorlan keystore add old.vks -p s3cret --name new --key old.bin --iterations 1 >/dev/null && "
         "od -An -tx1 -N13 old.vks && vorlan keystore list old.vks -p s3cret",
         0, " 76 6f 72 6c 61 6e 6b 73 02 00 00 00 01\n" + listed + "new: RSA private key, 512 bits\n2 records\n"},
    });
}

TEST_F(Cli, LdapDecodePrintsEveryMemberByName) {
    SLDAPSearch search;
    search.baseObject = "dc=example,dc=com";
    search.attributes = {"cn", "mail"};
    CByteArray pdu;
    BuildLDAPMessage(7, BuildSearchRequest(search, ParseLDAPFilter("(&(objectClass=person)(cn=E*))")))->encodeTo(pdu);
    WriteFile(dir / "search.der", std::string(pdu.GetData(), pdu.GetData() + pdu.GetSize()));
    WriteFile(dir / "search.pem", EncodePem("LDAP MESSAGE", pdu.GetData(), pdu.GetSize()).str());
    ExpectAll({{"vorlan ldap decode search.der >a && vorlan ldap decode search.pem | cmp - a && "
                "vorlan ldap decode - <search.der | cmp - a && cat a",
                0,
                "messageID: 7\nprotocolOp: searchRequest\n  baseObject: dc=example,dc=com\n  scope: 2\n"
                "  derefAliases: 0\n  sizeLimit: 0\n  timeLimit: 0\n  typesOnly: FALSE\n"
                "  filter: (&(objectClass=person)(cn=E*))\n  attributes:\n    -: cn\n    -: mail\n"}});
}

TEST_F(Cli, LdapUpdatesAndSearchesASlapdAsLdapsearchShowsIt) {
    const ldappeer::SlapdServer slapd;
    const std::string url = " ldap://127.0.0.1:" + std::to_string(slapd.Port()) + " ";
    const std::string admin = url + "-D " + ldappeer::kRootDN + " -w " + ldappeer::kRootPassword + " ";
    const std::string ldapsearch = std::string("ldapsearch -LLL -x -H") + url + "-b " + ldappeer::kSuffix + " ";
    const std::string erika = "cn=Erika,dc=example,dc=com";
    const std::string search = "vorlan ldap search" + url + "-b " + ldappeer::kSuffix + " ";
    ExpectAll({
        {"vorlan ldap add" + admin + "dc=example,dc=com objectClass=dcObject objectClass=organization o=Example dc=example"
             " && vorlan ldap add" + admin + erika + " objectClass=person cn=Erika sn=Mustermann 'description=M\xC3\xBCller'"
             " && vorlan ldap add" + admin + "cn=Ann,dc=example,dc=com objectClass=person cn=Ann sn=Lee 'description= x'"
             " && vorlan ldap modify" + admin + erika + " sn=Muster sn=M && vorlan ldap modify --operation add" + admin +
             erika + " telephoneNumber=123 && vorlan ldap delete" + admin + "cn=Ann,dc=example,dc=com",
         0, ""},
        {search + "'(objectClass=*)' >a && " + ldapsearch + "'(objectClass=*)' | cmp - a", 0, ""},
        {search + "'(&(objectClass=person)(sn=M*))' sn description >a && " + ldapsearch +
             "'(&(objectClass=person)(sn=M*))' sn description | cmp - a && cat a",
         0, "sn: M\n"},
        {"vorlan ldap delete" + url + "-D " + ldappeer::kRootDN + " -w wrong " + erika, 1, "bind failed: result code 49"},
        {"vorlan ldap add" + admin + erika + " objectClass=person cn=Erika sn=M", 1, "add failed: result code 68"},
        {"vorlan ldap search" + url + "-b dc=nowhere '(cn=x)'", 1, "search failed: result code 32"},
    });
}

// A server on a port of its own that answers the first request with `reply` (nothing when empty)
// and then waits until the client goes.
class FakeLdapServer {
public:
    explicit FakeLdapServer(const std::string& reply) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(m_listener, 1) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            throw std::runtime_error("no listening socket");
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this, reply] {
            pollfd incoming{m_listener, POLLIN, 0};
            if (::poll(&incoming, 1, 60000) != 1) return;  // the client never came
            const int client = ::accept(m_listener, nullptr, nullptr);
            char request[4096];
            if (!reply.empty() && ::recv(client, request, sizeof request, 0) > 0)
                (void)!::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
            while (::recv(client, request, sizeof request, 0) > 0) {
            }
            ::close(client);
        });
    }
    ~FakeLdapServer() {
        m_thread.join();
        ::close(m_listener);
    }
    FakeLdapServer(const FakeLdapServer&) = delete;
    FakeLdapServer& operator=(const FakeLdapServer&) = delete;
    std::string Url() const { return "ldap://127.0.0.1:" + std::to_string(m_port); }

private:
    int m_listener;
    unsigned m_port = 0;
    std::thread m_thread;
};

// What a server sends is printed as LDIF that says only what was sent: attribute types must be
// attribute descriptions (a line break in one would write records of its own), names and values
// that are no safe strings go in base64.
TEST_F(Cli, LdapSearchPrintsServersEntriesAsLdifTheyCannotBreakOutOf) {
    using namespace testcommon::hexder;
    const auto answer = [](const std::string& dn, const std::string& type, const std::string& value) {
        const std::string entry = tlv("64", {str(dn), tlv("30", {tlv("30", {str(type), tlv("31", {str(value)})})})});
        const testcommon::Octets octets =
            testcommon::FromHex(ldappeer::message(entry) + ldappeer::message(tlv("65", {ldappeer::result()})));
        return std::string(octets.begin(), octets.end());
    };
    struct Row {
        std::string dn, type, value, out, err;
    };
    std::vector<Row> rows = {
        {"cn=x", "cn", "plain", "dn: cn=x\ncn: plain\n\n", ""},
        {"cn=x", "cn;lang-de;x-2", "a\nb", "dn: cn=x\ncn;lang-de;x-2:: YQpi\n\n", ""},
        {"cn=x", "2.5.4.3", " lead", "dn: cn=x\n2.5.4.3:: IGxlYWQ=\n\n", ""},
        {"cn=a\ndn: cn=evil", "c-n2", "v", "dn:: Y249YQpkbjogY249ZXZpbA==\nc-n2: v\n\n", ""},
        {"cn=x", "cn\ndn: cn=evil", "v", "", "attribute description: \"cn\\x0Adn: cn=evil\""},
    };
    for (const char* type : {"cn: x", "cn;", "cn;a;", "1cn", "2.05.4", "2.", "2", "c_n", ""})
        rows.push_back({"cn=x", type, "v", "", "attribute description"});
    for (const auto& row : rows) {
        const FakeLdapServer server(answer(row.dn, row.type, row.value));
        const Result r = Shell("vorlan ldap search " + server.Url() + " -b dc=x '(cn=*)'");
        EXPECT_EQ(r.out, row.out) << row.type;
        if (row.err.empty()) {
            EXPECT_EQ(r.status, 0) << row.type << "\n" << r.err;
        } else {
            EXPECT_EQ(r.status, 1) << row.type;
            EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        }
    }
}

// A server that accepts and never answers ends the command with one line and status 1 instead
// of holding it forever (what it waited is not asserted: a loaded machine stretches it).
TEST_F(Cli, LdapCommandsGiveUpOnASilentServer) {
    for (const std::string command : {"search --timeout 1 -b dc=x '(cn=*)'", "delete --timeout 1 cn=x"}) {
        const FakeLdapServer silent("");
        const std::string verb = command.substr(0, command.find(' '));
        const Result r = Shell("vorlan ldap " + verb + " " + silent.Url() + command.substr(verb.size()));
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_TRUE(r.err.rfind("vorlan: the server did not answer", 0) == 0 &&
                    std::count(r.err.begin(), r.err.end(), '\n') == 1) << r.err;
    }
}

TEST_F(Cli, CertificatesListsAndRequestsWithOctetsAfterTheirDerAreRefused) {
    const std::string der = " --outform der -o ";
    ASSERT_EQ(Shell("vorlan keygen --bits 512 -o key.bin && vorlan cert sign --self --key key.bin --subject /CN=CA" + der +
                    "cert && vorlan crl sign --issuer-cert cert --key key.bin 0A" + der + "crl && vorlan req new --key "
                    "key.bin --subject /CN=Erika" + der + "req && vorlan cert show cert && vorlan crl show crl && "
                    "vorlan req show req").status, 0);
    for (const auto& [kind, label] : std::initializer_list<std::pair<std::string, const char*>>{
             {"cert", "CERTIFICATE"}, {"crl", "X509 CRL"}, {"req", "CERTIFICATE REQUEST"}}) {
        for (const std::string& trailing : {std::string(1, '\0'), std::string("\x30\x00", 2), std::string("junk")}) {
            const std::string padded = ReadFile(dir / kind) + trailing;
            WriteFile(dir / "padded.der", padded);
            WriteFile(dir / "padded.pem",
                      EncodePem(label, reinterpret_cast<const BYTE*>(padded.data()), static_cast<int>(padded.size())).str());
            for (const std::string name : {"padded.der", "padded.pem"})
                ExpectAll({{"vorlan " + kind + " show " + name + " 2>&1", 1,
                            "vorlan: " + name + ": " + std::to_string(trailing.size()) +
                                (trailing.size() == 1 ? " trailing octet" : " trailing octets") + " after the DER\n"}});
        }
    }
}

TEST_F(Cli, FailuresAreOneLineWithNonZeroStatusAndLeaveNoOutputFile) {
    MakeOpensslCertificates();
    ASSERT_EQ(Shell("vorlan keygen --bits 512 -o key.bin").status, 0);
    Data("plain", 100);
    WriteFile(dir / "notder", "\x30\x85 this is not DER");
    const std::string des3 = "--cipher des3 --key 0123456789abcdeffedcba987654321089abcdef01234567 --iv 0001020304050607";
    ASSERT_EQ(Shell("vorlan encrypt " + des3 + " plain sealed").status, 0);
    const std::string iv8 = " --iv 0001020304050607 ", key16 = " --key 000102030405060708090a0b0c0d0e0f";
    const std::pair<std::string, std::string> rows[] = {
        {"vorlan dump notder", "not valid DER"},
        {"vorlan encrypt --cipher des --key 0102" + iv8 + "plain out", "--key must be 8 octets"},
        {"vorlan encrypt --cipher des --key 01020304050607zz" + iv8 + "plain out", "hexadecimal"},
        {"vorlan encrypt --cipher aes128" + key16 + iv8 + "plain out", "--iv must be 16 octets"},
        {"vorlan encrypt --cipher aes256" + key16 + " --iv" + key16.substr(6) + " plain out", "--key must be 32 octets"},
        {"vorlan decrypt --cipher des3 --key 1123456789abcdeffedcba987654321089abcdef01234567" + iv8 + "sealed out",
         "bad padding"},
        {"vorlan decrypt " + des3 + " plain out", "CheckCiphertextSize"},  // 100 octets: not whole blocks
        {"vorlan encrypt " + des3 + " missing out", "file not found"},
        {"vorlan digest md5 missing", "file not found"},
        {"vorlan rsa plain", "not an RSA key archive"},
        {"vorlan cert show notder", "notder: "},
        {"vorlan cert show leaf.key", "no PEM block \"CERTIFICATE\""},
        {"vorlan cert verify ca.pem --issuer leaf.pem", "its issuer is not the subject of leaf.pem"},
        {"vorlan cert verify leaf.pem --issuer other.pem", "the signature does not verify with the key of other.pem (signature differs)"},
        {"vorlan cert verify old.der", "not valid now (valid from "},
        {"vorlan cert sign --self --key key.bin --subject CN=x -o out", "--subject must read /type=value/"},
        {"vorlan cert sign --self --key key.bin --subject /XX=1 -o out", "unknown attribute type \"XX\""},
        {"vorlan cert sign --self --key key.bin --subject /CN=x/O -o out", "\"O\" is not type=value"},
        {"vorlan cert sign --self --key key.bin --subject /CN=x --days 9000 -o out", "before 2050"},
        {"vorlan cert sign --self --key plain --subject /CN=x -o out", "not an RSA key archive"},
        {"vorlan cert sign --self --key key.bin --subject /CN=x --email 'j\xC3\xBC@example.org' -o out",
         "GeneralName cannot be written: rfc822Name is not IA5 text"},
        {"vorlan crl show leaf.pem", "no PEM block \"X509 CRL\""},
        {"vorlan cert sign --key key.bin -o out", "cert sign needs either --self or --req"},
        {"vorlan cert sign --req leaf.pem --issuer-cert ca.pem --key key.bin -o out", "no PEM block \"CERTIFICATE REQUEST\""},
        {"vorlan crl sign --issuer-cert ca.pem --key key.bin 01 -o out", "key.bin: not the key of ca.pem"},
        {"vorlan req new --key leaf.pem --subject /CN=x -o out", "not an RSA key archive"},
        {"vorlan smime verify notder", "notder: "},
        {"vorlan smime decrypt notder --recip leaf.pem --key key.bin -o out", "key.bin: not the key of leaf.pem"},
        {"vorlan keystore add out -p x --name n --key plain", "not an RSA key archive"},
        {"vorlan ldap decode notder", "notder: not an LDAP message"},
        {"vorlan ldap search ldap://127.0.0.1:1 -b dc=x '(cn=x'", "offset"},
        {"vorlan ldap search ldap://127.0.0.1:1 -b dc=x '(cn=x)'", "Connection refused"},
        {"vorlan ldap add ldap://127.0.0.1:1 cn=x cn", "\"cn\" is not type=value"},
    };
    for (const auto& [line, message] : rows) {
        const Result r = Shell(line);
        EXPECT_NE(r.status, 0) << line;
        EXPECT_NE(r.err.find(message), std::string::npos) << line << "\n" << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        for (const auto& entry : fs::directory_iterator(dir))
            EXPECT_EQ(entry.path().filename().string().rfind("out", 0), std::string::npos) << line;
    }
}

}  // namespace
