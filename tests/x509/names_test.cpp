// The client's name classes: lookups, labels, equality, subordination, the e-mail identity
// tests, the string types names are written in, hostile shapes and the archive forms.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "tests/asn1/asn1_test_util.h"
#include "tests/common/archive_io.h"
#include "tests/x509/x509_test_util.h"
#include "vorlan/x509/rdnsequence.h"

namespace {

using namespace asn1test;
using x509test::refused;
using Attribute = std::pair<DNAttrNameEnum, const char*>;

// A name of RDNs given first to last.
CDistinguishedName nameOf(std::initializer_list<std::initializer_list<Attribute>> rdns) {
    CDistinguishedName name;
    for (const auto& attributes : rdns) {
        auto* rdn = new CRelativeDN;
        for (const auto& [type, value] : attributes) rdn->Add(new CAttributeValue(type, value));
        name.Add(rdn);
    }
    return name;
}

// The name of an encoding, through the decoder.
CDistinguishedName decoded(const std::string& hex) {
    SharedEncoding shared(fromHex(hex));
    return CASN1_RDNSequence(*shared.der);
}

TEST(DistinguishedName, EmailIdentityIsTwoRdnsInLowerCase) {
    const CDistinguishedName name("Erika@Example.ORG");
    CString address;
    ASSERT_EQ(name.GetSize(), 2);
    EXPECT_TRUE(name.Find(dnEmailAddress, address));
    EXPECT_EQ(address, "erika@example.org");
    EXPECT_TRUE(name.IsVeriSignImage());
    EXPECT_EQ(static_cast<CString>(name), "Locality name: Internet\r\nE-mail address: erika@example.org\r\n");
    EXPECT_TRUE(name.IsVeriSignResponse(nameOf({{{dnCommonName, "E"}, {dnEmailAddress, "erika@example.org"}}})));
    EXPECT_FALSE(name.IsVeriSignResponse(nameOf({{{dnEmailAddress, "erika@example.com"}}})));
    EXPECT_FALSE(nameOf({{{dnLocalityName, "Internet"}}, {{dnEmailAddress, "a@b"}, {dnCommonName, "x"}}}).IsVeriSignImage());
    EXPECT_TRUE(nameOf({{{dnEmailAddress, "a@b"}}}).IsVeriSignRequestMatch());
    EXPECT_FALSE(nameOf({{{dnCommonName, "a"}}}).IsVeriSignRequestMatch());
}

TEST(DistinguishedName, LookupsSearchLastRdnFirstAndFirstAttributeWithin) {
    const CDistinguishedName name = nameOf({{{dnCommonName, "Outer"}, {dnCountryName, "DE"}},
                                            {{dnCommonName, "A"}, {dnCommonName, "B"}, {dnSurname, "S"}}});
    CString value = "untouched";
    EXPECT_TRUE(name.Find(dnCommonName, value));
    EXPECT_EQ(value, "A");
    EXPECT_FALSE(name.Find(dnTitle, value));
    EXPECT_EQ(value, "A");
    const DNAttrNameEnum types[] = {dnCountryName, dnSurname};
    EXPECT_EQ(name.FindOneOf(types, 2, value), 1);
    EXPECT_EQ(value, "S");
    EXPECT_EQ(name.FindOneOf(types, 1, value), 0);
    EXPECT_EQ(value, "DE");
    EXPECT_EQ(name.FindOneOf(types + 1, 0, value), -1);
}

TEST(DistinguishedName, Labels) {
    const std::vector<std::tuple<CDistinguishedName, const char*, const char*>> rows = {
        {nameOf({{{dnOrganizationName, "Acme"}}, {{dnOrganizationalUnitName, "Sales"}}}), "Acme, Sales", "Acme, Sales"},
        {nameOf({{{dnSurname, "Smith"}}}), "Smith", "Smith"},
        {nameOf({{{dnCommonName, "Ann"}, {dnSurname, "Smith"}}}), "Ann", "Ann, Smith"},
        {nameOf({{{dnEmailAddress, "s@x"}}, {{dnSurname, "Smith"}}}), "Smith", "Smith, s@x"},
        {nameOf({{{dnCollectivePostalCode, "7"}}}), "7", "7"},
        {nameOf({{}}), "<Empty>", "<Empty>"},
        {CDistinguishedName(), "<Empty>", "<Empty>"},
    };
    for (const auto& [name, label, label2] : rows) {
        EXPECT_EQ(name.GetLabel(), label);
        EXPECT_EQ(name.GetLabel2(), label2);
    }
    EXPECT_TRUE(CDistinguishedName().IsEmpty());
    EXPECT_TRUE(nameOf({{}, {}}).IsEmpty());
    EXPECT_EQ(static_cast<CString>(CDistinguishedName()), "");
}

TEST(DistinguishedName, EqualityMatchesEachAttributeOnceAndComparesWholeOctets) {
    const auto ab = nameOf({{{dnCommonName, "A"}, {dnOrganizationalUnitName, "B"}}});
    const auto ba = nameOf({{{dnOrganizationalUnitName, "B"}, {dnCommonName, "A"}}});
    const auto aa = nameOf({{{dnCommonName, "A"}, {dnCommonName, "A"}}});
    EXPECT_TRUE(ab == ba);
    EXPECT_FALSE(aa == ab);
    EXPECT_FALSE(ab == aa);
    EXPECT_FALSE(nameOf({{{dnCommonName, "A"}}, {{dnCommonName, "B"}}}) == nameOf({{{dnCommonName, "B"}}, {{dnCommonName, "A"}}}));
    EXPECT_FALSE(nameOf({{{dnCommonName, "a"}}}) == nameOf({{{dnCommonName, "A"}}}));
    EXPECT_TRUE(__isTheSameOwner(nameOf({{{dnCommonName, "A"}, {dnEmailAddress, "x@y"}}}),
                                 nameOf({{{dnCommonName, "B"}, {dnEmailAddress, "x@y"}}})));
    // E-mail address "victim@bank.example" and the same followed by NUL and ".evil.example".
    const auto victim = decoded("30243122302006092a864886f70d010901161376696374696d4062616e6b2e6578616d706c65");
    const auto evil = decoded("30323130302e06092a864886f70d010901162176696374696d4062616e6b2e6578616d706c65"
                              "002e6576696c2e6578616d706c65");
    EXPECT_FALSE(__isTheSameOwner(victim, evil));
    EXPECT_FALSE(victim == evil);
}

TEST(DistinguishedName, Subordination) {
    const auto root = nameOf({{{dnCountryName, "DE"}}}), org = nameOf({{{dnCountryName, "DE"}}, {{dnOrganizationName, "O"}}});
    const CDistinguishedName empty;
    const std::tuple<const CDistinguishedName*, const CDistinguishedName*, int, int> rows[] = {
        {&org, &root, 1, 1}, {&root, &root, 1, 0}, {&root, &org, 0, 0}, {&org, &empty, 1, 1},
        {&empty, &empty, 1, 0}, {&empty, &root, 0, 0},
    };
    for (const auto& [name, superior, subordinate, strongly] : rows) {
        EXPECT_EQ(name->IsSubordinateTo(*superior), subordinate);
        EXPECT_EQ(name->IsStronglySubordinateTo(*superior), strongly);
    }
}

TEST(NameEncoding, StringTypesAlwaysReadBack) {
    const std::tuple<DNAttrNameEnum, const char*, int> rows[] = {
        {dnCommonName, "Erika", 19},          {dnCommonName, "J\xFCrgen", 20}, {dnCommonName, "tab\there", 20},
        {dnEmailAddress, "A@B.example", 22}, {dnEmailAddress, "\xE4@b", 20},   {dnOrganizationName, "a@b & c", 19},
    };
    for (const auto& [type, value, stringType] : rows) {
        SCOPED_TRACE(value);
        const auto name = nameOf({{{type, value}}});
        EXPECT_EQ(name[0]->m_attributes[0]->m_nStringType, stringType);
        const std::string hex = encodedHex(CASN1_RDNSequence(name));
        EXPECT_TRUE(decoded(hex) == name);
    }
    EXPECT_TRUE(refused<CNotSupportedException>([] { CAttributeValue(static_cast<DNAttrNameEnum>(24), "x"); }));
}

TEST(NameEncoding, AttributesThatCannotBeWrittenAreRefused) {
    CAttributeValue printable(dnCommonName, "x"), label(dnCommonName, "x"), type(dnCommonName, "x"), unknown;
    printable.m_strValue = "J\xFCrgen";
    label.m_strLabel = "Common Name";
    type.m_nStringType = 30;
    unknown.m_strLabel = "Unknown";
    for (const CAttributeValue* attribute : {&printable, &label, &type, &unknown})
        EXPECT_TRUE(refused([&] { CASN1_AttributeValueAssertion assertion(*attribute); }));
}

TEST(NameEncoding, HostileShapesAreRefused) {
    const char* rows[] = {
        "300c310a300806035504031e0100",                  // BMPString value
        "300f310d300b0603550403130141130142",             // three components
        "300a3108300606035504031301",                     // no value
        "3009310730050201001300",                         // INTEGER for the type
        "300931073005a00306035504031300",                 // tagged type
        "30083006300406022a03",                           // RDN as SEQUENCE
        "3100",                                           // SET for the sequence
    };
    for (const char* hex : rows) EXPECT_TRUE(refused([&] { decoded(hex); })) << hex;
    EXPECT_EQ(decoded("3000").GetSize(), 0);
    EXPECT_EQ(decoded("30023100").GetSize(), 1);
}

TEST(NameArchive, FormsRoundTripAndBadRecordsAreRefused) {
    CAttributeValue attribute(dnCountryName, "DE");
    EXPECT_EQ(testcommon::ToHex(testcommon::Store([&](CArchive& ar) { attribute.Serialize(ar); })),
              "000c436f756e747279206e616d6502444513");
    auto name = decoded("302d310b300906035504061302444531123010060a0992268993f22c64011916026578310a30080603550403130141");
    name[2]->m_strKind = "Kind";
    const auto octets = testcommon::Store([&](CArchive& ar) { name.Serialize(ar); });
    testcommon::Loader in(octets);
    CDistinguishedName loaded;
    loaded.Serialize(in.ar);
    EXPECT_TRUE(loaded == name);
    EXPECT_EQ(loaded[2]->m_strKind, "Kind");
    EXPECT_EQ(encodedHex(CASN1_RDNSequence(loaded)), encodedHex(CASN1_RDNSequence(name)));

    CArray<CDistinguishedName, const CDistinguishedName&> names;
    for (int i = 0; i < 40; ++i) names.Add(i % 2 ? name : CDistinguishedName("a@b"));
    const auto many = testcommon::Store([&](CArchive& ar) { names.Serialize(ar); });
    testcommon::Loader manyIn(many);
    CArray<CDistinguishedName, const CDistinguishedName&> manyLoaded;
    manyLoaded.Serialize(manyIn.ar);
    ASSERT_EQ(manyLoaded.GetSize(), 40);
    EXPECT_TRUE(manyLoaded[39] == name);
    EXPECT_TRUE(manyLoaded[38].IsVeriSignImage());

    for (const char* hex : {"020c436f756e747279206e616d6502444513", "000c436f756e747279206e616d650244451e",
                            "010c436f756e747279206e616d65024445130000", "010c436f756e747279206e616d6502444513010078"}) {
        testcommon::Loader bad(testcommon::FromHex(hex));
        EXPECT_EQ(testcommon::CauseOf([&] { attribute.Serialize(bad.ar); }), CArchiveException::generic) << hex;
    }
    testcommon::Loader badRdn(testcommon::FromHex("01035365740000"));
    CRelativeDN rdn;
    EXPECT_EQ(testcommon::CauseOf([&] { rdn.Serialize(badRdn.ar); }), CArchiveException::generic);
}

}  // namespace
