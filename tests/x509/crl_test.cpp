// Revocation lists and certification chains on their own, and with OpenSSL both ways: lists of
// `openssl ca -gencrl` (versions 1 and 2, up to thousands of entries) read as libcrypto reads
// them and written back as received; lists signed here pass `openssl crl -CAfile`.
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <ctime>
#include <map>

#include "peer.h"
#include "vorlan/x509/certificationchain.h"
#include "vorlan/x509/extensionvalues.h"

namespace x509test {
namespace {

Octets Time(const std::string& text) { return Text(0x17, text); }
Octets Entry(const Octets& serial, const std::string& date = "990101000000Z", const Octets& extensions = {}) {
    return Seq({Tlv(0x02, serial), Time(date), extensions});
}
// tbsCertList: `version` (none: none), algorithm, issuer, both times, then `rest`.
std::vector<Octets> Fields(const std::vector<Octets>& rest, const Octets& version = {},
                           const Octets& algorithm = kSha1WithRSA, const std::string& nextUpdate = "480305140709Z") {
    std::vector<Octets> fields{version, algorithm, Name("CA"), Time("980305140709Z"), Time(nextUpdate)};
    if (version.empty()) fields.erase(fields.begin());
    fields.insert(fields.end(), rest.begin(), rest.end());
    return fields;
}
Octets List(const std::vector<Octets>& tbs, const Octets& signature = kSignature, const Octets& more = {}) {
    return Seq({Seq(tbs), kSha1WithRSA, signature, more});
}
// Extensions: the CRL number 5, a reason code (keyCompromise), a critical delta list indicator.
const Octets kNumber = Seq({FromHex("0603551d14"), FromHex("0403020105")});
const Octets kReason = Seq({FromHex("0603551d15"), FromHex("04030a0101")});
const Octets kDelta = Seq({FromHex("0603551d1b"), FromHex("0101ff"), FromHex("0403020104")});
// A version 2 list of `entries` with the list's extensions [0] (none: none).
Octets List2(const std::vector<Octets>& entries, const std::vector<Octets>& extensions = {kNumber}) {
    return List(Fields({Seq(entries), extensions.empty() ? Octets{} : Tlv(0xA0, Seq(extensions))}, Tlv(0x02, {1})));
}

CSerialNumber Serial(const Octets& magnitude, bool negative = false) {
    CSerialNumber serial(magnitude.data(), static_cast<int>(magnitude.size()));
    serial.m_bNegative = negative;
    return serial;
}
CCertificateRevocationList Sample(std::initializer_list<CSerialNumber> serials = {Serial({0x0A, 0xFF})}) {
    CCertificateRevocationList crl;
    crl.m_issuer = NameOf("CA");
    crl.m_lastUpdate = CString("980305140709Z"), crl.m_nextUpdate = CString("480305140709Z");
    for (const CSerialNumber& serial : serials)
        crl.m_entries.Add(new CCRLEntry(serial, CUTCTime(CString("990101000000Z"))));
    return crl;
}
using PeerList = std::unique_ptr<X509_CRL, decltype(&X509_CRL_free)>;
PeerList PeerListOf(const Octets& der) {
    const unsigned char* at = der.data();
    return {d2i_X509_CRL(nullptr, &at, static_cast<long>(der.size())), X509_CRL_free};
}
// Everything a list holds, for comparisons: text, signature fields and digests.
std::string State(const CCertificateRevocationList& crl) { return CString(crl).str() + SignedState(crl); }

// A reason from "." or ":" on follows "CRL contents is not valid (CertificateList": the shape's;
// another is the conversion's, which then changes nothing; empty: both pass.
const ShapeRow kShapes[] = {
    {"no version, one entry", List(Fields({Seq({Entry({5})})})), ""},
    {"version 0, no revokedCertificates", List(Fields({}, Tlv(0x02, {0}))), ""},
    {"version 2 list with entry and list extensions", List2({Entry({5}, "990101000000Z", Seq({kReason}))}), ""},
    {"version 2 list, extension twice", List2({}, {kNumber, kNumber}),
     ".tbsCertList.crlExtensions: Extension 2.5.29.20 appears twice)"},
    {"entry extension without value", List2({Entry({5}, "990101000000Z", Seq({Seq({FromHex("0603551d15")})}))}),
     ".tbsCertList.revokedCertificates.crlEntry.crlEntryExtensions.extnValue is missing)"},
    {"version 3 (INTEGER 2)", List(Fields({Seq({})}, Tlv(0x02, {2}))), ".tbsCertList.version is not valid)"},
    {"no lastUpdate", List({kSha1WithRSA, Name("CA"), Seq({Entry({5})})}),
     ".tbsCertList.lastUpdate: identifier 0x17 expected, 0x10 found)"},
    {"lastUpdate out of shape", List({kSha1WithRSA, Name("CA"), Time("98030514070Z"), Time("480305140709Z")}),
     ".tbsCertList.lastUpdate is not valid)"},
    {"entry extensions", List(Fields({Seq({Entry({5}), Seq({Tlv(0x02, {6}), Time("990101000000Z"), Seq({})})})})),
     ".tbsCertList.revokedCertificates.crlEntry: unexpected component 0x10 after the last field)"},
    {"list extensions", List(Fields({Seq({}), FromHex("a0023000")})),
     ".tbsCertList: unexpected component 0x80 after the last field)"},
    {"signature of 4 unused bits (kept, never verifies)", List(Fields({}), FromHex("030204f0")), ""},
    {"a fourth component", List(Fields({}), kSignature, FromHex("0500")),
     ": unexpected component 0x05 after the last field)"},
    {"SHA-224", List(Fields({}, {}, kSha224WithRSA)),
     "CASN1_CertificateRevocationListData::SetDataTo - unknown signature algorithm"},
    {"month 13", List(Fields({}, {}, kSha1WithRSA, "481305140709Z")),
     "CASN1_UTCTime::SetDataTo - invalid contents (nextUpdate)"},
    {"revoked in month 13", List(Fields({Seq({Entry({5}), Entry({6}, "991301000000Z")})})),
     "revokedCertificates: CASN1_UTCTime::SetDataTo - invalid contents (revocationDate)"},
    {"2,056-bit serial", List(Fields({Seq({Entry(Concat({{1}, Octets(256, 0)}))})})),
     "revokedCertificates: Serial number longer than 2048 bits (userCertificate)"},
    {"4,104-bit signature", List(Fields({}), Tlv(0x03, Octets(514, 0))),
     "CRL contents is not valid (cannot get signature)"},
    {"signed with MD5, said SHA-1 outside",
     List(Fields({}, {}, Seq({FromHex("06092a864886f70d010104"), FromHex("0500")}))),
     "CRL contents is not valid (signatureAlgorithm differs from the signature algorithm of the signed part)"},
    {"NULL parameters outside, none inside", List(Fields({}, {}, Seq({FromHex("06092a864886f70d010105")}))),
     "CRL contents is not valid (signatureAlgorithm differs from the signature algorithm of the signed part)"},
};

using CRLShapes = testing::TestWithParam<ShapeRow>;
TEST_P(CRLShapes, ShapesAndConversionsNameTheFailingField) {
    const ShapeRow& row = GetParam();
    const bool shape = row.reason.find_first_of(".:") == 0;
    const auto decode = [](CDEREncoding& e) { CASN1_CertificateRevocationList list(e); };
    EXPECT_EQ(DecodingReason([&] { OnEncoding(row.der, decode); }),
              shape ? "CRL contents is not valid (CertificateList" + row.reason : "");
    CASN1_SEQUENCE plain;
    Decode(plain, row.der);
    EXPECT_EQ(CASN1_CertificateRevocationList::isValid(&plain, 0), !shape);
    CCertificateRevocationList original = ReadList(List(Fields({Seq({Entry({7}), Entry({8})})})));
    original.SignWith(PrivateKeyOf(KeyFile(512, 3)));
    CCertificateRevocationList target = original;
    EXPECT_EQ(shape ? row.reason : ReadInto(target, row.der), row.reason);
    EXPECT_TRUE(row.reason.empty() || State(target) == State(original));
}
INSTANTIATE_TEST_SUITE_P(Shapes, CRLShapes, testing::ValuesIn(kShapes), RowName());

TEST(CRLStructure, ScannedListsActAsDecodedValues) {
    // Plain DER is scanned and its components built on first use; the indefinite form goes
    // through the generic decoder. Both read, encode, copy and check alike.
    const Octets der = List(Fields({Seq({Entry({5}), Entry({0xFF, 0x01}, "9901010000+0100")})}));
    const size_t header = 2 + (der[1] & 0x80 ? der[1] & 0x7F : 0);
    const Octets ber = Concat({FromHex("3080"), Octets(der.begin() + header, der.end()), FromHex("0000")});
    for (const Octets& octets : {der, ber}) {
        CDEREncoding encoding(0, const_cast<unsigned char*>(octets.data()), octets.size(), 0, 1);
        encoding.AddRef();
        const CASN1_CertificateRevocationList value(encoding);
        CCertificateRevocationList crl;
        value.SetDataTo(crl);
        EXPECT_EQ(State(crl), State(ReadList(der)));
        EXPECT_EQ(Encoded(CASN1_CertificateRevocationList(value)), octets);
        EXPECT_TRUE(value.GetCount() == 3 && CASN1_CertificateRevocationList::isValid(&value, 0) == 1);
    }
    // Through its base classes a scanned list shows its components too: counted, copied, moved.
    const auto scanned = [&] { return OnEncoding(der, [](CDEREncoding& e) { return CASN1_CertificateRevocationList(e); }); };
    const CASN1_CertificateRevocationList counted = scanned(), copied = scanned();
    EXPECT_EQ(static_cast<const CASN1_CONSTRUCTED_TYPE&>(counted).GetCount(), 3);
    EXPECT_EQ(Encoded(CASN1_SEQUENCE(copied)), der);
    CASN1_SEQUENCE moved;
    EXPECT_TRUE(moved.moveFrom(new CASN1_CertificateRevocationList(scanned())) == 1 && Encoded(moved) == der);
    EXPECT_EQ(ReadList(der).m_entries[1]->m_revocationDate.m_wZoneMinutes, 60);
}

TEST(CRLStructure, ConversionsWriteWhatTheyRead) {
    // No entries, with or without revokedCertificates: written back as it came (so that its
    // signature still holds), also after archiving; a new list writes the empty SEQUENCE.
    for (const Octets& der : {List(Fields({})), List(Fields({Seq({})}))}) {
        const CCertificateRevocationList empty = ReadList(der);
        CCertificateRevocationList loaded;
        EXPECT_TRUE(empty.m_entries.GetSize() == 0 && EncodingOf(empty) == der);
        EXPECT_TRUE(LoadInto(loaded, Stored(empty)) == kNothingThrown && EncodingOf(loaded) == der);
    }
    const Octets data = Encoded(CASN1_CertificateRevocationListData(CCertificateRevocationList()));
    EXPECT_EQ(Octets(data.end() - 2, data.end()), FromHex("3000"));
    // Times past 2049 come as GeneralizedTime and are written back as they came.
    const Octets later = List({kSha1WithRSA, Name("CA"), Time("980305140709Z"), Text(0x18, "20500305140709Z"),
                               Seq({Seq({Tlv(0x02, {9}), Text(0x18, "20600101000000Z")})})});
    EXPECT_EQ(EncodingOf(ReadList(later)), later);
}

TEST(CRLVersion2, ExtensionsAreReadKeptAndWrittenBackAndUnknownCriticalOnesReported) {
    const Octets der = List2({Entry({5}, "990101000000Z", Seq({kReason})), Entry({6})});
    const CCertificateRevocationList crl = ReadList(der);
    // Written from the fields: the version and each extension's identifier, flag and value read right.
    EXPECT_TRUE(EncodingOf(crl) == der && EncodingOf(CCertificateRevocationList(crl)) == der);
    EXPECT_EQ(crl.HasUnknownCriticalExtension(), 0);
    CCertificateRevocationList loaded;
    EXPECT_TRUE(LoadInto(loaded, Stored(crl)) == kNothingThrown && EncodingOf(loaded) == der);

    // A delta list, a scoped one, or an entry of another issuer: the list means more than its
    // entries say. A malformed value of an extension read, critical or not: it says nothing sure.
    const Octets issuer = Seq({FromHex("0603551d1d"), FromHex("0101ff"), Tlv(0x04, Seq({Tlv(0x82, Text(0x16, "x"))}))});
    const Octets scope = Seq({FromHex("0603551d1c"), FromHex("0101ff"), Tlv(0x04, Seq({FromHex("8201ff")}))});
    const Octets badNumber = Seq({FromHex("0603551d14"), Tlv(0x04, FromHex("0201ff"))});
    const Octets badReason = Seq({FromHex("0603551d15"), Tlv(0x04, FromHex("0a0107"))});
    for (const Octets& critical : {List2({}, {kNumber, kDelta}), List2({Entry({5}, "990101000000Z", Seq({issuer}))}),
                                   List2({}, {kNumber, scope}), List2({}, {badNumber}),
                                   List2({Entry({5}, "990101000000Z", Seq({badReason}))})}) {
        const CCertificateRevocationList unknown = ReadList(critical);
        EXPECT_TRUE(unknown.HasUnknownCriticalExtension() == 1 && EncodingOf(unknown) == critical);
    }

    // Version 1 stays without: extensions there cannot be written.
    CCertificateRevocationList first = crl;
    first.m_bVersion = 0;
    EXPECT_EQ(DecodingReason([&] { CASN1_CertificateRevocationList structure(first); }),
              "CertificateRevocationListData cannot be written: version 1 with extensions");
    first.m_extensions.RemoveAll();
    for (int i = 0; i < first.m_entries.GetSize(); ++i) first.m_entries[i]->m_extensions.RemoveAll();
    EXPECT_EQ(EncodingOf(first), List(Fields({Seq({Entry({5}), Entry({6})})})));
}

TEST(CRLSignature, ShortSignatureForgedForAnExponentThreeIssuerIsRefused) {
    // An empty list would un-revoke everything the issuer revoked. Read, a list takes its own
    // decoding path (scanned from its octets) to the same check.
    const CRSAPrivateKey issuer = PrivateKeyOf(KeyFile(2048, 3));
    CCertificateRevocationList forged = Sample({});
    Octets block;
    for (;; --forged.m_lastUpdate) {  // odd blocks have a cube root
        block = Concat({FromHex("0001ffffffff00 3021300906052b0e03021a05000414"),
                        Sha1(Encoded(CASN1_CertificateRevocationListData(forged)))});
        if (block.back() & 1) break;
    }
    PlaceForgery(forged, block, issuer);
    EXPECT_EQ(forged.IsSignatureOKFor(issuer) + ReadList(EncodingOf(forged)).IsSignatureOKFor(issuer), 0);
    CCertificateRevocationList genuine = forged;
    genuine.SignWith(issuer);
    EXPECT_EQ(ReadList(EncodingOf(genuine)).IsSignatureOKFor(issuer), 1);
}

TEST(CRLSignature, SignedPartIsDigestedAsReceivedAndChangedFieldsAreNeverTakenAsSigned) {
    // The issuer's length in a non-minimal form, and a list in plain DER: each verifies as
    // OpenSSL verifies the octets it received, and no longer once a field has changed.
    const CRSAPrivateKey key = PrivateKeyOf(KeyFile(512, 3));
    const Octets name = Name("CA");
    std::vector<Octets> stretched = Fields({Seq({Entry({5}), Entry({6})})});
    stretched[1] = Concat({{0x30, 0x81}, Octets(name.begin() + 1, name.end())});
    using L = CCertificateRevocationList;
    const std::pair<const char*, std::function<void(L&)>> changes[] = {
        {"entry serial", [](L& l) { l.m_entries[0]->m_serialNumber.SetAt(0, 7); }},
        {"entry removed", [](L& l) { l.m_entries.RemoveAt(1); }},
        {"nextUpdate", [](L& l) { --l.m_nextUpdate; }},
        {"issuer", [](L& l) { l.m_issuer = NameOf("Another CA"); }},
    };
    for (const auto& tbs : {stretched, Fields({Seq({Entry({5}), Entry({6})})})}) {
        CByteArray signature;
        key.LockDigest(sha1, Sha1(Seq(tbs)).data(), signature);
        const Octets der = List(tbs, Tlv(0x03, Concat({{0}, OctetsOf(signature)})));
        EXPECT_EQ(X509_CRL_verify(PeerListOf(der).get(), PeerKeyOf(KeyFile(512, 3)).get()), 1);
        EXPECT_EQ(ReadList(der).IsSignatureOKFor(key), 1);
        for (const auto& [field, change] : changes) {
            L crl = ReadList(der), loaded;
            change(crl);
            EXPECT_EQ(LoadInto(loaded, Stored(crl)), kNothingThrown) << field;
            EXPECT_EQ(crl.IsSignatureOKFor(key) + loaded.IsSignatureOKFor(key), 0) << field;
        }
    }
}

TEST(CRLSignature, TheSignedPartReadOnItsOwnDropsTheCachedDigests) {
    // (Reading a whole list replaces them as reading a certificate does: see the certificates' test.)
    CCertificateRevocationList first = Sample({Serial({1})}), target = Sample({Serial({2})});
    target.SignWith(PrivateKeyOf(KeyFile(512, 3)));
    ASSERT_TRUE(target.m_bHasDigestSha1);
    CASN1_CertificateRevocationListData(first).SetDataTo(target);  // they were of another signed part
    EXPECT_TRUE(!target.m_bHasDigest16 && !target.m_bHasDigestSha1 && target.m_entries[0]->m_serialNumber.GetAt(0) == 1);
}

TEST(CRLArchive, RoundTripRestoresBothDigestsAndOutOfRangeFieldsAreRefused) {
    CCertificateRevocationList original = Sample({Serial({5}, true), Serial({0xFB})}), loaded;
    original.m_nSignatureAlgorithm = 1;
    original = ReadList(EncodingOf(original));  // the MD5 digest of the signed part as read
    ASSERT_TRUE(original.m_bHasDigest16);
    const auto stored = Stored(original);
    EXPECT_EQ(LoadInto(loaded, stored), kNothingThrown);
    EXPECT_TRUE(State(loaded) == State(original) && loaded.m_entries[0]->m_serialNumber.m_bNegative);
    // Format 0 has no SHA-1 flag: the 16-bit flag after the MD5 digest goes.
    constexpr std::size_t kAlgorithm = 257, kSha1Flag = kAlgorithm + 4 + 2 + 16, kEntries = kSha1Flag + 2;
    auto format0 = stored;
    format0[0] = 0;
    format0.erase(format0.begin() + kSha1Flag, format0.begin() + kEntries);
    EXPECT_EQ(LoadInto(loaded, format0), kNothingThrown);
    EXPECT_TRUE(loaded.m_bHasDigest16 && !loaded.m_bHasDigestSha1 && loaded.m_entries.GetSize() == 2);

    // Format 4, algorithm 9, signatures of 2,056 (in narrow fields) and 65,535 bits, entry format 2,
    // an entry count past the end.
    const std::pair<std::size_t, std::vector<BYTE>> refused[] = {
        {0, {4}},           {kAlgorithm, {9, 0}}, {kAlgorithm + 2, {0x08, 0x08}}, {kAlgorithm + 2, {0xFF, 0xFF}},
        {kEntries + 2, {2}}, {kEntries, {0xFE, 0xFF}}};
    for (const auto& [at, octets] : refused) {
        auto patched = stored;
        std::copy(octets.begin(), octets.end(), patched.begin() + static_cast<long>(at));
        CCertificateRevocationList target = original;
        EXPECT_TRUE(LoadInto(target, patched) != kNothingThrown && State(target) == State(original)) << at;
    }

    CArray<CCertificateRevocationList, const CCertificateRevocationList&> lists, back;
    lists.Add(original);
    lists.Add(Sample({}));
    ASSERT_TRUE(LoadInto(back, Stored(lists)) == kNothingThrown && back.GetSize() == 2);
    EXPECT_TRUE(State(back[0]) == State(lists[0]) && State(back[1]) == State(lists[1]));
}

TEST(CRLBuilders, FieldsThatCannotBeWrittenAreRefusedNotWritten) {
    // (A signature past 2,048 bits: see the certificates' test of the same code.)
    const CRSAPrivateKey key = PrivateKeyOf(KeyFile(512, 3));
    const std::pair<const char*, std::function<void(CCertificateRevocationList&)>> rows[] = {
        {"algorithm 9", [](CCertificateRevocationList& c) { c.m_nSignatureAlgorithm = 9; }},
        {"nextUpdate in 10000", [](CCertificateRevocationList& c) { c.m_nextUpdate.m_wYear = 10000; }},
        {"a missing entry", [](CCertificateRevocationList& c) { c.m_entries.Add(nullptr); }},
    };
    for (const auto& [name, spoil] : rows) {
        CCertificateRevocationList crl = Sample();
        crl.SignWith(key);
        spoil(crl);
        EXPECT_NE(DecodingReason([&] { CASN1_CertificateRevocationList structure(crl); }), "") << name;
        crl.m_bHasDigestSha1 = 0;
        EXPECT_EQ(crl.IsSignatureOKFor(key), 0) << name;
    }
}

TEST(CRLObject, TextListsTheLastEntryFirstAndCopiesAreDeep) {
    CCertificateRevocationList crl = Sample({Serial({0x0A}), Serial({0x0B}, true)});
    const std::string head =
        "CRL issued by:\r\nCommon name: CA\r\nLast Update: 5 March, 1998, 14:07 09 sec GMT\r\n"
        "Next Update: 5 March, 2048, 14:07 09 sec GMT\r\nRevoked Certificates:\r\n";
    const std::string entries =
        "Serial Number: -0B Revocation Date: 1 January, 1999, 00:00 00 sec GMT\r\n"
        "Serial Number: 0A Revocation Date: 1 January, 1999, 00:00 00 sec GMT\r\n";
    EXPECT_EQ(CString(crl).str(), head + entries);
    auto copy = std::make_unique<CCertificateRevocationList>(crl);
    CCertificateRevocationList assigned;
    assigned = *copy;
    crl.Done();
    EXPECT_EQ(CString(crl).str(), "CRL issued by:\r\n" + head.substr(head.find("Last")) + "No CRL Entries\r\n");
    copy->m_entries[0]->m_serialNumber.SetAt(0, 0x0C);
    copy.reset();
    EXPECT_EQ(CString(assigned).str(), head + entries);
}

TEST(CRLLookup, SerialsCompareWithTheirSignAndTheIndexFollowsTheEntries) {
    CCertificateRevocationList crl = Sample({Serial({0x01}), Serial({0x05}, true), Serial({0x00, 0x07}), Serial({0x01})});
    const std::pair<CSerialNumber, int> rows[] = {
        {Serial({0x00, 0x01}), 3},   // leading zero octets aside; the last of two entries
        {Serial({0x05}, true), 1},   // -5
        {Serial({0xFB}), -1},        // 251, the octet of -5 in two's complement
        {Serial({0x05}), -1},        // +5
        {Serial({0x07}, true), -1},  // -7 against +7
        {Serial({0x07}), 2},
        {Serial({}), -1}};
    for (const auto& [serial, index] : rows) EXPECT_EQ(crl.FindSerial(serial), index) << CString(serial).str();

    CCertificate certificate;
    for (const auto& [serial, issuer, present] : {std::tuple{Serial({5}, true), "CA", 1}, {Serial({5}), "CA", 0},
                                                 {Serial({7}), "Another CA", 0}}) {
        certificate.m_serialNumber = serial, certificate.m_issuer = NameOf(issuer);
        EXPECT_EQ(certificate.IsPresentInCRL(crl), present) << issuer;
    }

    // Entries added, removed, replaced: the index follows the array, and Reindex after an edit in place.
    crl.m_entries.Add(new CCRLEntry(Serial({0x09}), CUTCTime()));
    EXPECT_EQ(crl.FindSerial(Serial({0x09})), 4);
    crl.m_entries.RemoveAt(0);
    EXPECT_EQ(crl.FindSerial(Serial({0x09})), 3);
    crl.m_entries[3]->m_serialNumber = Serial({0x0D});
    EXPECT_EQ(crl.FindSerial(Serial({0x09})), -1);  // a hit is checked against the entry itself
    crl.Reindex();
    EXPECT_TRUE(crl.FindSerial(Serial({0x0D})) == 3 && CCertificateRevocationList(crl).FindSerial(Serial({0x0D})) == 3);
}

TEST(CertificationChain, IsSubChainOfFindsOneContiguousRunInOrder) {
    const CRSAPrivateKey key = PrivateKeyOf(KeyFile(512, 3));
    std::map<char, CASN1_Certificate> certificates;
    for (char name : std::string("ABXY")) {
        CCertificate certificate;
        certificate.m_bVersion = 2;  // a tagged version and a UTF8String to load from the archive
        certificate.m_subject = NameOf(std::string(1, name).c_str());
        certificate.m_subject[0]->m_attributes[0]->m_nStringType = kASN1UTF8String;
        certificate.GetDataFrom(key);
        certificate.SignWith(key);
        certificates[name] = CASN1_Certificate(certificate);
    }
    // U and V read as certificates with an unknown signature algorithm: compared by their encodings.
    for (char name : std::string("UV")) {
        Octets der = Encoded(certificates[name == 'U' ? 'A' : 'B']);
        const Octets sha1 = FromHex("2a864886f70d010105");
        std::search(der.begin(), der.end(), sha1.begin(), sha1.end())[8] = 0x0b;
        Decode(certificates[name], der);
    }
    const auto chain = [&](const std::string& names) {
        CCertificationChain out;
        for (char name : names) out.Add(certificates[name]);
        return out;
    };
    const struct { const char *run, *within; int found; } rows[] = {
                {"AB", "XAB", 1}, {"AB", "ABY", 1},  {"AB", "XABY", 1}, {"AB", "ABB", 1}, {"AB", "ABXB", 1},
                {"AB", "AXB", 0}, {"AB", "BA", 0},   {"AB", "A", 0},    {"AB", "AB", 1},  {"", "", 0},
                {"", "AB", 0},    {"AU", "XAUY", 1}, {"U", "V", 0},     {"U", "AB", 0},   {"BA", "ABAB", 1}};
    for (const auto& row : rows)
        EXPECT_EQ(chain(row.run).IsSubChainOf(chain(row.within)), row.found) << row.run << " in " << row.within;

    // Copies are deep; the archive form keeps the certificates and refuses what is none.
    CCertificationChain copy = chain("AUB"), back;
    EXPECT_EQ(LoadInto(back, Stored(copy)), kNothingThrown);
    EXPECT_EQ(back.IsSubChainOf(chain("XAUBY")) + chain("AUB").IsSubChainOf(back), 2);
    CASN1_Certificate none;
    copy.Add(none);
    EXPECT_EQ(LoadInto(back, Stored(copy)), CArchiveException::generic);
}

struct CA {
    explicit CA(int bits = 2048)
        : key(KeyFile(bits)), der(PeerCertificate(key, "C=DE\nCN=Vorlan CRL CA\n", bits > 2048 ? "-sha512" : "-sha1")),
          pem(Pem(der, "crl-ca-" + std::to_string(bits))) {
        fs::create_directories(dir);
    }

