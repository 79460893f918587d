// Paths made by `openssl ca` in a scratch folder — a root, an intermediate and users, the lists of
// both CAs, a revoked user, one on hold, one removeFromCRL names, an expired one, users of a CA
// whose name constraints permit the addresses of one domain, a revoked intermediate, a root
// cross-signed by another — each judged by `openssl verify -x509_strict -crl_check_all` and by
// path validation with lists required: the same verdict, and for a refusal the same depth.
// Then the library's own: a trust store loaded from a bundle with a damaged block, and lists not
// required.

#include "tests/x509/peer.h"
#include "vorlan/x509/pathvalidation.h"

namespace {

using namespace x509test;

const char kConfig[] = R"([ca]
default_ca = ca_section
[ca_section]
dir = .
database = $dir/index.txt
new_certs_dir = $dir
serial = $dir/serial
crlnumber = $dir/crlnumber
default_md = sha256
default_days = 3650
default_crl_days = 30
policy = any_name
unique_subject = no
copy_extensions = none
[any_name]
commonName = supplied
emailAddress = optional
[ca_ext]
basicConstraints = critical,CA:true
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[mail_ca_ext]
basicConstraints = critical,CA:true
keyUsage = critical,keyCertSign,cRLSign
nameConstraints = critical,permitted;email:example.com
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[user_ext]
basicConstraints = critical,CA:false
keyUsage = critical,digitalSignature
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
)";

// A CA of `openssl ca` in its own folder under the scratch folder: its key, its certificate and
// its database, so that it issues and revokes and writes lists.
class PeerCA {
public:
    PeerCA(const std::string& name, const PeerCA* issuer, const std::string& extensions = "ca_ext")
        : m_dir(InScratch("pki") / name), m_name(name) {
        fs::create_directories(m_dir);
        WriteFile(m_dir / "openssl.cnf", std::string(kConfig));
        WriteFile(m_dir / "index.txt", std::string());
        WriteFile(m_dir / "serial", std::string(name == "root" ? "10\n" : name == "other" ? "20\n" : "30\n"));
        WriteFile(m_dir / "crlnumber", std::string("01\n"));
        Run("openssl genrsa -out key.pem 2048");
        Run("openssl req -new -key key.pem -subj '/O=Vorlan Peer/CN=" + name + "' -out req.pem");
        if (issuer)
            issuer->Issue(m_dir / "req.pem", m_dir / "cert.pem", extensions);
        else
            Run("openssl ca -batch -config openssl.cnf -selfsign -keyfile key.pem -in req.pem -extensions ca_ext "
                "-out cert.pem");
    }

    // A certificate for the request, with the extensions section and, optionally, its dates.
    void Issue(const fs::path& request, const fs::path& out, const std::string& extensions,
               const std::string& dates = "") const {
        Run("openssl ca -batch -config openssl.cnf -cert cert.pem -keyfile key.pem -in " + request.string() +
            " -extensions " + extensions + " " + dates + " -out " + out.string());
    }
    // A user of this CA under `name`.pem (key `name`.key), its subject's common name `name` and
    // more attributes after it ("/emailAddress=...").
    fs::path User(const std::string& name, const std::string& dates = "", const std::string& more = "") const {
        const fs::path dir = m_dir.parent_path();
        Run("openssl req -new -newkey rsa:2048 -nodes -keyout " + (dir / (name + ".key")).string() + " -subj '/CN=" +
            name + more + "' -out " + (dir / (name + ".req")).string());
        Issue(dir / (name + ".req"), dir / (name + ".pem"), "user_ext", dates);
        return dir / (name + ".pem");
    }
    void Revoke(const fs::path& certificate, const std::string& reason = "keyCompromise") const {
        Run("openssl ca -config openssl.cnf -cert cert.pem -keyfile key.pem -revoke " + certificate.string() +
            " -crl_reason " + reason);
    }
    // The current list, as PEM.
    fs::path List() const {
        Run("openssl ca -gencrl -config openssl.cnf -cert cert.pem -keyfile key.pem -out crl.pem");
        return m_dir / "crl.pem";
    }
    fs::path Certificate() const { return m_dir / "cert.pem"; }
    const fs::path& Dir() const { return m_dir; }

private:
    void Run(const std::string& command) const { Shell("cd '" + m_dir.string() + "' && " + command); }

