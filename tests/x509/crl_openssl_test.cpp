// Revocation lists with OpenSSL both ways: lists of `openssl ca -gencrl` (version 1) with 0, 1
// and thousands of entries, and version 2 lists (a CRL number, reason codes), read entry by
// entry as `openssl crl -text` shows them, verified against the CA, asked about certificates
// the CA issued and written back as received; lists made and signed here pass `openssl crl
// -CAfile` and print as written.
#include <ctime>
#include <sstream>

#include "peer.h"
#include "vorlan/x509/asn1crl.h"
#include "vorlan/x509/certificaterevocationlist.h"

namespace x509test {
namespace {

struct CA {
    fs::path dir = InScratch("ca");
    std::string key = KeyFile(2048);
    std::string pem = (dir / "ca.pem").string();
    Octets der;

    CA() {
        fs::create_directories(dir);
        Run("openssl req -x509 -new -key " + key + " -subj '/C=DE/CN=Vorlan CRL CA' -sha1 -days 30 -out " + pem);
        Run("openssl x509 -in " + pem + " -outform DER -out " + (dir / "ca.der").string());
        der = ReadFile(dir / "ca.der");
        const std::string config = "[ca]\ndefault_ca=ca\n[ca]\ndatabase=" + (dir / "index.txt").string() +
                                   "\ncertificate=" + pem + "\nprivate_key=" + key + "\ndefault_crl_days=30\n";
        WriteFile(dir / "ca.cnf", Octets(config.begin(), config.end()));
    }

    // The list of `openssl ca -gencrl` revoking the serials (hex) on successive dates, as DER;
    // with `reason`, a version 2 list with a CRL number (0x1000) and that reason on each entry.
    Octets List(const std::vector<std::string>& serials, const std::string& digest, const std::string& reason = "") const {
        std::string index;
        for (std::size_t i = 0; i < serials.size(); ++i) {
            char date[16];
            std::snprintf(date, sizeof date, "2401%02zu%02zu%02zu%02zuZ", 1 + i % 28, i / 3600 % 24, i / 60 % 60,
                          i % 60);
            index += "R\t300101000000Z\t" + std::string(date) + (reason.empty() ? "" : "," + reason) + "\t" +
                     serials[i] + "\tunknown\t/CN=r" + std::to_string(i) + "\n";
        }
        WriteFile(dir / "index.txt", Octets(index.begin(), index.end()));
        std::string config = "ca.cnf";
        if (!reason.empty()) {
            WriteFile(dir / "crlnumber", Octets{'1', '0', '0', '0', '\n'});
            const Octets base = ReadFile(dir / "ca.cnf");
            std::string numbered = std::string(base.begin(), base.end()) + "crlnumber=" + (dir / "crlnumber").string() + "\n";
            WriteFile(dir / "ca2.cnf", Octets(numbered.begin(), numbered.end()));
            config = "ca2.cnf";
        }
        const std::string pemList = (dir / "crl.pem").string(), derList = (dir / "crl.der").string();
        Run("openssl ca -config " + (dir / config).string() + " -gencrl -md " + digest + " -out " + pemList);
        Run("openssl crl -in " + pemList + " -outform DER -out " + derList);
        return ReadFile(derList);
    }

