// LDAP messages, framing and filter strings, and filters and messages against the npm packages
// @ldapjs/filter and @ldapjs/messages: theirs decode here and re-encode to the same octets, ours
// parse there alike.
#include <gtest/gtest.h>

#include "tests/common/rows.h"
#include "tests/ldap/ldap_test_util.h"
#include "vorlan/ldap/filterstring.h"
#include "vorlan/ldap/framing.h"
#include "vorlan/ldap/message.h"
#include "vorlan/ldap/requests.h"
#include "vorlan/ldap/values.h"

namespace {

using namespace ldappeer;
using namespace std::string_literals;

const std::string kEntry =
    tlv("64", {str("cn=a"), tlv("30", {tlv("30", {str("cn"), tlv("31", {str("a"), str("b")})})})});
std::string search(const std::string& filter, const std::string& extra = "") {
    return tlv("63", {str("dc=x"), num(2, "0a"), num(0, "0a"), num(0), num(0), "010100", filter, tlv("30"), extra});
}

// The alternatives the ldapjs messages show (its search has the other filter kinds) are decoded
// every way in their test, controls with all members in the accessor test. The last rows are
// forms LDAP forbids (indefinite lengths, constructed strings) which only the strict decode
// refuses.
struct AlternativeRow {
    const char* name;
    std::string hex;
    int expected;
    bool strictRefuses = false;
    friend void PrintTo(const AlternativeRow& row, std::ostream* out) { *out << row.name; }
};
std::vector<AlternativeRow> AlternativeRows() {
    const std::string present = str("cn", "87"), cd = str("d") + str("c"), sk = tlv("a1", {tlv("30", {str("cn")})});
    return {
        {"searchResFull", message(tlv("30", {kEntry, tlv("73", {str("u")}), tlv("65", {result()})})), 7},
        {"compareResponse", message(tlv("6f", {result(6), str("", "89")})), 17},
        {"sessionRequest", message(tlv("71", {tlv("30", {str("1.2"), str("v")})})), 19},
        {"sessionResponse", message(tlv("72", {result(), tlv("ac", {str("1.2")})})), 20},
        {"resumeRequest", message(tlv("74", {"800101", "810101", "820101"})), 21},
        {"resumeError", message(tlv("75", {result()})), 22},
        {"extendedReq in primitive form", message(str("1.3.6.1.4.1.4203.1.11.3", "77")), kInvalid},
        {"extendedResp, older names", message(tlv("78", {result(), str("1.2", "80"), str("v", "81")})), 24},
        {"APPLICATION 22 is no alternative", message("5600"), kInvalid},
        {"unbind in constructed form", message(tlv("62", {str("x")})), 2},
        {"constructed delete", message(tlv("6a", {str("cn=a")})), 12},
        {"cldapUserName", tlv("30", {"020101", str("me"), "4200"}), 2},
        {"a fourth component other than controls", tlv("30", {"020101", "4200", str("x")}), kInvalid},
        {"controls without value", tlv("30", {"020101", "4200", tlv("a0", {tlv("30", {str("1.2.3")})})}), 2},
        {"messageID 0", message("4200", "020100"), 2},
        {"messageID 2^31-1", message("4200", "02047fffffff"), 2},
        {"messageID negative", message("4200", "0201ff"), kInvalid},
        {"messageID empty", message("4200", "0200"), kInvalid},
        {"messageID 2^31", message("4200", "02050080000000"), kInvalid},
        {"messageID padded", message("4200", "02020001"), kInvalid},
        {"messageID as ENUMERATED", message("4200", "0a0101"), kInvalid},
        {"empty referral", message(tlv("67", {result(10), "a300"})), kInvalid},
        {"referral", message(tlv("67", {result(10), tlv("a3", {str("ldap://a"), str("ldap://b")})})), 9},
        {"empty search reference", message("7300"), kInvalid},
        {"session control without value", message(tlv("71", {tlv("30", {str("1.2"), "0101ff"})})), kInvalid},
        {"session control with criticality", message(tlv("71", {tlv("30", {str("1.2"), "0101ff", str("v")})})), 19},
        {"sessionResponse without unsupportedCtls", message(tlv("72", {result()})), kInvalid},
        {"pageSizeLimit without sortKeys", message(search(present, "800105")), 3},
        {"pageSizeLimit, sortKeys", message(search(present, "800105" + sk)), 3},
        {"sortKeys before pageSizeLimit", message(search(present, sk + "800105")), kInvalid},
        {"not over two filters", message(search(tlv("a2", {present, present}))), kInvalid},
        {"not over one filter", message(search(tlv("a2", {present}))), 3},
        {"empty and", message(search("a000")), 3},
        {"substrings initial and final, extensible match",
         message(search(tlv("a0", {tlv("a4", {str("cn"), tlv("30", {str("A", "80"), str("n", "82")})}),
                                   tlv("a9", {str("2.5.13.2", "81"), str("x", "83")})}))),
         3},
        {"equality without assertionValue", message(search(tlv("a3", {str("cn")}))), 3},
        {"no such filter", message(search(str("x", "8a"))), kInvalid},
        {"baseObject as INTEGER",
         message(tlv("63", {num(1), num(2, "0a"), num(0, "0a"), num(0), num(0), "010100", present, tlv("30")})),
         kInvalid},
        {"serverCreds whatever its contents", message(tlv("61", {result(), tlv("a7", {"0500"})})), 1},
        {"resumeRequest without entriesToReturn", message(tlv("74", {"800101", "810101"})), kInvalid},
        {"operation with identifier 0", message("0000"), kInvalid},
        {"octets after the last member", message(tlv("65", {result(), str("x")})), kInvalid},
        {"indefinite message", "30800201014200" + std::string("0000"), 2, true},
        {"indefinite entry", message("6480" + str("cn=a") + "30000000"), 4, true},
        {"constructed matchedDN", message(tlv("6b", {num(0, "0a"), tlv("24", {cd}), str("")})), 13, true},
    };
}

using LdapMessageAlternatives = testing::TestWithParam<AlternativeRow>;
TEST_P(LdapMessageAlternatives, EveryAlternativeAndTheMembersThatDecideValidity) {
    const AlternativeRow& row = GetParam();
    const Decoded d = DecodeEveryWay(row.hex);
    EXPECT_EQ(d.tolerant, row.expected) << d.reason;
    EXPECT_EQ(d.strict, row.strictRefuses ? kInvalid : row.expected);
    EXPECT_EQ(d.generic, row.expected);
    EXPECT_TRUE(row.expected == kInvalid || row.strictRefuses || d.reencoded == row.hex) << d.reencoded;
}
INSTANTIATE_TEST_SUITE_P(Alternatives, LdapMessageAlternatives, testing::ValuesIn(AlternativeRows()),
                         testcommon::RowName());

// Members of decoded messages through their accessors and helpers (the slapd test reads
// entries through them too); past the members, the decoding exception, never an index -1 or a
// reference to nothing.
TEST(LdapMessage, AccessorsReachDecodedMembersAndFailPastThem) {
    // A second attribute with more values than the decoder keeps in place while it reads.
    std::string values;
    for (int i = 0; i < 20; ++i) values += str(std::to_string(i));
    const std::string pdu = tlv(
        "30", {"02020100",
               tlv("64", {str("cn=a"), tlv("30", {tlv("30", {str("cn"), tlv("31", {str("a"), str("b")})}),
                                                  tlv("30", {str("many"), tlv("31", {values})})})}),
               tlv("a0", {tlv("30", {str("1.2.840.113556.1.4.319"), "0101ff", str("v")}), tlv("30", {str("2.16")})})});
    const Octets octets = FromHex(pdu);
    const auto owned = DecodeLDAPMessage(octets.data(), octets.size());
    const CASN1_LDAPMessage& m = *owned;
    EXPECT_EQ(EncodedHex(m), pdu);
    EXPECT_TRUE(m.GetMessageID() == 256 && !m.is_cldapUserName());
    ASSERT_EQ(m.getControlCount(), 2);
    EXPECT_TRUE(m.getControl(0).get_criticality().GetBoolean());
    EXPECT_EQ(LDAPOctets(m.getControl(0).get_controlValue()), "v");
    EXPECT_FALSE(m.getControl(1).is_criticality() || m.getControl(1).is_controlValue());
    const CASN1_ProtocolOpChoice op = m.get_protocolOp();
    EXPECT_TRUE(op.is_searchResEntry() && !op.is_searchResDone());
    const CASN1_PartialAttribute& attribute = op.get_searchResEntry().get_attributes().getComponent(0);
    const CASN1_SetOfLDAPAttributeValue& many = op.get_searchResEntry().get_attributes().getComponent(1).get_vals();
    EXPECT_EQ(many.getComponentCount(), 20);
    EXPECT_EQ(LDAPOctets(many.getComponent(19)), "19");

    const Octets referral = FromHex(message(tlv("67", {result(10), tlv("a3", {str("ldap://a")})})));
    const auto response = DecodeLDAPMessage(referral.data(), referral.size());
    const SLDAPResult r = ReadLDAPResult(response->get_protocolOp().get_modifyResponse());
    EXPECT_TRUE(r.resultCode == ELDAPResultCode::referral && r.referral == std::vector<std::string>{"ldap://a"});
    // The record read the way of the tables: fromImplicit into the operation's type.
    CASN1_TAGGED tagged(response->get_protocolOp().get_modifyResponse());
    CASN1_LDAPResult typed;
    ASSERT_TRUE(typed.fromImplicit(tagged));
    EXPECT_TRUE(CASN1_LDAPResult::isValid(&typed, 0));
    EXPECT_EQ(LDAPNumber(typed.get_resultCode()), 10u);

    const std::vector<std::function<void()>> past = {
        [&] { m.get_cldapUserName(); },
        [&] { response->get_controls(); },
        [&] { response->getControl(0); },
        [&] { m.getControl(2); },
        [&] { op.get_searchResDone(); },
        [&] { op.get_searchResEntry().get_attributes().getComponent(2); },
        [&] { attribute.get_vals().getComponent(-1); },
        [&] { CASN1_ProtocolOpChoice().GetValue(); },
    };
    for (size_t i = 0; i < past.size(); ++i) EXPECT_NE(DecodingReason(past[i]), "") << i;
}

// Values assembled by hand: validity is structural, accessors check classes too.
TEST(LdapMessage, HandBuiltValuesValidateAndAccessorsRefuseOtherClasses) {
    auto entry = std::make_unique<CASN1_SearchResultEntry>();
    entry->AddObject(new CASN1_OCTET_STRING(reinterpret_cast<const unsigned char*>("cn=a"), 4));
    entry->AddObject(new CASN1_SEQUENCE);  // not a CASN1_PartialAttributeList
    EXPECT_TRUE(CASN1_SearchResultEntry::isValid(entry.get(), 0));
    EXPECT_NE(DecodingReason([&] { entry->get_attributes(); }), "");
    EXPECT_EQ(DecodingReason([&] { entry->get_objectName(); }), "");

    CASN1_LDAPMessage m;
    m.AddObject(new CASN1_INTEGER(5));
    auto tagged = std::make_unique<CASN1_TAGGED>(ASN1ApplicationTag(4), 0);  // an entry's tag, not its class
    entry->buildImplicitTAGGED(*tagged);
    m.AddObject(tagged.release());
    EXPECT_TRUE(CASN1_LDAPMessage::isValid(&m, 0));
    EXPECT_TRUE(m.get_protocolOp().is_searchResEntry());
    EXPECT_NE(DecodingReason([&] { m.get_protocolOp().get_searchResEntry(); }), "");

    // The end row has identifier 0 and still matches nothing.
    CASN1_TAGGED zero(0, 0);
    EXPECT_EQ(CASN1_ProtocolOpChoice::resolveAlternative(&zero), -1);
    CASN1_LDAPMessage withZero;
    withZero.AddObject(new CASN1_INTEGER(5));
    withZero.AddObject(zero.clone());
    EXPECT_FALSE(CASN1_LDAPMessage::isValid(&withZero, 0));
    EXPECT_EQ(___findComponentByMemberName(CASN1_LDAPMessage::m_compInfoList, withZero.GetComponents(), ""), -1);
    CASN1_Referral referral;
    referral.AddObject(new CASN1_OCTET_STRING(reinterpret_cast<const unsigned char*>("u"), 1));
    referral.AddObject(zero.clone());
    EXPECT_FALSE(CASN1_Referral::isValid(&referral, 0));
}

// Every length octet of a message raised by one (the claims no longer fit), and filters nested
// past the bound. Truncations of a real entry are in the slapd test.
TEST(LdapMessage, HostileEncodingsFailWithTheDecodingException) {
    const Octets whole = FromHex(message(kEntry, "020102"));
    for (size_t at : {1u, 3u, 6u, 8u, 14u, 16u, 18u, 22u, 24u, 27u}) {
        Octets forged = whole;
        ++forged[at];
        EXPECT_NE(DecodingReason([&] { DecodeLDAPMessage(forged.data(), forged.size()); }), "") << at;
    }
    std::string filter = str("cn", "87");
    for (int level = 0; level < 130; ++level) filter = tlv("a2", {filter});
    const Octets deep = FromHex(message(search(filter)));
    EXPECT_NE(DecodingReason([&] { DecodeLDAPMessage(deep.data(), deep.size()); }).find("nest deeper"),
              std::string::npos);
}

// A search entry of `count` attributes of one-octet type and value: 5 + 4 * count elements (the
// message, its ID, the operation, the name, the list; per attribute its SEQUENCE, type, SET, value).
Octets EntryOfTinyAttributes(size_t count) {
    const Octets attribute = FromHex("30080401613103040162");
    Octets attributes;
    for (size_t i = 0; i < count; ++i) attributes.insert(attributes.end(), attribute.begin(), attribute.end());
    using testcommon::Concat, testcommon::Tlv;
    return Tlv(0x30, Concat({FromHex("020101"), Tlv(0x64, Concat({FromHex("0400"), Tlv(0x30, attributes)}))}));
}

// Each element decodes into a value object, so the count of elements, not the octets, bounds the
// memory a message takes; a message of 10 MB in one-octet attributes would take some 600 MB.
TEST(LdapMessage, MessagesOfMoreElementsThanTheBoundAreRefusedBeforeDecoding) {
    const struct {
        size_t attributes;
        unsigned long bound;
        bool decodes;
    } rows[] = {
        {3, 17, true}, {3, 16, false}, {0, 5, true}, {0, 4, false}, {1000000, kMaxLDAPMessageElements, false},  // 10 MB
    };
    for (const auto& row : rows) {
        const Octets pdu = EntryOfTinyAttributes(row.attributes);
        int decoded = -1;
        const std::string reason = DecodingReason([&] {
            decoded = DecodeLDAPMessage(pdu.data(), pdu.size(), row.bound)
                          ->get_protocolOp()
                          .get_searchResEntry()
                          .get_attributes()
                          .getComponentCount();
        });
        if (row.decodes) {
            EXPECT_EQ(reason, "") << row.attributes;
            EXPECT_EQ(decoded, static_cast<int>(row.attributes));
        } else {
            EXPECT_EQ(reason, "LDAP message of more than " + std::to_string(row.bound) + " elements") << row.attributes;
        }
    }
}

// Operations as a caller might assemble them: built, or decoded from hex in any form (the
// ldapjs test sends one of each builder).
TEST(LdapRequests, BuildersRefuseFormsServersDropTheConnectionFor) {
    using Build = std::function<std::unique_ptr<CASN1Type>()>;
    const auto hex = [](const std::string& operation) -> Build {
        return [operation] { return Built(FromHex(operation)); };
    };
    const auto search = [](const std::string& filterHex, unsigned long sizeLimit) -> Build {
        return [=] {
            return BuildSearchRequest(
                {.baseObject = "dc=x", .sizeLimit = sizeLimit, .attributes = {}},
                LDAPFilterPtr(&dynamic_cast<CASN1_TAGGED&>(*Built(FromHex(filterHex)).release())));
        };
    };
    const std::string attribute = tlv("30", {str("cn"), tlv("31", {str("a")})});
    const std::tuple<const char*, Build, bool> rows[] = {
        {"unbind", [] { return BuildUnbindRequest(); }, false},
        {"unbind constructed (62)", hex("6200"), true},
        {"delete constructed (6A)", hex(tlv("6a", {str("cn=a")})), true},
        {"abandon constructed (70)", hex("7003020101"), true},
        {"abandon of 2^31-1", [] { return BuildAbandonRequest(0x7FFFFFFF); }, false},
        {"abandon of 2^31", [] { return BuildAbandonRequest(0x80000000); }, true},
        {"search with a size limit of 2^31", search("8702636e", 0x80000000), true},
        {"constructed OCTET STRING", hex(tlv("68", {tlv("24", {str("cn=a")}), tlv("30", {attribute})})), true},
        {"indefinite length", hex(tlv("66", {str("cn=a"), "3080" + tlv("30", {num(2, "0a"), attribute}) + "0000"})),
         true},
        {"constructed simple password", hex(tlv("60", {num(3), str("cn=a"), tlv("a0", {str("pw")})})), true},
        // Filters are checked as FormatLDAPFilter checks them (see its table), at any depth.
        {"equality without value under not and or", search("a108a206a3040402636e", 0), true},
        {"compare without value", hex(tlv("6e", {str("cn=a"), tlv("30", {str("sn")})})), true},
        {"no operation at all", hex("020101"), true},
    };
    for (const auto& [what, build, refused] : rows) {
        std::unique_ptr<CASN1_LDAPMessage> message;
        const std::string reason = DecodingReason([&, &build = build] { message = BuildLDAPMessage(7, build()); });
        EXPECT_EQ(!reason.empty(), refused) << what << ": " << reason;
        if (message) {  // what goes out decodes strictly to the same message
            const Octets out = FromHex(EncodedHex(*message));
            EXPECT_EQ(DecodeLDAPMessage(out.data(), out.size())->get_protocolOp().resolve(),
                      message->get_protocolOp().resolve());
        }
    }
    EXPECT_NE(DecodingReason([] { BuildLDAPMessage(0x80000000, BuildUnbindRequest()); }), "");
    const auto message = BuildLDAPMessage(0x7FFFFFFF, BuildUnbindRequest(),
                                          {{"1.2.840.113556.1.4.805", true, std::nullopt}, {"2.16", false, "v"}});
    EXPECT_EQ(EncodedHex(*message), tlv("30", {"02047fffffff", "4200",
                                               tlv("a0", {tlv("30", {str("1.2.840.113556.1.4.805"), "0101ff"}),
                                                          tlv("30", {str("2.16"), str("v")})})}));
}

constexpr long kFails = -1;

// FrameLength with a limit, GetMessageID and GetOperationTag on octets: the value, 0 from
// FrameLength for more octets needed, kFails for the decoding exception. Every truncation of a
// real entry needs more octets in the slapd test; GetMessageID shares its check of the number
// with the decoders (their table has the refused IDs).
TEST(LdapFraming, FramesMessageIdsAndOperationTags) {
    using Reader = std::function<long(const Octets&)>;
    const auto frame = [](unsigned long limit) -> Reader {
        return [limit](const Octets& o) { return static_cast<long>(FrameLength(o.data(), o.size(), limit)); };
    };
    const Reader id = [](const Octets& o) { return static_cast<long>(GetMessageID(o.data(), o.size())); };
    const Reader tag = [](const Octets& o) { return static_cast<long>(GetOperationTag(o.data(), o.size())); };
    const std::tuple<Reader, const char*, long> rows[] = {
        {frame(100), "30050201014200", 7},
        {frame(100), "30050201014200300502", 7},  // the next message has begun
        {frame(100), "3081050201014200", 8},
        {frame(100), "3084000000050201014200", 11},  // long form with leading zeros is BER
        {frame(7), "30050201014200", 7},
        {frame(6), "30050201014200", kFails},      // above the caller's limit
        {frame(1 << 20), "30840fffffff", kFails},  // refused before the octets arrive
        {frame(100), "31050201014200", kFails},    // SET, not SEQUENCE
        {frame(100), "0a", kFails},
        {frame(100), "30800201014200 0000", kFails},  // indefinite length
        {frame(100), "3085000000000502", kFails},     // five length octets
        {id, "300602020080 4200", 128},
        {id, "300802047fffffff4200", 2147483647},
        {id, "30050201ff4200", kFails},    // negative: the shared check fails
        {id, "30050401014200", kFails},    // not an INTEGER
        {id, "3005020101420000", kFails},  // octets after the message
        {id, "300502010142", kFails},      // truncated
        {id, "3003020101", 1},
        {tag, "30050201014200", 0x42},
        {tag, "300a02010104036162634200", 0x42},  // connectionless user name first
        {tag, "30070201016a020400", 0x4a},        // constructed delete
        {tag, "30050201015600", 0x56},            // APPLICATION 22: no alternative, still routed
        {tag, "30050201017900", 0x59},
        {tag, "3003020101", kFails},
        {tag, "3005020101ff00", kFails},  // high tag number form
    };
    for (const auto& [read, hex, expected] : rows) {
        long got = kFails;
        DecodingReason([&, &read = read, hex = hex] { got = read(FromHex(hex)); });
        EXPECT_EQ(got, expected) << hex;
    }
}

// Each string encodes as ldapjs encodes it or, for the escapes of RFC 4515 (which ldapjs does
// not resolve), to the octets the RFC gives; parsed and decoded it formats back to the text or
// to the canonical form given.
TEST(LdapFilterString, ParseAndFormatAsLdapjsAndRfc4515Do) {
    // text, its encoding ("": ldapjs's), the form FormatLDAPFilter writes ("": the text)
    const std::vector<std::tuple<std::string, std::string, std::string>> rows = {
        {"(objectClass=person)", "", ""},
        {"(&(objectClass=person)(|(cn=Ann*)(mail=*@example.com)))", "", ""},
        {"(!(cn=Tim Howes))", "", ""},
        {"(|(cn=*)(&(sn=a*b*c)(sn=*b*)(sn=*x))(!(!(uid=1))))", "", ""},
        {"(&(age>=30)(age<=40)(sn~=smith))", "", ""},
        {"(cn:dn:2.4.6.8.10:=Dino)", "", ""},
        {"(:1.2.3:=Wilma Flintstone)", "", ""},
        {"(cn:caseExactMatch:=Fred Flintstone)", "", ""},
        {"(o:dn:=Ace Industry)", "", ""},
        {"(cn:=Betty Rubble)", "", ""},
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
    std::vector<std::string> texts;
    for (const auto& row : rows) texts.push_back(std::get<0>(row));
    const std::vector<std::string> theirs = Ldapjs("filters", texts);
    ASSERT_EQ(theirs.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto& [text, der, canonical] = rows[i];
        const LDAPFilterPtr filter = ParseLDAPFilter(text);
        EXPECT_EQ(EncodedHex(*filter), der.empty() ? theirs[i] : der) << text;
        EXPECT_EQ(FormatLDAPFilter(*filter), canonical.empty() ? text : canonical);
        EXPECT_EQ(FormatLDAPFilter(*Built(FromHex(EncodedHex(*filter)))), canonical.empty() ? text : canonical);
    }
}

TEST(LdapFilterString, MalformedStringsAndFiltersServersRefuseFail) {
    const std::vector<std::string> strings = {
        "",        "cn=x",      "(cn=x",         "(cn=x))",      "((cn=x))",  "(=x)",     "(cn)",
        "(cn~x)",  "(cn=a(b)",  "(cn=a\\2)",     "(cn=a\\zz)",   "(cn=a**b)", "(cn>=a*)", "(!(a=b)(c=d))",
        "(!)",     "(:=x)",     "(cn:dn:=x*)",   "(cn:1.2:x)",   "(1=x)",     "(1.02=x)", "(c n=x)",
        "(cn;=x)", "(cn=\xff)", "(cn=\xc0\xaf)", "(cn=x)(cn=y)", "(cn=a\0b)"s};
    for (const std::string& text : strings) EXPECT_NE(DecodingReason([&] { ParseLDAPFilter(text); }), "") << text;
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
        ASSERT_EQ(DecodingReason([&] { filter = Built(FromHex(hex)); }), "") << hex;
        EXPECT_NE(DecodingReason([&] { FormatLDAPFilter(*filter); }), "") << hex;
    }
    // Nesting past the bound, parsed or built.
    std::string deepest = "(a=b)";
    for (int level = 1; level < kMaxLDAPFilterNesting; ++level) deepest = "(!" + deepest + ")";
    EXPECT_EQ(FormatLDAPFilter(*ParseLDAPFilter(deepest)), deepest);
    EXPECT_NE(DecodingReason([&] { ParseLDAPFilter("(!" + deepest + ")"); }), "");
    const LDAPFilterPtr built = BuildNotFilter(ParseLDAPFilter(deepest));
    EXPECT_NE(DecodingReason([&] { FormatLDAPFilter(*built); }), "");
}

// Decoded tolerantly, strictly and generically through the tables, each is the operation it
// is, and it re-encodes to the same octets.
TEST(LdapjsInterop, TheirMessagesOfEveryOperationDecodeAndReencodeAlike) {
    const std::vector<std::string> lines = Ldapjs("messages");
    ASSERT_EQ(lines.size(), 21u);
    for (const std::string& line : lines) {
        const std::string name = line.substr(0, line.find(' ')), hex = line.substr(line.find(' ') + 1);
        const Decoded d = DecodeEveryWay(hex);
        ASSERT_NE(d.strict, kInvalid) << line << ": " << d.reason;
        EXPECT_EQ(CASN1_ProtocolOpChoice::m_alternativesList[d.strict].m_szMemberName, name);
        EXPECT_TRUE(d.tolerant == d.strict && d.generic == d.strict) << name;
        EXPECT_EQ(d.reencoded, hex) << name;
    }
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
    for (auto& [type, operation, field, value] : rows)
        ours.push_back(EncodedHex(*BuildLDAPMessage(ours.size() + 1, std::move(operation))) + " " + field);
    const std::vector<std::string> theirs = Ldapjs("parse", ours);
    ASSERT_EQ(theirs.size(), ours.size());
    for (size_t i = 0; i < ours.size(); ++i) {
        const auto& [type, operation, field, value] = rows[i];
        EXPECT_EQ(theirs[i], std::string(type) + " " + std::to_string(i + 1) + " " + value + " " +
                                 ours[i].substr(0, ours[i].find(' ')));
    }
}

}  // namespace