    fs::path m_dir;
    std::string m_name;
};

Octets DerOf(const fs::path& pem) {
    const fs::path der = InScratch("one.der");
    Shell("openssl x509 -in " + pem.string() + " -outform DER -out " + der.string());
    return ReadFile(der);
}
Octets ListDerOf(const fs::path& pem) {
    const fs::path der = InScratch("one.crl");
    Shell("openssl crl -in " + pem.string() + " -outform DER -out " + der.string());
    return ReadFile(der);
}

// The depth of a case the library judges as OpenSSL does.
constexpr int kAsPeer = -3;

struct Case {
    std::string name;
    fs::path certificate;
    std::vector<fs::path> anchors, untrusted, lists;
    int depth = kAsPeer;  // else the library's verdict where OpenSSL's differs (-1 valid)
    std::optional<ECRLReason> reason = std::nullopt;  // of a revocation, as openssl ca wrote it
};

// OpenSSL's verdict: -1 when valid, else the depth it names.
int PeerDepth(const Case& c) {
    const fs::path anchors = InScratch("anchors.pem"), untrusted = InScratch("untrusted.pem"), lists = InScratch("lists.pem");
    const auto join = [](const std::vector<fs::path>& files, const fs::path& into) {
        std::string all;
        for (const fs::path& file : files) all += Shell("cat " + file.string());
        WriteFile(into, all);
    };
    join(c.anchors, anchors);
    join(c.untrusted, untrusted);
    join(c.lists, lists);
    int status = 0;
    const std::string out = Shell("openssl verify -x509_strict -crl_check_all -CAfile " + anchors.string() +
                                      (c.untrusted.empty() ? "" : " -untrusted " + untrusted.string()) +
                                      (c.lists.empty() ? "" : " -CRLfile " + lists.string()) + " " +
                                      c.certificate.string(),
                                  &status);
    if (status == 0) return -1;
    const size_t at = out.find(" at ");
    EXPECT_NE(at, std::string::npos) << out;
    return at == std::string::npos ? -2 : std::stoi(out.substr(at + 4));
}

CPathResult LibraryVerdict(const Case& c) {
    CCertificateStore anchors, pool;
    CRevocationLists lists;
    for (const fs::path& file : c.anchors) {
        const Octets der = DerOf(file);
        EXPECT_TRUE(anchors.AddDer(der.data(), static_cast<int>(der.size())));
    }
    for (const fs::path& file : c.untrusted) {
        const Octets der = DerOf(file);
        EXPECT_TRUE(pool.AddDer(der.data(), static_cast<int>(der.size())));
    }
    for (const fs::path& file : c.lists) {
        const Octets der = ListDerOf(file);
        lists.AddDer(der.data(), static_cast<int>(der.size()));
    }
    CPathValidator validator(anchors, &pool, &lists);
    validator.m_options.requireRevocationLists = true;
    const Octets der = DerOf(c.certificate);
    const CPathCertificate end(der.data(), static_cast<int>(der.size()));
    return validator.Validate(end);
}

