// The client's name classes: lookups, labels, equality, subordination, the e-mail identity
// tests, the string types names are written in, hostile shapes, the archive forms, and the
// subjects of `openssl req` certificates read attribute by attribute as OpenSSL reads them.
#include "peer.h"
#include "vorlan/x509/rdnsequence.h"

namespace x509test {
namespace {

// The name of an encoding, through the decoder.
CDistinguishedName Decoded(const std::string& hex) {
    return OnEncoding(FromHex(hex), [](CDEREncoding& e) { return CDistinguishedName(CASN1_RDNSequence(e)); });
}
Octets EncodedName(const CDistinguishedName& name) { return Encoded(CASN1_RDNSequence(name)); }

TEST(DistinguishedName, EmailIdentityIsTwoRdnsInLowerCase) {
    const CDistinguishedName name("Erika@Example.ORG");
    CString address;
    EXPECT_TRUE(name.GetSize() == 2 && name.Find(dnEmailAddress, address) && address == "erika@example.org");
    EXPECT_TRUE(name.IsVeriSignImage());
    EXPECT_EQ(static_cast<CString>(name), "Locality name: Internet\r\nE-mail address: erika@example.org\r\n");
    EXPECT_TRUE(name.IsVeriSignResponse(NameOf({{{dnCommonName, "E"}, {dnEmailAddress, "erika@example.org"}}})));
    EXPECT_FALSE(name.IsVeriSignResponse(NameOf({{{dnEmailAddress, "erika@example.com"}}})));
    EXPECT_FALSE(NameOf({{{dnLocalityName, "Internet"}}, {{dnEmailAddress, "a@b"}, {dnCommonName, "x"}}})
                     .IsVeriSignImage());
    EXPECT_TRUE(NameOf({{{dnEmailAddress, "a@b"}}}).IsVeriSignRequestMatch());
    EXPECT_FALSE(NameOf({{{dnCommonName, "a"}}}).IsVeriSignRequestMatch());
}

TEST(DistinguishedName, LookupsSearchLastRdnFirstAndLabelsNameTheOwner) {
    const CDistinguishedName name = NameOf({{{dnCommonName, "Outer"}, {dnCountryName, "DE"}},
                                            {{dnCommonName, "A"}, {dnCommonName, "B"}, {dnSurname, "S"}}});
    CString value = "untouched";
    EXPECT_TRUE(name.Find(dnCommonName, value) && value == "A");
    EXPECT_TRUE(!name.Find(dnTitle, value) && value == "A");
    const DNAttrNameEnum types[] = {dnCountryName, dnSurname};
    EXPECT_TRUE(name.FindOneOf(types, 2, value) == 1 && value == "S");
    EXPECT_TRUE(name.FindOneOf(types, 1, value) == 0 && value == "DE");
    EXPECT_EQ(name.FindOneOf(types + 1, 0, value), -1);

    const std::tuple<CDistinguishedName, const char*, const char*> rows[] = {
        {NameOf({{{dnOrganizationName, "Acme"}}, {{dnOrganizationalUnitName, "Sales"}}}), "Acme, Sales", "Acme, Sales"},
        {NameOf({{{dnSurname, "Smith"}}}), "Smith", "Smith"},
        {NameOf({{{dnCommonName, "Ann"}, {dnSurname, "Smith"}}}), "Ann", "Ann, Smith"},
        {NameOf({{{dnEmailAddress, "s@x"}}, {{dnSurname, "Smith"}}}), "Smith", "Smith, s@x"},
        {NameOf({{{dnCollectivePostalCode, "7"}}}), "7", "7"},
        {NameOf({{}}), "<Empty>", "<Empty>"},
        {CDistinguishedName(), "<Empty>", "<Empty>"},
    };
    for (const auto& [owner, label, label2] : rows) EXPECT_TRUE(owner.GetLabel() == label && owner.GetLabel2() == label2);
    EXPECT_TRUE(CDistinguishedName().IsEmpty() && NameOf({{}, {}}).IsEmpty());
    EXPECT_EQ(static_cast<CString>(CDistinguishedName()), "");
}

TEST(DistinguishedName, EqualityMatchesEachAttributeOnceComparesWholeOctetsAndKeepsUnknownTypesApart) {
    const auto ab = NameOf({{{dnCommonName, "A"}, {dnOrganizationalUnitName, "B"}}});
    const auto aa = NameOf({{{dnCommonName, "A"}, {dnCommonName, "A"}}});
    EXPECT_TRUE(ab == NameOf({{{dnOrganizationalUnitName, "B"}, {dnCommonName, "A"}}}));
    EXPECT_FALSE(aa == ab || ab == aa);
    EXPECT_FALSE(NameOf({{{dnCommonName, "A"}}, {{dnCommonName, "B"}}}) ==
                 NameOf({{{dnCommonName, "B"}}, {{dnCommonName, "A"}}}));
    EXPECT_FALSE(NameOf({{{dnCommonName, "a"}}}) == NameOf({{{dnCommonName, "A"}}}));
    EXPECT_TRUE(__isTheSameOwner(NameOf({{{dnCommonName, "A"}, {dnEmailAddress, "x@y"}}}),
                                 NameOf({{{dnCommonName, "B"}, {dnEmailAddress, "x@y"}}})));
    // E-mail address "victim@bank.example" and the same followed by NUL and ".evil.example".
    const auto victim = Decoded("30243122302006092a864886f70d010901161376696374696d4062616e6b2e6578616d706c65");
    const auto evil = Decoded("30323130302e06092a864886f70d010901162176696374696d4062616e6b2e6578616d706c65"
                              "002e6576696c2e6578616d706c65");
    EXPECT_FALSE(__isTheSameOwner(victim, evil) || victim == evil);
    // UID=admin and serialNumber=admin: two types the library has no label for.
    const auto uid = Decoded("301731153013060a0992268993f22c6401010c0561646d696e");
    const auto serial = Decoded("3010310e300c06035504050c0561646d696e");
    EXPECT_EQ(uid[0]->m_attributes[0]->m_strLabel, "Unknown");
    EXPECT_FALSE(uid == serial || __isTheSameOwner(uid, serial));
    EXPECT_TRUE(uid == Decoded("301731153013060a0992268993f22c6401010c0561646d696e"));

    const auto root = NameOf({{{dnCountryName, "DE"}}});
    const auto org = NameOf({{{dnCountryName, "DE"}}, {{dnOrganizationName, "O"}}});
    const CDistinguishedName empty;
    const std::tuple<const CDistinguishedName*, const CDistinguishedName*, int, int> subordinates[] = {
        {&org, &root, 1, 1},   {&root, &root, 1, 0},   {&root, &org, 0, 0},
        {&org, &empty, 1, 1}, {&empty, &empty, 1, 0}, {&empty, &root, 0, 0}};
    for (const auto& [name, superior, subordinate, strongly] : subordinates)
        EXPECT_TRUE(name->IsSubordinateTo(*superior) == subordinate &&
                    name->IsStronglySubordinateTo(*superior) == strongly);
}

TEST(NameEncoding, StringTypesReadBackAndWhatCannotBeWrittenOrReadIsRefused) {
    const std::tuple<DNAttrNameEnum, const char*, int> rows[] = {
        {dnCommonName, "Erika", 19},          {dnCommonName, "J\xFCrgen", 20}, {dnCommonName, "tab\there", 20},
        {dnEmailAddress, "A@B.example", 22}, {dnEmailAddress, "\xE4@b", 20},   {dnOrganizationName, "a@b & c", 19},
    };
    for (const auto& [type, value, stringType] : rows) {
        const auto name = NameOf({{{type, value}}});
        EXPECT_EQ(name[0]->m_attributes[0]->m_nStringType, stringType) << value;
        EXPECT_TRUE(Decoded(ToHex(EncodedName(name))) == name) << value;
    }
    EXPECT_TRUE(Refused<CNotSupportedException>([] { CAttributeValue(static_cast<DNAttrNameEnum>(24), "x"); }));
    CAttributeValue printable(dnCommonName, "x"), label(dnCommonName, "x"), type(dnCommonName, "x"), unknown;
    printable.m_strValue = "J\xFCrgen", label.m_strLabel = "Common Name";
    type.m_nStringType = 2, unknown.m_strLabel = "Unknown";
    for (const CAttributeValue* attribute : {&printable, &label, &type, &unknown})
        EXPECT_TRUE(Refused([&] { CASN1_AttributeValueAssertion assertion(*attribute); }));

    // An odd-length BMPString, three components, no value, INTEGER or tagged type, RDN as SEQUENCE, SET for the sequence.
    const char* hostile[] = {"300c310a300806035504031e0100",  "300f310d300b0603550403130141130142",
                             "300a3108300606035504031301",    "3009310730050201001300",
                             "300931073005a00306035504031300", "30083006300406022a03", "3100"};
    for (const char* hex : hostile) EXPECT_TRUE(Refused([&] { Decoded(hex); })) << hex;
    EXPECT_TRUE(Decoded("3000").GetSize() == 0 && Decoded("30023100").GetSize() == 1);
}

// Values in the other types names carry (NumericString, VisibleString, BMPString and
// UniversalString from Windows CAs and `openssl req -utf8`, x500UniqueIdentifier's BIT STRING)
// read, kept and archived as received, written back octet for octet, and given as UTF-8 text
// where they have one.
TEST(NameEncoding, OtherValueTypesAreKeptAsReceivedAndTextIsUtf8) {
    const struct { const char *der, *oneLine, *labelled; } rows[] = {
        {"3010310e300c060355040312053132203334", "CN=12 34", "Common name: 12 34"},
        {"3010310e300c06035504031a054572696b61", "CN=Erika", "Common name: Erika"},
        {"301b3119301706035504031e10004a00fc007200670065006e002020ac", "CN=J\xC3\xBCrgen \xE2\x82\xAC",
         "Common name: J\xC3\xBCrgen \xE2\x82\xAC"},
        {"30133111300f06035504031c08000000d60001f600", "CN=\xC3\x96\xF0\x9F\x98\x80",
         "Common name: \xC3\x96\xF0\x9F\x98\x80"},
        {"300e310c300a060355042d030304a5f0", "2.5.4.45=#030304A5F0", nullptr},
        {"300d310b300906035504031e02d800", "CN=#1E02D800", nullptr},  // a lone surrogate has no text
    };
    for (const auto& row : rows) {
        const CDistinguishedName name = Decoded(row.der);
        CDistinguishedName loaded;
        ASSERT_EQ(LoadInto(loaded, Stored(name)), kNothingThrown) << row.der;
        EXPECT_TRUE(ToHex(EncodedName(name)) == row.der && ToHex(EncodedName(loaded)) == row.der) << row.der;
        EXPECT_EQ(name.GetOneLine(), CString(row.oneLine)) << row.der;
        if (row.labelled) {
            EXPECT_EQ(CString(*name[0]->m_attributes[0]), CString(row.labelled)) << row.der;
        }
    }
    // Not a BIT STRING's contents: nothing is written that would not read back.
    CAttributeValue bits(dnCommonName, "x");
    bits.m_nStringType = 3;
    for (const char* contents : {"", "\x08\x01", "\x01"}) {
        bits.m_strValue = contents;
        EXPECT_TRUE(Refused([&] { CASN1_AttributeValueAssertion assertion(bits); })) << contents;
    }
}

// A UTF8String of a name that is not UTF-8 (RFC 3629) is refused, as OpenSSL refuses it.
TEST(NameEncoding, Utf8StringThatIsNotUtf8IsRefused) {
    for (const char* hex : {"300d310b300906035504030c02c080", "300e310c300a06035504030c03eda080",
                            "300f310d300b06035504030c04f5808080", "300e310c300a06035504030c0361e282"})
        EXPECT_TRUE(Refused([&] { Decoded(hex); })) << hex;
    EXPECT_EQ(Decoded("300e310c300a06035504030c03e282ac").GetOneLine(), "CN=\xE2\x82\xAC");
    CAttributeValue overlong(dnCommonName, "x");
    overlong.m_nStringType = 12, overlong.m_strValue = "\xC0\x80";
    EXPECT_TRUE(Refused([&] { CASN1_AttributeValueAssertion assertion(overlong); }));
}

TEST(NameArchive, FormsRoundTripAndBadRecordsAreRefused) {
    CAttributeValue attribute(dnCountryName, "DE");
    EXPECT_EQ(ToHex(Stored(attribute)), "000c436f756e747279206e616d6502444513");
    auto name = Decoded("302d310b300906035504061302444531123010060a0992268993f22c64011916026578310a30080603550403130141");
    name[2]->m_strKind = "Kind";
    CDistinguishedName loaded;
    ASSERT_EQ(LoadInto(loaded, Stored(name)), kNothingThrown);
    EXPECT_TRUE(loaded == name && loaded[2]->m_strKind == "Kind" && EncodedName(loaded) == EncodedName(name));

    CArray<CDistinguishedName, const CDistinguishedName&> names, manyLoaded;
    for (int i = 0; i < 40; ++i) names.Add(i % 2 ? name : CDistinguishedName("a@b"));
    ASSERT_TRUE(LoadInto(manyLoaded, Stored(names)) == kNothingThrown && manyLoaded.GetSize() == 40);
    EXPECT_TRUE(manyLoaded[39] == name && manyLoaded[38].IsVeriSignImage());

    for (const char* hex : {"020c436f756e747279206e616d6502444513", "000c436f756e747279206e616d6502444502",
                            "010c436f756e747279206e616d65024445130000", "010c436f756e747279206e616d6502444513010078"})
        EXPECT_EQ(LoadInto(attribute, FromHex(hex)), CArchiveException::generic) << hex;
    CRelativeDN rdn;
    EXPECT_EQ(LoadInto(rdn, FromHex("01035365740000")), CArchiveException::generic);
}

// Printable/T61/IA5 values, UTF8 values, multi-valued RDNs, RFC 4514 escapes, types the
// library does not know (DC, UID, serialNumber, a private one): read, written back octet for
// octet (each attribute's type, string type, value and RDN read right) and printed as
// `openssl x509 -nameopt` prints them.
TEST(NamesWithOpenSSL, SubjectsReadWriteBackAndPrintAsOpenSSLDoes) {
    const std::string readable = "esc_2253,esc_ctrl,utf8,dn_rev,sep_comma_plus_space,sname";
    const struct { const char *dn, *stringMask; std::string nameopt; } rows[] = {
        {"C=DE\nST=Baden-W\xC3\xBCrttemberg\nO=Vorlan Test\nOU=Sales\n+CN=J\xC3\xBCrgen M\xC3\xBCller\n"
         "emailAddress=Erika@Example.org\ntitle=Dr.\nSN=M\xC3\xBCller\n",
         "nombstr", readable},
        {"CN=J\xC3\xBCrgen \xE2\x82\xAC\nO=Vorlan\n", "default", readable},  // BMPString
        {"CN=J\xC3\xBCrgen\n", "pkix", readable},
        {"C=DE\nO=Vorlan Test\n0.OU=a, \"quoted\" <x>;y\n+CN=\\#hash\n+1.OU=back\\\\slash\nCN=Erika Mustermann\n"
         "L=K\xC3\xB6ln \xE2\x82\xAC\nDC=example\nUID=admin\npostalCode=12345\n",
         "utf8only", readable},
        {"serialNumber=admin\nvorlanTest=odd\n", "utf8only", "oid,dump_all,dump_der,dn_rev,sep_comma_plus_space"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.dn);
        const CASN1_Certificate certificate =
            DecodeCertificate(PeerCertificate(KeyFile(512, 3), row.dn, "", row.stringMask));
        CDistinguishedName name, issuer;
        CASN1_RDNSequence::Read(certificate.GetSubject(), name);
        CASN1_RDNSequence::Read(certificate.GetIssuer(), issuer);
        EXPECT_TRUE(issuer == name && EncodedName(name) == Encoded(certificate.GetSubject()));  // unknown types included
        const std::string print = "openssl x509 -inform DER -noout -subject -nameopt " + row.nameopt + " -in ";
        EXPECT_EQ("subject=" + name.GetOneLine().str() + "\n", Shell(print + InScratch("peer.der").string()));
    }
}

}  // namespace
}  // namespace x509test