    fs::path dir = InScratch("ca");
    std::string key;
    Octets der;
    std::string pem;

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

// The times, the CRL number and each entry of `crl`, with its reason and invalidity date, as
// libcrypto reads them from `der`.
void ExpectAsOpenSSLReads(const CCertificateRevocationList& crl, const Octets& der) {
    const PeerList peer = PeerListOf(der);
    ASSERT_TRUE(peer);
    const CListExtensions listExtensions(crl.m_extensions);
    const std::unique_ptr<ASN1_INTEGER, decltype(&ASN1_INTEGER_free)> number(
        static_cast<ASN1_INTEGER*>(X509_CRL_get_ext_d2i(peer.get(), NID_crl_number, nullptr, nullptr)), ASN1_INTEGER_free);
    ASSERT_EQ(listExtensions.crlNumber.has_value(), number != nullptr);
    if (number) { EXPECT_EQ(Encoded(CASN1_INTEGER(*listExtensions.crlNumber)), Der(number.get(), i2d_ASN1_INTEGER)); }
    const ASN1_TIME* nextUpdate = X509_CRL_get0_nextUpdate(peer.get());
    EXPECT_TRUE(ASN1_TIME_cmp_time_t(X509_CRL_get0_lastUpdate(peer.get()), crl.m_lastUpdate.GetTime()) == 0 &&
                (nextUpdate != nullptr) == (crl.m_bHasNextUpdate != 0) &&
                (!nextUpdate || ASN1_TIME_cmp_time_t(nextUpdate, crl.m_nextUpdate.GetTime()) == 0));
    const STACK_OF(X509_REVOKED)* entries = X509_CRL_get_REVOKED(peer.get());
    ASSERT_EQ(crl.m_entries.GetSize(), std::max(0, sk_X509_REVOKED_num(entries)));
    for (int i = 0; i < crl.m_entries.GetSize(); ++i) {
        const X509_REVOKED* entry = sk_X509_REVOKED_value(entries, i);
        EXPECT_EQ(Encoded(CASN1_INTEGER(crl.m_entries[i]->m_serialNumber)),
                  Der(X509_REVOKED_get0_serialNumber(entry), i2d_ASN1_INTEGER));
        EXPECT_EQ(
            ASN1_TIME_cmp_time_t(X509_REVOKED_get0_revocationDate(entry), crl.m_entries[i]->m_revocationDate.GetTime()),
            0);
        EXPECT_EQ(crl.FindSerial(crl.m_entries[i]->m_serialNumber), i);
        const CEntryExtensions entryExtensions(crl.m_entries[i]->m_extensions);
        const std::unique_ptr<ASN1_ENUMERATED, decltype(&ASN1_ENUMERATED_free)> reason(
            static_cast<ASN1_ENUMERATED*>(X509_REVOKED_get_ext_d2i(entry, NID_crl_reason, nullptr, nullptr)),
            ASN1_ENUMERATED_free);
        EXPECT_EQ(entryExtensions.reasonCode ? int{*entryExtensions.reasonCode} : -1,
                  reason ? ASN1_ENUMERATED_get(reason.get()) : -1);
        const std::unique_ptr<ASN1_GENERALIZEDTIME, decltype(&ASN1_GENERALIZEDTIME_free)> invalidity(
            static_cast<ASN1_GENERALIZEDTIME*>(X509_REVOKED_get_ext_d2i(entry, NID_invalidity_date, nullptr, nullptr)),
            ASN1_GENERALIZEDTIME_free);
        ASSERT_EQ(entryExtensions.invalidityDate.has_value(), invalidity != nullptr);
        if (invalidity) { EXPECT_EQ(ASN1_TIME_cmp_time_t(invalidity.get(), entryExtensions.invalidityDate->GetTime()), 0); }
    }
}

TEST(CRLsWithOpenSSL, ListsOfOpenSSLCaReadAsLibcryptoReadsThemAndVerifyAgainstTheCA) {
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
    // With a reason: version 2 with a CRL number and that reason on each entry.
    const struct { const char* name; std::vector<std::string> serials; const char *digest, *reason; } rows[] = {
        {"no entries", {}, "sha1", ""},
        {"one entry, MD5", {"0A"}, "md5", ""},
        {"3,000 entries", thousands, "sha1", ""},
        {"version 2, 3,000 entries", thousands, "sha1", "keyCompromise"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Octets der = ca.List(row.serials, row.digest, row.reason);
        const CCertificateRevocationList crl = ReadList(der);
        // Written back from the fields as received: version 2 with the CRL number 0x1000 and reason codes included,
        // and an empty list without revokedCertificates, as OpenSSL leaves it out.
        EXPECT_EQ(EncodingOf(crl), der);
        EXPECT_EQ(crl.HasUnknownCriticalExtension(), 0);
        EXPECT_TRUE(crl.IsSignatureOKFor(caCertificate) == 1 && crl.IsSignatureOKFor(revoked) == 0);
        EXPECT_TRUE(crl.m_issuer == caCertificate.m_subject);
        ExpectAsOpenSSLReads(crl, der);
        EXPECT_TRUE(revoked.IsPresentInCRL(crl) == !row.serials.empty() && kept.IsPresentInCRL(crl) == 0);
    }
    // A CA of 4,096 bits (itself signed with SHA-512) whose list is signed with SHA-384.
    const CA wide(4096);
    const Octets der = wide.List({"0A", "8001"}, "sha384", "keyTime,20231231120000Z");  // keyCompromise on that date
    const CCertificateRevocationList crl = ReadList(der);
    const CCertificate wideCertificate = ReadCertificate(wide.der);
    EXPECT_TRUE(EncodingOf(crl) == der && crl.m_nSignatureAlgorithm == 4 && wideCertificate.m_nSignatureAlgorithm == 5);
    EXPECT_TRUE(crl.IsSignatureOKFor(wideCertificate) == 1 && crl.IsSignatureOKFor(caCertificate) == 0 &&
                wideCertificate.IsSignatureOKFor(wideCertificate) == 1);
    ExpectAsOpenSSLReads(crl, der);
    EXPECT_TRUE(CEntryExtensions(crl.m_entries[1]->m_extensions).invalidityDate.has_value());
}

// A list that names no next update (RFC 5280 lets it out; `openssl ca` cannot make one, so
// libcrypto builds it): read as libcrypto reads it, verified, written back, archived, and shown
// as having none.
TEST(CRLsWithOpenSSL, ListsWithoutNextUpdateReadAsLibcryptoReadsThem) {
    const CA ca;
    const PeerList peer(X509_CRL_new(), X509_CRL_free);
    const unsigned char* at = ca.der.data();
    const std::unique_ptr<X509, decltype(&X509_free)> issuer(d2i_X509(nullptr, &at, static_cast<long>(ca.der.size())),
                                                             X509_free);
    const std::unique_ptr<ASN1_TIME, decltype(&ASN1_TIME_free)> now(ASN1_TIME_set(nullptr, 1700000000), ASN1_TIME_free);
    X509_REVOKED* entry = X509_REVOKED_new();
    const std::unique_ptr<ASN1_INTEGER, decltype(&ASN1_INTEGER_free)> serial(ASN1_INTEGER_new(), ASN1_INTEGER_free);
    ASN1_INTEGER_set(serial.get(), 0x0A);
    X509_REVOKED_set_serialNumber(entry, serial.get());
    X509_REVOKED_set_revocationDate(entry, now.get());
    X509_CRL_add0_revoked(peer.get(), entry);
    X509_CRL_set_issuer_name(peer.get(), X509_get_subject_name(issuer.get()));
    X509_CRL_set1_lastUpdate(peer.get(), now.get());
    ASSERT_GT(X509_CRL_sign(peer.get(), PeerKeyOf(ca.key).get(), EVP_sha256()), 0);
    const Octets der = Der(peer.get(), i2d_X509_CRL);

    const CCertificateRevocationList crl = ReadList(der);
    ExpectAsOpenSSLReads(crl, der);
    EXPECT_TRUE(crl.m_bHasNextUpdate == 0 && EncodingOf(crl) == der && crl.IsSignatureOKFor(ReadCertificate(ca.der)));
    EXPECT_NE(CString(crl).str().find("Next Update: NONE\r\n"), std::string::npos);
    CCertificateRevocationList loaded;
    ASSERT_EQ(LoadInto(loaded, Stored(crl)), kNothingThrown);
    EXPECT_TRUE(loaded.m_bHasNextUpdate == 0 && EncodingOf(loaded) == der);
    // A list that names one archives as before: no flag in the format octet.
    EXPECT_EQ(Stored(ReadList(ca.List({"0A"}, "sha1", "")))[0] & 0x40, 0);
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
    ExpectAsOpenSSLReads(crl, EncodingOf(crl));
    int status = 0;
    const std::string verdict =
        Shell("openssl crl -inform DER -in " + der.string() + " -CAfile " + ca.pem + " -noout -text", &status);
    EXPECT_TRUE(status == 0 && verdict.find("verify OK") != std::string::npos) << verdict;
    for (const char* line : {"sha256WithRSAEncryption", "Version 1 (0x0)", "Issuer: C = DE, CN = Vorlan CRL CA",
                             "Serial Number: 0AFF", "Serial Number: 80", "Serial Number: -05"})
        EXPECT_NE(verdict.find(line), std::string::npos) << verdict;
}

}  // namespace
}  // namespace x509test