TEST(PathPeer, VerdictsAreOpenssls) {
    const PeerCA root("root", nullptr), other("other", nullptr);
    const PeerCA inter("inter", &root);
    const fs::path good = inter.User("good"), revoked = inter.User("revoked"), held = inter.User("held"),
                   removed = inter.User("removed"),
                   expired = inter.User("expired", "-startdate 20200101000000Z -enddate 20200201000000Z");
    inter.Revoke(revoked);
    inter.Revoke(held, "certificateHold");
    inter.Revoke(removed, "removeFromCRL");  // in a full list: no revocation
    // root, cross-signed by other: the same subject and key, issued by other.
    other.Issue(root.Dir() / "req.pem", root.Dir() / "cross.pem", "ca_ext");
    const fs::path cross = root.Dir() / "cross.pem";
    const fs::path interList = inter.List(), rootList = root.List(), otherList = other.List();
    // A second intermediate of the same root, revoked by it.
    const PeerCA gone("gone", &root);
    const fs::path orphan = gone.User("orphan");
    const fs::path goneList = gone.List();
    // A CA for the addresses of example.com, and users whose subjects carry their addresses.
    const PeerCA mail("mail", &root, "mail_ca_ext");
    const fs::path inside = mail.User("inside", "", "/emailAddress=erika@example.com"),
                   outside = mail.User("outside", "", "/emailAddress=erika@example.org");
    const fs::path mailList = mail.List();
    root.Revoke(gone.Certificate());
    const fs::path rootListAfter = InScratch("root-after.pem");
    fs::copy_file(root.List(), rootListAfter);

    const std::vector<Case> cases = {
        {"user, intermediate, root", good, {root.Certificate()}, {inter.Certificate()}, {interList, rootList}},
        {"revoked user", revoked, {root.Certificate()}, {inter.Certificate()}, {interList, rootList}, kAsPeer,
         kKeyCompromise},
        {"user on hold", held, {root.Certificate()}, {inter.Certificate()}, {interList, rootList}, kAsPeer,
         kCertificateHold},
        {"user removed from the list", removed, {root.Certificate()}, {inter.Certificate()}, {interList, rootList}},
        {"expired user", expired, {root.Certificate()}, {inter.Certificate()}, {interList, rootList}},
        {"intermediate's list missing", good, {root.Certificate()}, {inter.Certificate()}, {rootList}},
        {"root's list missing", good, {root.Certificate()}, {inter.Certificate()}, {interList}},
        {"intermediate missing", good, {root.Certificate()}, {}, {interList, rootList}},
        {"another root trusted", good, {other.Certificate()}, {inter.Certificate()}, {interList, rootList}},
        {"cross-signed root to the other root", good, {other.Certificate()}, {inter.Certificate(), cross},
         {interList, rootList, otherList}},
        {"cross-signed root before the self-signed one in the pool", good, {other.Certificate()},
         {cross, inter.Certificate(), root.Certificate()}, {interList, rootList, otherList}},
        // OpenSSL takes the self-signed root of the pool, finds it untrusted and refuses at depth 2
        // without trying the cross-signed certificate of the same name; the library goes on to it.
        {"self-signed root before the cross-signed one in the pool", good, {other.Certificate()},
         {root.Certificate(), inter.Certificate(), cross}, {interList, rootList, otherList}, -1},
        {"both roots trusted", good, {root.Certificate(), other.Certificate()}, {inter.Certificate(), cross},
         {interList, rootList, otherList}},
        {"subject address within the name constraints", inside, {root.Certificate()}, {mail.Certificate()},
         {mailList, rootList}},
        {"subject address outside the name constraints", outside, {root.Certificate()}, {mail.Certificate()},
         {mailList, rootList}},
        {"revoked intermediate", orphan, {root.Certificate()}, {gone.Certificate()}, {goneList, rootListAfter},
         kAsPeer, kKeyCompromise},
    };
    for (const Case& c : cases) {
        const int peer = PeerDepth(c);
        const CPathResult result = LibraryVerdict(c);
        if (c.depth != kAsPeer) {
            EXPECT_NE(peer, c.depth) << c.name << ": OpenSSL agrees now";
            EXPECT_EQ(result.m_nDepth, c.depth) << c.name << ": " << result.m_strReason;
            continue;
        }
        EXPECT_EQ(result.m_nDepth, peer) << c.name << ": " << result.m_strReason;
        EXPECT_EQ(result.IsValid(), peer == -1) << c.name << ": " << result.m_strReason;
        EXPECT_EQ(result.m_revocationReason, c.reason) << c.name << ": " << result.m_strReason;
    }
}

}  // namespace
