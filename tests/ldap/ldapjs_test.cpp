// Filters and messages against an independent implementation, the npm packages @ldapjs/filter
// and @ldapjs/messages: theirs decode here and re-encode to the same octets, ours parse there
// alike; filter strings also against the examples of RFC 4515 and what servers refuse.
#include <gtest/gtest.h>

#include "tests/ldap/ldap_test_util.h"
#include "vorlan/ldap/filterstring.h"
#include "vorlan/ldap/requests.h"

namespace {

using namespace ldappeer;

TEST(LdapFilterString, ParseAndFormatAsLdapjsDoes) {
    // Strings ldapjs reads too, each already in the form FormatLDAPFilter writes.
    const std::vector<std::string> filters = {
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
    const std::vector<std::string> theirs = Ldapjs("filters", filters);
    ASSERT_EQ(theirs.size(), filters.size());
    std::vector<std::string> ours;
    for (size_t i = 0; i < filters.size(); ++i) {
        ours.push_back(EncodedHex(*ParseLDAPFilter(filters[i])));
        EXPECT_EQ(ours.back(), theirs[i]) << filters[i];
        EXPECT_EQ(FormatLDAPFilter(*DecodeHex(theirs[i])), filters[i]);
    }
    EXPECT_EQ(Ldapjs("filter-strings", ours), filters);
}

TEST(LdapFilterString, EscapesResolveToTheOctetsRfc4515Gives) {
    // text, its encoding, the form FormatLDAPFilter writes ("": the text)
    const std::tuple<std::string, std::string, std::string> rows[] = {
        {"(o=Parens R Us \\28for all your parenthetical needs\\29)",
         tlv("a3", {str("o"), str("Parens R Us (for all your parenthetical needs)")}), ""},
        {"(cn=*\\2A*)", tlv("a4", {str("cn"), tlv("30", {str("*", "81")})}), "(cn=*\\2a*)"},
        {"(filename=C:\\5cMyFile)", tlv("a3", {str("filename"), str("C:\\MyFile")}), ""},
        {"(bin=\\00\\00\\00\\04)", tlv("a3", {str("bin"), str(std::string("\0\0\0\4", 4))}), ""},
        {"(sn=Lu\\c4\\8di\\c4\\87)", tlv("a3", {str("sn"), str("Lu\xc4\x8di\xc4\x87")}), ""},
        {"(1.3.6.1.4.1.1466.0=\\04\\02\\48\\69)", tlv("a3", {str("1.3.6.1.4.1.1466.0"), str("\x04\x02Hi")}),
         "(1.3.6.1.4.1.1466.0=\\04\\02Hi)"},
        {"(cn;lang-de=J\xc3\xbcrgen)", tlv("a3", {str("cn;lang-de"), str("J\xc3\xbcrgen")}),
         "(cn;lang-de=J\\c3\\bcrgen)"},
        {"(:DN:2.4.6.8.10:=Dino)", tlv("a9", {str("2.4.6.8.10", "81"), str("Dino", "83"), "8401ff"}),
         "(:dn:2.4.6.8.10:=Dino)"},
        {"(&(cn=)(|))", tlv("a0", {tlv("a3", {str("cn"), str("")}), "a100"}), ""},
    };
    for (const auto& [text, der, canonical] : rows) {
        LDAPFilterPtr filter = ParseLDAPFilter(text);
        EXPECT_EQ(EncodedHex(*filter), der) << text;
        EXPECT_EQ(FormatLDAPFilter(*filter), canonical.empty() ? text : canonical);
    }
}

TEST(LdapFilterString, MalformedStringsAndFiltersServersRefuseFail) {
    const std::vector<std::string> strings = {
        "",
        "cn=x",
        "(cn=x",
        "(cn=x))",
        "((cn=x))",
        "(=x)",
        "(cn)",
        "(cn~x)",
        "(cn=a(b)",
        "(cn=a\\2)",
        "(cn=a\\zz)",
        "(cn=a**b)",
        "(cn>=a*)",
        "(!(a=b)(c=d))",
        "(!)",
        "(:=x)",
        "(cn:dn:=x*)",
        "(cn:1.2:x)",
        "(1=x)",
        "(1.02=x)",
        "(c n=x)",
        "(cn;=x)",
        "(cn=\xff)",
        "(cn=\xc0\xaf)",
        "(cn=x)(cn=y)",
        std::string("(cn=a\0b)", 8),
    };
    for (const std::string& text : strings) EXPECT_NE(DecodingFailure([&] { ParseLDAPFilter(text); }), "") << text;
    const std::vector<std::string> filters = {
        "a3040402636e",                  // equality without assertion value
        "a40c0402636e3006820161800162",  // final before initial
        "a40c0402636e3006800161800162",  // two initial pieces
        "a4060402636e3000",              // no substring at all
        "a4080402636e30028100",          // empty substring
        "a206870163870164",              // not over two filters
        "8a0161",                        // no such alternative
        "a703040161",                    // present in constructed form
        "a30924040402636e040161",        // constructed OCTET STRING
        "a0808701630000",                // indefinite length
        "a903830161",                    // extensible match without rule or type
        "a906820161810162",              // extensible members out of order
        "a30704022829040161",            // "()" is no attribute description
    };
    for (const std::string& hex : filters) {
        std::unique_ptr<CASN1Type> filter;
        ASSERT_EQ(DecodingFailure([&] { filter = DecodeHex(hex); }), "") << hex;
        EXPECT_NE(DecodingFailure([&] { FormatLDAPFilter(*filter); }), "") << hex;
    }
    // Nesting past the bound, parsed or built.
    std::string deepest = "(a=b)";
    for (int level = 1; level < kMaxLDAPFilterNesting; ++level) deepest = "(!" + deepest + ")";
    EXPECT_EQ(FormatLDAPFilter(*ParseLDAPFilter(deepest)), deepest);
    EXPECT_NE(DecodingFailure([&] { ParseLDAPFilter("(!" + deepest + ")"); }), "");
    const LDAPFilterPtr built = BuildNotFilter(ParseLDAPFilter(deepest));
    EXPECT_NE(DecodingFailure([&] { FormatLDAPFilter(*built); }), "");
}

TEST(LdapjsInterop, TheirMessagesOfEveryOperationDecodeAndReencodeAlike) {
    const std::vector<std::string> lines = Ldapjs("messages");
    ASSERT_EQ(lines.size(), 21u);
    for (const std::string& line : lines) {
        const std::string name = line.substr(0, line.find(' ')), hex = line.substr(line.find(' ') + 1);
        const Octets octets = FromHex(hex);
        std::unique_ptr<CASN1_LDAPMessage> message;
        ASSERT_EQ(DecodingFailure([&] { message = DecodeLDAPMessage(octets.data(), octets.size()); }), "") << line;
        const int index = message->get_protocolOp().resolve();
        EXPECT_EQ(index < 0 ? "none" : CASN1_ProtocolOpChoice::m_alternativesList[index].m_szMemberName, name);
        EXPECT_EQ(EncodedHex(*message), hex) << name;
    }
}

// The value of "key":"…" in one line of JSON.
std::string jsonField(const std::string& json, const std::string& key) {
    const std::string start = "\"" + key + "\":";
    const size_t at = json.find(start);
    if (at == std::string::npos) return "";
    size_t from = at + start.size();
    if (json[from] != '"') return json.substr(from, json.find_first_of(",}", from) - from);
    return json.substr(from + 1, json.find('"', from + 1) - from - 1);
}

TEST(LdapjsInterop, OurRequestsParseThereAsTheOperationsTheyAre) {
    const SLDAPSearch search{"ou=people,dc=example,dc=com",
                             ELDAPSearchScope::singleLevel,
                             ELDAPDerefAliases::derefAlways,
                             10,
                             20,
                             true,
                             {"cn", "mail"}};
    const char* filter = "(&(objectClass=person)(|(cn=Ann*)(mail=*@example.com))(!(sn=Smith))(age>=30))";
    const std::string ann = "cn=Ann,dc=example,dc=com", bob = "cn=Bob,dc=example,dc=com";
    using M = ELDAPModifyOperation;
    // ldapjs's name of the operation, the operation, a field ldapjs reads and its value
    std::tuple<const char*, std::unique_ptr<CASN1Type>, const char*, std::string> rows[] = {
        {"BindRequest", BuildSimpleBindRequest(ann, "secret"), "name", ann},
        {"SearchRequest", BuildSearchRequest(search, ParseLDAPFilter(filter)), "filter", filter},
        {"AddRequest", BuildAddRequest(bob, {{"objectclass", {"top", "person"}}, {"sn", {"Bob"}}}), "entry", bob},
        {"ModifyRequest",
         BuildModifyRequest(ann, {{M::addValues, {"mail", {"a@x", "b@x"}}},
                                  {M::deleteValues, {"description", {}}},
                                  {M::replaceValues, {"sn", {"S"}}}}),
         "object", ann},
        {"ModifyDnRequest", BuildModifyDNRequest(ann, "cn=Anne", true, "ou=staff,dc=example,dc=com"), "newSuperior",
         "ou=staff,dc=example,dc=com"},
        {"CompareRequest", BuildCompareRequest(ann, "sn", "Smith"), "attribute", "sn"},
        {"DeleteRequest", BuildDeleteRequest(bob), "entry", bob},
        {"AbandonRequest", BuildAbandonRequest(3), "abandonId", "3"},
        {"UnbindRequest", BuildUnbindRequest(), "type", "UnbindRequest"},
        {"ExtensionRequest", BuildExtendedRequest("1.3.6.1.4.1.4203.1.11.3"), "requestName", "1.3.6.1.4.1.4203.1.11.3"},
        {"ExtensionRequest", BuildExtendedRequest("1.3.6.1.4.1.4203.1.11.1", std::string_view("\x30\x00", 2)),
         "requestName", "1.3.6.1.4.1.4203.1.11.1"},
    };
    std::vector<std::string> ours;
    for (auto& row : rows) ours.push_back(EncodedHex(*BuildLDAPMessage(ours.size() + 1, std::move(std::get<1>(row)))));
    const std::vector<std::string> theirs = Ldapjs("parse", ours);
    ASSERT_EQ(theirs.size(), ours.size());
    for (size_t i = 0; i < ours.size(); ++i) {
        const auto& [type, operation, field, value] = rows[i];
        EXPECT_EQ(jsonField(theirs[i], "type"), type) << theirs[i];
        EXPECT_EQ(jsonField(theirs[i], "id"), std::to_string(i + 1)) << theirs[i];
        EXPECT_EQ(jsonField(theirs[i], field), value) << theirs[i];
        EXPECT_EQ(jsonField(theirs[i], "hex"), ours[i]) << type;
    }
}

}  // namespace
