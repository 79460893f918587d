// Revocation lists with OpenSSL both ways: lists of `openssl ca -gencrl` (version 1) with 0, 1
// and thousands of entries, and version 2 lists (a CRL number, reason codes), read entry by
// entry as `openssl crl -text` shows them, verified against the CA, asked about certificates
// the CA issued and written back as received; lists made and signed here pass `openssl crl
// -CAfile` and print as written.
#include <ctime>
#include <sstream>

#include "peer.h"

namespace x509test {
namespace {

struct CA {
    fs::path dir = InScratch("ca");
    std::string key = KeyFile(2048);
    std::string pem = (dir / "ca.pem").string();
    Octets der = PeerCertificate(key, "C=DE\nCN=Vorlan CRL CA\n", "-sha1");

    CA() {
        fs::create_directories(dir);
        Shell("openssl x509 -inform DER -in " + InScratch("peer.der").string() + " -out " + pem);
    }

    // The list of `openssl ca -gencrl` revoking the serials (hex) on successive dates, as DER;
    // with `reason`, a version 2 list with a CRL number (0x1000) and that reason on each entry.
    Octets List(const std::vector<std::string>& serials, const std::string& digest, const std::string& reason) const {
        std::string index;
        for (std::size_t i = 0; i < serials.size(); ++i) {
            char date[16];
            std::snprintf(date, sizeof date, "2401%02zu%02zu%02zu%02zuZ", 1 + i % 28, i / 3600 % 24, i / 60 % 60, i % 60);
            index += "R\t300101000000Z\t" + std::string(date) + (reason.empty() ? "" : "," + reason) + "\t" + serials[i] +
                     "\tunknown\t/CN=r" + std::to_string(i) + "\n";
        }
        WriteFile(dir / "index.txt", index);
        WriteFile(dir / "crlnumber", std::string("1000\n"));
        WriteFile(dir / "ca.cnf", "[ca]\ndefault_ca=ca\n[ca]\ndatabase=" + (dir / "index.txt").string() +
                                      "\ncertificate=" + pem + "\nprivate_key=" + key + "\ndefault_crl_days=30\n" +
                                      (reason.empty() ? "" : "crlnumber=" + (dir / "crlnumber").string() + "\n"));
        const std::string pemList = (dir / "crl.pem").string(), derList = (dir / "crl.der").string();
        Shell("openssl ca -config " + (dir / "ca.cnf").string() + " -gencrl -md " + digest + " -out " + pemList);
        Shell("openssl crl -in " + pemList + " -outform DER -out " + derList);
        return ReadFile(derList);
    }
};

std::time_t PeerTime(const std::string& text) {
    struct tm fields {};
    strptime(text.c_str(), "%b %d %H:%M:%S %Y GMT", &fields);
    return timegm(&fields);
}

// The entries `openssl crl -text` shows: serial text and revocation time, in order.
std::vector<std::pair<std::string, std::time_t>> PeerEntries(const fs::path& der) {
    std::istringstream text(Shell("openssl crl -inform DER -noout -text -in " + der.string()));
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
    const auto issued = [&](const char* serial) {
        return ReadCertificate(PeerCertificate(KeyFile(512, 3), "CN=Leaf\n", std::string("-sha1 -set_serial 0x") + serial,
                                               "utf8only", "", "-CA " + ca.pem + " -CAkey " + ca.key));
    };
    const CCertificate revoked = issued("0A"), kept = issued("0B");
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
        std::string reason;  // version 2 with a CRL number and this reason on each entry
    } rows[] = {{"no entries", {}, "sha1", ""},
                {"one entry, MD5", {"0A"}, "md5", ""},
                {"3,000 entries", thousands, "sha1", ""},
                {"version 2, 3,000 entries", thousands, "sha1", "keyCompromise"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Octets der = ca.List(row.serials, row.digest, row.reason);
        const CCertificateRevocationList crl = ReadList(der);
        // Written back from the fields as received: version 2 with the CRL number 0x1000 and reason codes included.
        EXPECT_TRUE(crl.m_bVersion == !row.reason.empty() && crl.m_extensions.GetSize() == !row.reason.empty());
        EXPECT_TRUE(row.serials.empty() || EncodingOf(crl) == der);
        EXPECT_EQ(crl.HasUnknownCriticalExtension(), 0);
        EXPECT_TRUE(crl.IsSignatureOKFor(caCertificate) == 1 && crl.IsSignatureOKFor(revoked) == 0);
        EXPECT_TRUE(crl.m_issuer == caCertificate.m_subject);
        const auto peer = PeerEntries(ca.dir / "crl.der");
        ASSERT_EQ(static_cast<std::size_t>(crl.m_entries.GetSize()), peer.size());
        for (int i = 0; i < crl.m_entries.GetSize(); ++i) {
            EXPECT_EQ(CString(crl.m_entries[i]->m_serialNumber).str(), peer[static_cast<std::size_t>(i)].first);
            EXPECT_EQ(crl.m_entries[i]->m_revocationDate.GetTime(), peer[static_cast<std::size_t>(i)].second);
            EXPECT_EQ(crl.FindSerial(crl.m_entries[i]->m_serialNumber), i);
        }
        const std::string text =
            Shell("openssl crl -inform DER -noout -lastupdate -nextupdate -in " + (ca.dir / "crl.der").string());
        EXPECT_EQ(crl.m_lastUpdate.GetTime(), PeerTime(text.substr(text.find('=') + 1)));
        EXPECT_EQ(crl.m_nextUpdate.GetTime(), PeerTime(text.substr(text.rfind('=') + 1)));
        EXPECT_TRUE(revoked.IsPresentInCRL(crl) == !row.serials.empty() && kept.IsPresentInCRL(crl) == 0);
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
    WriteFile(der, EncodingOf(crl));
    int status = 0;
    const std::string verdict =
        Shell("openssl crl -inform DER -in " + der.string() + " -CAfile " + ca.pem + " -noout", &status);
    EXPECT_TRUE(status == 0 && verdict.find("verify OK") != std::string::npos) << verdict;
    const auto peer = PeerEntries(der);
    ASSERT_EQ(peer.size(), 3u);
    const char* shown[] = {"0AFF", "80", "-05"};
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(peer[i], std::make_pair(std::string(shown[i]), dates[i]));
    const std::string text = Shell("openssl crl -inform DER -noout -text -in " + der.string());
    for (const char* line : {"sha256WithRSAEncryption", "Version 1 (0x0)", "Issuer: C = DE, CN = Vorlan CRL CA"})
        EXPECT_NE(text.find(line), std::string::npos) << text;
}

}  // namespace
}  // namespace x509test
