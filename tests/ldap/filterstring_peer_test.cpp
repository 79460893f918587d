// Filter strings against ldapjs (@ldapjs/filter) and the examples of RFC 4515.
#include <gtest/gtest.h>

#include "tests/ldap/node_peer.h"
#include "tests/ldap/peer_util.h"
#include "vorlan/ldap/filterstring.h"

namespace {

using namespace ldappeer;

// Strings ldapjs reads too, each already in the form FormatLDAPFilter writes.
const std::vector<std::string> kCommonFilters = {
    "(objectClass=person)",
    "(&(objectClass=person)(|(cn=Ann*)(mail=*@example.com)))",
    "(!(cn=Tim Howes))",
    "(|(cn=*)(&(sn=a*b*c)(sn=*b*)(sn=*x))(!(!(uid=1))))",
    "(&(age>=30)(age<=40)(sn~=smith))",
    "(cn:dn:2.4.6.8.10:=Dino)",
    "(:1.2.3:=Wilma Flintstone)",
    "(cn:caseExactMatch:=Fred Flintstone)",
    "(o:dn:=Ace Industry)",
    "(cn:=Betty Rubble)",
};

TEST(LdapFilterString, ParseEncodesAsLdapjsDoes) {
    const std::vector<std::string> theirs = Ldapjs("filters", kCommonFilters);
    ASSERT_EQ(theirs.size(), kCommonFilters.size());
    std::vector<std::string> ours;
    for (size_t i = 0; i < kCommonFilters.size(); ++i) {
        ours.push_back(EncodedHex(*ParseLDAPFilter(kCommonFilters[i])));
        EXPECT_EQ(ours.back(), theirs[i]) << kCommonFilters[i];
    }
    // ldapjs reads our encodings back to the same strings.
    EXPECT_EQ(Ldapjs("filter-strings", ours), kCommonFilters);
}

TEST(LdapFilterString, FormatReadsLdapjsEncodings) {
    const std::vector<std::string> theirs = Ldapjs("filters", kCommonFilters);
    for (size_t i = 0; i < kCommonFilters.size(); ++i)
        EXPECT_EQ(FormatLDAPFilter(*DecodeHex(theirs[i])), kCommonFilters[i]);
}

std::string tlv(unsigned char tag, const std::string& contents) {
    return std::string{static_cast<char>(tag), static_cast<char>(contents.size())} + contents;
}
std::string hexOf(const std::string& octets) {
    return ToHex(reinterpret_cast<const unsigned char*>(octets.data()), octets.size());
}

TEST(LdapFilterString, EscapesResolveToTheOctetsRfc4515Gives) {
    using namespace std::string_literals;
    struct Row {
        std::string text, der, canonical;
    };
    const std::vector<Row> rows = {
        {"(o=Parens R Us \\28for all your parenthetical needs\\29)",
         tlv(0xA3, tlv(4, "o") + tlv(4, "Parens R Us (for all your parenthetical needs)")),
         "(o=Parens R Us \\28for all your parenthetical needs\\29)"},
        {"(cn=*\\2A*)", tlv(0xA4, tlv(4, "cn") + tlv(0x30, tlv(0x81, "*"))), "(cn=*\\2a*)"},
        {"(filename=C:\\5cMyFile)", tlv(0xA3, tlv(4, "filename") + tlv(4, "C:\\MyFile")), "(filename=C:\\5cMyFile)"},
        {"(bin=\\00\\00\\00\\04)", tlv(0xA3, tlv(4, "bin") + tlv(4, "\0\0\0\4"s)), "(bin=\\00\\00\\00\\04)"},
        {"(sn=Lu\\c4\\8di\\c4\\87)", tlv(0xA3, tlv(4, "sn") + tlv(4, "Lu\xc4\x8di\xc4\x87")),
         "(sn=Lu\\c4\\8di\\c4\\87)"},
        {"(1.3.6.1.4.1.1466.0=\\04\\02\\48\\69)", tlv(0xA3, tlv(4, "1.3.6.1.4.1.1466.0") + tlv(4, "\x04\x02Hi")),
         "(1.3.6.1.4.1.1466.0=\\04\\02Hi)"},
        {"(cn;lang-de=J\xc3\xbcrgen)", tlv(0xA3, tlv(4, "cn;lang-de") + tlv(4, "J\xc3\xbcrgen")),
         "(cn;lang-de=J\\c3\\bcrgen)"},
        {"(:DN:2.4.6.8.10:=Dino)", tlv(0xA9, tlv(0x81, "2.4.6.8.10") + tlv(0x83, "Dino") + tlv(0x84, "\xff")),
         "(:dn:2.4.6.8.10:=Dino)"},
        {"(&(cn=)(|))", tlv(0xA0, tlv(0xA3, tlv(4, "cn") + tlv(4, "")) + tlv(0xA1, "")), "(&(cn=)(|))"},
    };
    for (const Row& row : rows) {
        LDAPFilterPtr filter = ParseLDAPFilter(row.text);
        EXPECT_EQ(EncodedHex(*filter), hexOf(row.der)) << row.text;
        EXPECT_EQ(FormatLDAPFilter(*filter), row.canonical);
    }
}

TEST(LdapFilterString, ParseRejectsMalformedStrings) {
    const std::vector<std::string> rows = {
        "", "cn=x", "(cn=x", "(cn=x))", "((cn=x))", "(=x)", "(cn)", "(cn~x)", "(cn=a(b)", "(cn=a\\2)",
        "(cn=a\\zz)", "(cn=a**b)", "(cn>=a*)", "(!(a=b)(c=d))", "(!)", "(:=x)", "(cn:dn:=x*)", "(cn:1.2:x)",
        "(1=x)", "(1.02=x)", "(c n=x)", "(cn;=x)", "(cn=\xff)", "(cn=\xc0\xaf)", "(cn=x)(cn=y)",
        std::string("(cn=a\0b)", 8),
    };
    for (const std::string& text : rows)
        EXPECT_NE(DecodingFailure([&] { ParseLDAPFilter(text); }), "") << text;
}

TEST(LdapFilterString, FormatRejectsFiltersServersRefuse) {
    const std::vector<std::string> rows = {
        "a3040402636e",                    // equality without assertion value
        "a40c0402636e3006820161800162",    // final before initial
        "a40c0402636e3006800161800162",    // two initial pieces
        "a4060402636e3000",                // no substring at all
        "a4080402636e30028100",            // empty substring
        "a206870163870164",                // not over two filters
        "8a0161",                          // no such alternative
        "a703040161",                      // present in constructed form
        "a30924040402636e040161",          // constructed OCTET STRING
        "a0808701630000",                  // indefinite length
        "a903830161",                      // extensible match without rule or type
        "a906820161810162",                // extensible members out of order
        "a30704022829040161",              // "()" is no attribute description
    };
    for (const std::string& hex : rows) {
        std::unique_ptr<CASN1Type> filter;
        ASSERT_EQ(DecodingFailure([&] { filter = DecodeHex(hex); }), "") << hex;
        EXPECT_NE(DecodingFailure([&] { FormatLDAPFilter(*filter); }), "") << hex;
    }
}

TEST(LdapFilterString, NestingPastTheBoundFails) {
    std::string deepest = "(a=b)", tooDeep;
    for (int level = 1; level < kMaxLDAPFilterNesting; ++level) deepest = "(!" + deepest + ")";
    tooDeep = "(!" + deepest + ")";
    EXPECT_EQ(FormatLDAPFilter(*ParseLDAPFilter(deepest)), deepest);
    EXPECT_NE(DecodingFailure([&] { ParseLDAPFilter(tooDeep); }), "");
    LDAPFilterPtr built = ParseLDAPFilter(deepest);
    built = BuildNotFilter(std::move(built));
    EXPECT_NE(DecodingFailure([&] { FormatLDAPFilter(*built); }), "");
}

}  // namespace