    // A certificate of the CA with the given serial number (hex).
    Octets Issue(const std::string& serial) const {
        const fs::path csr = dir / "leaf.csr", out = dir / "leaf.der";
        Run("openssl req -new -key " + KeyFile(512, 3) + " -subj /CN=Leaf -out " + csr.string());
        Run("openssl x509 -req -in " + csr.string() + " -CA " + pem + " -CAkey " + key + " -sha1 -set_serial 0x" +
            serial + " -days 30 -outform DER -out " + out.string());
        return ReadFile(out);
    }
};

std::time_t PeerTime(const std::string& text) {
    struct tm fields {};
    strptime(text.c_str(), "%b %d %H:%M:%S %Y GMT", &fields);
    return timegm(&fields);
}

CCertificateRevocationList ReadList(const Octets& der) {
    CDEREncoding encoding(0, const_cast<unsigned char*>(der.data()), der.size(), 0, 1);
    encoding.AddRef();
    CCertificateRevocationList crl;
    CASN1_CertificateRevocationList(encoding).SetDataTo(crl);
    return crl;
}

// The entries `openssl crl -text` shows: serial text and revocation time, in order.
std::vector<std::pair<std::string, std::time_t>> PeerEntries(const fs::path& der) {
    std::istringstream text(Run("openssl crl -inform DER -noout -text -in " + der.string()));
    std::vector<std::pair<std::string, std::time_t>> entries;
    for (std::string line; std::getline(text, line);) {
        if (const auto at = line.find("Serial Number: "); at != std::string::npos)
            entries.emplace_back(line.substr(at + 15), 0);
        if (const auto at = line.find("Revocation Date: "); at != std::string::npos)
            entries.back().second = PeerTime(line.substr(at + 17));
    }
    return entries;
}

TEST(CRLsWithOpenSSL, ListsOfOpenSSLCaReadAsCrlTextShowsThemAndVerifyAgainstTheCA) {
    const CA ca;
    const CCertificate caCertificate = ReadCertificate(ca.der);
    const CCertificate revoked = ReadCertificate(ca.Issue("0A")), kept = ReadCertificate(ca.Issue("0B"));
    std::vector<std::string> thousands{"0A"};
    for (int i = 1; i < 3000; ++i) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "%04X", (i % 2 ? 0x8000 : 0x0100) + i * 7);  // 80..: a zero sign octet
        thousands.push_back(serial);
    }
    const struct {
        const char* name;
        std::vector<std::string> serials;
        const char* digest;
        const char* reason;  // version 2 with a CRL number and this reason on each entry
    } rows[] = {{"no entries", {}, "sha1", ""},
                {"one entry, MD5", {"0A"}, "md5", ""},
                {"3,000 entries", thousands, "sha1", ""},
                {"version 2, 3,000 entries", thousands, "sha1", "keyCompromise"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Octets der = ca.List(row.serials, row.digest, row.reason);
        const CCertificateRevocationList crl = ReadList(der);
        const bool second = *row.reason != 0;
        EXPECT_EQ(crl.m_bVersion, second ? 1 : 0);
        ASSERT_EQ(crl.m_extensions.GetSize(), second ? 1 : 0);
        if (second) {  // the CRL number 0x1000, the reason code keyCompromise (1)
            EXPECT_TRUE(crl.m_extensions[0].m_strIdentifier == "2.5.29.20" && !crl.m_extensions[0].m_bCritical);
            EXPECT_EQ(Octets(crl.m_extensions[0].m_abValue.GetData(), crl.m_extensions[0].m_abValue.GetData() + 4),
                      FromHex("02021000"));
            for (int i = 0; i < crl.m_entries.GetSize(); ++i) {
                const CCertificateExtensionArray& extensions = crl.m_entries[i]->m_extensions;
                ASSERT_EQ(extensions.GetSize(), 1);
                EXPECT_TRUE(extensions[0].m_strIdentifier == "2.5.29.21" && extensions[0].m_abValue.GetSize() == 3 &&
                            extensions[0].m_abValue[2] == 1);
            }
        }
        EXPECT_EQ(crl.HasUnknownCriticalExtension(), 0);
        EXPECT_EQ(crl.IsSignatureOKFor(caCertificate), 1);
        EXPECT_EQ(crl.IsSignatureOKFor(revoked), 0);
        EXPECT_TRUE(crl.m_issuer == caCertificate.m_subject);
        const auto peer = PeerEntries(ca.dir / "crl.der");
        ASSERT_EQ(static_cast<std::size_t>(crl.m_entries.GetSize()), peer.size());
        for (int i = 0; i < crl.m_entries.GetSize(); ++i) {
            EXPECT_EQ(CString(crl.m_entries[i]->m_serialNumber).str(), peer[static_cast<std::size_t>(i)].first);
            EXPECT_EQ(crl.m_entries[i]->m_revocationDate.GetTime(), peer[static_cast<std::size_t>(i)].second);
            EXPECT_EQ(crl.FindSerial(crl.m_entries[i]->m_serialNumber), i);
        }
        const std::string text = x509test::Run("openssl crl -inform DER -noout -lastupdate -nextupdate -in " +
                                               (ca.dir / "crl.der").string());
        EXPECT_EQ(crl.m_lastUpdate.GetTime(), PeerTime(text.substr(text.find('=') + 1)));
        EXPECT_EQ(crl.m_nextUpdate.GetTime(), PeerTime(text.substr(text.rfind('=') + 1)));
        EXPECT_EQ(revoked.IsPresentInCRL(crl), row.serials.empty() ? 0 : 1);
        EXPECT_EQ(kept.IsPresentInCRL(crl), 0);
        if (!row.serials.empty()) {
            EXPECT_EQ(Encoded(CASN1_CertificateRevocationList(crl)), der);
        }
    }
}

TEST(CRLsWithOpenSSL, OurListsPassOpenSSLCrlVerifyAndPrintAsWritten) {
    const CA ca;
    CCertificateRevocationList crl;
    crl.m_issuer = ReadCertificate(ca.der).m_subject;
    crl.m_lastUpdate.SetTime(std::time(nullptr) - 60);
    crl.m_nextUpdate.SetTime(std::time(nullptr) + 86400);
    const BYTE serials[][2] = {{0x0A, 0xFF}, {0x00, 0x80}, {0x05, 0}};
    const std::time_t dates[] = {1700000000, 1700000000, 2900000000};  // the last one in 2061: GeneralizedTime
    for (int i = 0; i < 3; ++i)
        crl.m_entries.Add(new CCRLEntry(CSerialNumber(serials[i], serials[i][1] ? 2 : 1), CUTCTime(dates[i])));
    crl.m_entries[2]->m_serialNumber.m_bNegative = 1;
    crl.SignWith(PrivateKeyOf(ca.key), 3);
    const fs::path der = ca.dir / "ours.der";
    WriteFile(der, Encoded(CASN1_CertificateRevocationList(crl)));
    int status = 0;
    const std::string verdict =
        x509test::Run("openssl crl -inform DER -in " + der.string() + " -CAfile " + ca.pem + " -noout", true, &status);
    EXPECT_EQ(status, 0) << verdict;
    EXPECT_NE(verdict.find("verify OK"), std::string::npos) << verdict;
    const auto peer = PeerEntries(der);
    ASSERT_EQ(peer.size(), 3u);
    const char* shown[] = {"0AFF", "80", "-05"};
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(peer[i], std::make_pair(std::string(shown[i]), dates[i]));
    const std::string text = x509test::Run("openssl crl -inform DER -noout -text -in " + der.string());
    EXPECT_NE(text.find("sha256WithRSAEncryption"), std::string::npos) << text;
    EXPECT_NE(text.find("Version 1 (0x0)"), std::string::npos) << text;
    EXPECT_NE(text.find("Issuer: C = DE, CN = Vorlan CRL CA"), std::string::npos) << text;
}

}  // namespace
}  // namespace x509test
