// LDAP messages through their component tables: every alternative, the members that decide
// validity, the checked accessors, the strict and tolerant decodes, the request builders and
// what they refuse to put on the wire, and the framing of messages on a stream.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/ldap/ldap_test_util.h"
#include "vorlan/ldap/framing.h"
#include "vorlan/ldap/message.h"
#include "vorlan/ldap/requests.h"
#include "vorlan/ldap/values.h"

namespace {

using namespace ldappeer;

constexpr int kInvalid = -1;

// The message decoded by the decoding constructor (tolerant), by DecodeLDAPMessage (strict)
// and generically, then validated through the tables: the alternative's index, kInvalid when
// decoding or validation fails.
struct Decoded {
    int tolerant = kInvalid, strict = kInvalid, generic = kInvalid;
    std::string reencoded, reason;
};

Decoded decodeBoth(const std::string& hex) {
    Decoded d;
    DecodingFailure([&] {
        const std::unique_ptr<CASN1Type> value = DecodeHex(hex);
        if (!CASN1_LDAPMessage::isValid(value.get(), 0)) return;
        const CASN1ComponentArray& parts = dynamic_cast<const CASN1_SEQUENCE&>(*value).GetComponents();
        const int op = ___findComponentByMemberName(CASN1_LDAPMessage::m_compInfoList, parts, "protocolOp");
        d.generic = CASN1_ProtocolOpChoice::resolveAlternative(parts[op]);
    });
    const Octets octets = FromHex(hex);
    d.reason = DecodingFailure([&] {
        CDEREncoding der(0, const_cast<unsigned char*>(octets.data()), octets.size(), 0, 0);
        der.AddRef();
        CASN1_LDAPMessage message(der);
        d.tolerant = message.get_protocolOp().resolve();
        d.reencoded = EncodedHex(message);
    });
    DecodingFailure([&] { d.strict = DecodeLDAPMessage(octets.data(), octets.size())->get_protocolOp().resolve(); });
    return d;
}

const std::string kEntry =
    tlv("64", {str("cn=a"), tlv("30", {tlv("30", {str("cn"), tlv("31", {str("a"), str("b")})})})});
std::string search(const std::string& filter, const std::string& extra = "") {
    return tlv("63", {str("dc=x"), num(2, "0a"), num(0, "0a"), num(0), num(0), "010100", filter, tlv("30"), extra});
}

// The last rows are forms LDAP forbids (indefinite lengths, constructed strings) which only the
// strict decode refuses.
TEST(LdapMessage, EveryAlternativeAndTheMembersThatDecideValidity) {
    struct Row {
        const char* what;
        std::string hex;
        int expected;
        bool strictRefuses = false;
    };
    const std::string present = str("cn", "87"), cn = str("cn=a"), cd = str("d") + str("c"),
                      sk = tlv("a1", {tlv("30", {str("cn")})});
    const std::vector<Row> rows = {
        {"bindRequest", message(tlv("60", {num(3), str("cn=a"), str("pw", "80")})), 0},
        {"bindResponse", message(tlv("61", {result(49)})), 1},
        {"unbindRequest", message("4200"), 2},
        {"searchRequest", message(search(present)), 3},
        {"searchResEntry", message(kEntry), 4},
        {"searchResDone", message(tlv("65", {result()})), 5},
        {"searchResRef", message(tlv("73", {str("ldap://x")})), 6},
        {"searchResFull", message(tlv("30", {kEntry, tlv("73", {str("u")}), tlv("65", {result()})})), 7},
        {"modifyRequest",
         message(tlv("66", {cn, tlv("30", {tlv("30", {num(0, "0a"), tlv("30", {str("m"), "3100"})})})})), 8},
        {"modifyResponse", message(tlv("67", {result()})), 9},
        {"addRequest", message(tlv("68", {cn, tlv("30", {tlv("30", {str("cn"), tlv("31", {str("a")})})})})), 10},
        {"addResponse", message(tlv("69", {result()})), 11},
        {"delRequest", message(str("cn=a", "4a")), 12},
        {"delResponse", message(tlv("6b", {result(32)})), 13},
        {"modDNRequest", message(tlv("6c", {str("cn=a"), str("cn=b"), "0101ff", str("o=y", "80")})), 14},
        {"modDNResponse", message(tlv("6d", {result()})), 15},
        {"compareRequest", message(tlv("6e", {str("cn=a"), tlv("30", {str("sn"), str("x")})})), 16},
        {"compareResponse", message(tlv("6f", {result(6), str("", "89")})), 17},
        {"abandonRequest", message("500105"), 18},
        {"sessionRequest", message(tlv("71", {tlv("30", {str("1.2"), str("v")})})), 19},
        {"sessionResponse", message(tlv("72", {result(), tlv("ac", {str("1.2")})})), 20},
        {"resumeRequest", message(tlv("74", {"800101", "810101", "820101"})), 21},
        {"resumeError", message(tlv("75", {result()})), 22},
        {"extendedReq in primitive form", message(str("1.3.6.1.4.1.4203.1.11.3", "77")), kInvalid},
        {"extendedReq without value (WhoAmI)", message(tlv("77", {str("1.3.6.1.4.1.4203.1.11.3", "80")})), 23},
        {"extendedResp with RFC names", message(tlv("78", {result(), str("1.2", "8a"), str("dn:x", "8b")})), 24},
        {"extendedResp, older names", message(tlv("78", {result(), str("1.2", "80"), str("v", "81")})), 24},
        {"intermediateResponse", message(tlv("79", {str("1.2", "80"), str("x", "81")})), 25},
        {"APPLICATION 22 is no alternative", message("5600"), kInvalid},
        {"unbind in constructed form", message(tlv("62", {str("x")})), 2},
        {"constructed delete", message(tlv("6a", {str("cn=a")})), 12},
        {"cldapUserName", tlv("30", {"020101", str("me"), "4200"}), 2},
        {"a fourth component other than controls", tlv("30", {"020101", "4200", str("x")}), kInvalid},
        {"controls without value", tlv("30", {"020101", "4200", tlv("a0", {tlv("30", {str("1.2.3")})})}), 2},
        {"controls with all members",
         tlv("30", {"020101", "4200", tlv("a0", {tlv("30", {str("1.2"), "0101ff", str("v")})})}), 2},
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
        {"nested and/or/substrings/extensible",
         message(search(tlv("a0", {tlv("a1", {tlv("a4", {str("cn"), tlv("30", {str("A", "80"), str("n", "82")})}),
                                              tlv("a9", {str("2.5.13.2", "81"), str("x", "83")})}),
                                   tlv("a3", {str("sn"), str("x")}), tlv("a5", {str("age"), str("3")})}))),
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
    for (const Row& row : rows) {
        const Decoded d = decodeBoth(row.hex);
        EXPECT_EQ(d.tolerant, row.expected) << row.what << ": " << d.reason;
        EXPECT_EQ(d.strict, row.strictRefuses ? kInvalid : row.expected) << row.what;
        EXPECT_EQ(d.generic, row.expected) << row.what;
        if (row.expected != kInvalid && !row.strictRefuses) {
            EXPECT_EQ(d.reencoded, row.hex) << row.what;
        }
    }
}

TEST(LdapMessage, AccessorsReachDecodedMembersAndFailPastThem) {
    // A second attribute with more values than the decoder keeps in place while it reads.
    std::string values;
    for (int i = 0; i < 20; ++i) values += str(std::to_string(i));
    const std::string pdu =
        message(tlv("64", {str("cn=a"), tlv("30", {tlv("30", {str("cn"), tlv("31", {str("a"), str("b")})}),
                                                   tlv("30", {str("many"), tlv("31", {values})})})}),
                "02020100");
    const Octets octets = FromHex(pdu);
    const auto owned = DecodeLDAPMessage(octets.data(), octets.size());
    const CASN1_LDAPMessage& m = *owned;
    EXPECT_EQ(EncodedHex(m), pdu);
    EXPECT_EQ(m.GetMessageID(), 256u);
    EXPECT_FALSE(m.is_cldapUserName());
    EXPECT_EQ(m.getControlCount(), 0);
    const CASN1_ProtocolOpChoice op = m.get_protocolOp();
    EXPECT_TRUE(op.is_searchResEntry());
    EXPECT_FALSE(op.is_searchResDone());
    const CASN1_PartialAttribute& attribute = op.get_searchResEntry().get_attributes().getComponent(0);
    EXPECT_EQ(LDAPOctets(attribute.get_type()), "cn");
    EXPECT_EQ(attribute.get_vals().getComponentCount(), 2);
    EXPECT_EQ(LDAPOctets(attribute.get_vals().getComponent(1)), "b");
    const CASN1_SetOfLDAPAttributeValue& many = op.get_searchResEntry().get_attributes().getComponent(1).get_vals();
    EXPECT_EQ(many.getComponentCount(), 20);
    EXPECT_EQ(LDAPOctets(many.getComponent(19)), "19");
    EXPECT_EQ(LDAPOctets(m.get_protocolOp().get_searchResEntry().get_objectName()), "cn=a");
    // Past the members: the decoding exception, never an index -1 or a reference to nothing.
    const std::vector<std::function<void()>> past = {
        [&] { m.get_cldapUserName(); },
        [&] { m.get_controls(); },
        [&] { m.getControl(0); },
        [&] { op.get_searchResDone(); },
        [&] { op.get_searchResEntry().get_attributes().getComponent(2); },
        [&] { attribute.get_vals().getComponent(-1); },
        [&] { CASN1_ProtocolOpChoice().GetValue(); },
    };
    for (size_t i = 0; i < past.size(); ++i) EXPECT_NE(DecodingFailure(past[i]), "") << i;
}

TEST(LdapMessage, ControlsAndResultsReadThroughTheirHelpers) {
    const std::string controls =
        tlv("a0", {tlv("30", {str("1.2.840.113556.1.4.319"), "0101ff", str("v")}), tlv("30", {str("2.16")})});
    const Octets octets =
        FromHex(tlv("30", {"020107", tlv("67", {result(10), tlv("a3", {str("ldap://a")})}), controls}));
    const auto m = DecodeLDAPMessage(octets.data(), octets.size());
    ASSERT_EQ(m->getControlCount(), 2);
    EXPECT_TRUE(m->getControl(0).get_criticality().GetBoolean());
    EXPECT_EQ(LDAPOctets(m->getControl(0).get_controlValue()), "v");
    EXPECT_FALSE(m->getControl(1).is_criticality());
    EXPECT_FALSE(m->getControl(1).is_controlValue());
    const SLDAPResult r = ReadLDAPResult(m->get_protocolOp().get_modifyResponse());
    EXPECT_EQ(r.resultCode, ELDAPResultCode::referral);
    EXPECT_EQ(r.referral, std::vector<std::string>{"ldap://a"});
    // The record read the way of the tables: fromImplicit into the operation's type.
    CASN1_TAGGED tagged(m->get_protocolOp().get_modifyResponse());
    CASN1_LDAPResult typed;
    ASSERT_TRUE(typed.fromImplicit(tagged));
    EXPECT_TRUE(CASN1_LDAPResult::isValid(&typed, 0));
    EXPECT_EQ(LDAPNumber(typed.get_resultCode()), 10u);
}

// Values assembled by hand: validity is structural, accessors check classes too.
TEST(LdapMessage, HandBuiltValuesValidateAndAccessorsRefuseOtherClasses) {
    auto attributes = std::make_unique<CASN1_SEQUENCE>();  // not a CASN1_PartialAttributeList
    auto entry = std::make_unique<CASN1_SearchResultEntry>();
    entry->AddObject(new CASN1_OCTET_STRING(reinterpret_cast<const unsigned char*>("cn=a"), 4));
    entry->AddObject(attributes.release());
    EXPECT_TRUE(CASN1_SearchResultEntry::isValid(entry.get(), 0));
    EXPECT_NE(DecodingFailure([&] { entry->get_attributes(); }), "");
    EXPECT_EQ(DecodingFailure([&] { entry->get_objectName(); }), "");

    CASN1_LDAPMessage m;
    m.AddObject(new CASN1_INTEGER(5));
    auto tagged = std::make_unique<CASN1_TAGGED>(ASN1ApplicationTag(4), 0);  // an entry's tag, not its class
    entry->buildImplicitTAGGED(*tagged);
    m.AddObject(tagged.release());
    EXPECT_TRUE(CASN1_LDAPMessage::isValid(&m, 0));
    EXPECT_TRUE(m.get_protocolOp().is_searchResEntry());
    EXPECT_NE(DecodingFailure([&] { m.get_protocolOp().get_searchResEntry(); }), "");

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
        EXPECT_NE(DecodingFailure([&] { DecodeLDAPMessage(forged.data(), forged.size()); }), "") << at;
    }
    std::string filter = str("cn", "87");
    for (int level = 0; level < 130; ++level) filter = tlv("a2", {filter});
    const Octets deep = FromHex(message(search(filter)));
    EXPECT_NE(DecodingFailure([&] { DecodeLDAPMessage(deep.data(), deep.size()); }).find("nest deeper"),
              std::string::npos);
}

CASN1_OCTET_STRING* octets(const char* text) {
    return new CASN1_OCTET_STRING(reinterpret_cast<const unsigned char*>(text), std::strlen(text));
}

// A search under dc=x whose filter is decoded from hex: any form, as a caller might assemble it.
std::unique_ptr<CASN1Type> searchWith(const std::string& filterHex, unsigned long sizeLimit = 0) {
    return BuildSearchRequest({.baseObject = "dc=x", .sizeLimit = sizeLimit, .attributes = {}},
                              LDAPFilterPtr(&dynamic_cast<CASN1_TAGGED&>(*DecodeHex(filterHex).release())));
}

// An operation with component `index` replaced by `replacement`.
template <class Operation>
std::unique_ptr<CASN1Type> with(std::unique_ptr<Operation> operation, int index, CASN1Type* replacement) {
    delete operation->GetComponents()[index];
    operation->GetComponents()[index] = replacement;
    return operation;
}

// An APPLICATION-tagged operation in constructed form holding `inner` (none when null).
std::unique_ptr<CASN1Type> constructed(int tag, CASN1Type* inner) {
    auto operation = std::make_unique<CASN1_TAGGED>(ASN1ApplicationTag(tag), 0);
    if (inner) operation->AddObject(inner);
    return operation;
}

TEST(LdapRequests, BuildersRefuseFormsServersDropTheConnectionFor) {
    const auto tagged = [](auto* value, CASN1Type* inner) {
        value->AddObject(inner);
        return value;
    };
    const auto constructedString = [] {
        auto* entry = new CASN1_OCTET_STRING;
        entry->m_bConstructed = 1;
        entry->AddObject(octets("cn=a"));
        return entry;
    };
    const auto indefinite = [] {
        auto modify = BuildModifyRequest("cn=a", {{ELDAPModifyOperation::replaceValues, {"sn", {"b"}}}});
        modify->GetComponents()[1]->m_bIndefinite = 1;
        return modify;
    };
    const std::vector<std::tuple<const char*, std::function<std::unique_ptr<CASN1Type>()>, bool>> rows = {
        {"unbind", [] { return BuildUnbindRequest(); }, false},
        {"unbind constructed (62)", [] { return constructed(2, nullptr); }, true},
        {"delete constructed (6A)", [] { return constructed(10, octets("cn=a")); }, true},
        {"abandon constructed (70)", [] { return constructed(16, new CASN1_INTEGER(1)); }, true},
        {"abandon of 2^31-1", [] { return BuildAbandonRequest(0x7FFFFFFF); }, false},
        {"abandon of 2^31", [] { return BuildAbandonRequest(0x80000000); }, true},
        {"search with a size limit of 2^31", [] { return searchWith("8702636e", 0x80000000); }, true},
        {"constructed OCTET STRING",
         [&] {
             return with(BuildAddRequest("cn=a", {{"cn", {"a"}}}), 0, constructedString());
         },
         true},
        {"indefinite length", indefinite, true},
        {"constructed simple password",
         [&] {
             return with(BuildSimpleBindRequest("cn=a", "pw"), 2,
                         tagged(new CASN1_TAGGED(ASN1ContextTag(0), 0), octets("pw")));
         },
         true},
        // Filters are checked as FormatLDAPFilter checks them (see its table), at any depth.
        {"equality without value under not and or", [] { return searchWith("a108a206a3040402636e"); }, true},
        {"compare without value",
         [&] {
             return with(BuildCompareRequest("cn=a", "sn", "x"), 1,
                         tagged(new CASN1_LDAPAttributeValueAssertion, octets("sn")));
         },
         true},
        {"no operation at all", [] { return std::make_unique<CASN1_INTEGER>(1); }, true},
        {"WhoAmI", [] { return BuildExtendedRequest("1.3.6.1.4.1.4203.1.11.3"); }, false},
        {"modDN with new superior", [] { return BuildModifyDNRequest("cn=a,o=x", "cn=b", true, "o=y"); }, false},
    };
    for (const auto& [what, build, refused] : rows) {
        std::unique_ptr<CASN1_LDAPMessage> message;
        const std::string reason = DecodingFailure([&, &build = build] { message = BuildLDAPMessage(7, build()); });
        EXPECT_EQ(!reason.empty(), refused) << what << ": " << reason;
        if (message) {  // what goes out decodes strictly to the same message
            const Octets out = FromHex(EncodedHex(*message));
            EXPECT_EQ(DecodeLDAPMessage(out.data(), out.size())->get_protocolOp().resolve(),
                      message->get_protocolOp().resolve());
        }
    }
    EXPECT_NE(DecodingFailure([] { BuildLDAPMessage(0x80000000, BuildUnbindRequest()); }), "");
    const auto message = BuildLDAPMessage(0x7FFFFFFF, BuildUnbindRequest(),
                                          {{"1.2.840.113556.1.4.805", true, std::nullopt}, {"2.16", false, "v"}});
    EXPECT_EQ(EncodedHex(*message), tlv("30", {"02047fffffff", "4200",
                                               tlv("a0", {tlv("30", {str("1.2.840.113556.1.4.805"), "0101ff"}),
                                                          tlv("30", {str("2.16"), str("v")})})}));
    EXPECT_EQ(message->GetMessageID(), 0x7FFFFFFFu);
    EXPECT_EQ(message->getControlCount(), 2);
}

constexpr long kFails = -1;

// FrameLength with a limit, GetMessageID and GetOperationTag on octets: the value, 0 from
// FrameLength for more octets needed, kFails for the decoding exception. GetMessageID shares
// its check of the number with the decoders (their table has the refused IDs).
TEST(LdapFraming, FramesMessageIdsAndOperationTags) {
    using Reader = std::function<long(const Octets&)>;
    const auto frame = [](unsigned long limit) -> Reader {
        return [limit](const Octets& o) { return static_cast<long>(FrameLength(o.data(), o.size(), limit)); };
    };
    const Reader id = [](const Octets& o) { return static_cast<long>(GetMessageID(o.data(), o.size())); };
    const Reader tag = [](const Octets& o) { return static_cast<long>(GetOperationTag(o.data(), o.size())); };
    const std::tuple<Reader, const char*, long> rows[] = {
        {frame(100), "", 0},
        {frame(100), "30", 0},
        {frame(100), "3005020101", 0},
        {frame(100), "30050201014200", 7},
        {frame(100), "30050201014200300502", 7},  // the next message has begun
        {frame(100), "3081", 0},
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
        DecodingFailure([&, &read = read, hex = hex] { got = read(FromHex(hex)); });
        EXPECT_EQ(got, expected) << hex;
    }
}

}  // namespace
