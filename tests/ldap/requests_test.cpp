// Request builders and the message builder: what they refuse to put on the wire.
#include "vorlan/ldap/requests.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/ldap/ldap_hex.h"

namespace {

using namespace ldappeer;

using Operation = std::unique_ptr<CASN1Type>;

CASN1_OCTET_STRING* octets(const char* text) {
    return new CASN1_OCTET_STRING(reinterpret_cast<const unsigned char*>(text), std::strlen(text));
}

// A filter decoded from hex: any form, as a caller might have assembled it.
LDAPFilterPtr filter(const std::string& hex) {
    std::unique_ptr<CASN1Type> value = DecodeHex(hex);
    return LDAPFilterPtr(&dynamic_cast<CASN1_TAGGED&>(*value.release()));
}

SLDAPSearch underX() {
    SLDAPSearch search;
    search.baseObject = "dc=x";
    return search;
}

std::unique_ptr<CASN1_SearchRequest> searchWith(const std::string& filterHex) {
    return BuildSearchRequest(underX(), filter(filterHex));
}

TEST(LdapRequests, BuildersRefuseFormsServersDropTheConnectionFor) {
    struct Row {
        const char* what;
        std::function<Operation()> build;
        bool refused;
    };
    const std::vector<Row> rows = {
        {"unbind", [] { return BuildUnbindRequest(); }, false},
        {"unbind constructed (62)", [] { return std::make_unique<CASN1_TAGGED>(ASN1ApplicationTag(2), 0); }, true},
        {"delete constructed (6A)",
         [] {
             auto del = std::make_unique<CASN1_TAGGED>(ASN1ApplicationTag(10), 0);
             del->AddObject(octets("cn=a"));
             return del;
         },
         true},
        {"abandon constructed (70)",
         [] {
             auto abandon = std::make_unique<CASN1_TAGGED>(ASN1ApplicationTag(16), 0);
             abandon->AddObject(new CASN1_INTEGER(1));
             return abandon;
         },
         true},
        {"abandon of 2^31-1", [] { return BuildAbandonRequest(0x7FFFFFFF); }, false},
        {"abandon of 2^31", [] { return BuildAbandonRequest(0x80000000); }, true},
        {"search with a size limit of 2^31",
         [] {
             SLDAPSearch search = underX();
             search.sizeLimit = 0x80000000;
             return BuildSearchRequest(search, BuildPresentFilter("cn"));
         },
         true},
        {"constructed OCTET STRING",
         [] {
             auto add = BuildAddRequest("cn=a", {{"cn", {"a"}}});
             auto* entry = static_cast<CASN1_OCTET_STRING*>(add->GetComponents()[0]);
             entry->clear();
             entry->m_bConstructed = 1;
             entry->AddObject(octets("cn=a"));
             return add;
         },
         true},
        {"indefinite length",
         [] {
             auto modify = BuildModifyRequest("cn=a", {{ELDAPModifyOperation::replaceValues, {"sn", {"b"}}}});
             modify->GetComponents()[1]->m_bIndefinite = 1;
             return modify;
         },
         true},
        {"constructed simple password",
         [] {
             auto bind = BuildSimpleBindRequest("cn=a", "pw");
             auto password = std::make_unique<CASN1_TAGGED>(ASN1ContextTag(0), 0);
             password->AddObject(octets("pw"));
             delete bind->GetComponents()[2];
             bind->GetComponents()[2] = password.release();
             return bind;
         },
         true},
        {"substrings final before initial",
         [] {
             return searchWith(tlv("a4", {str("cn"), tlv("30", {str("z", "82"), str("a", "80")})}));
         },
         true},
        {"substrings two initials",
         [] {
             return searchWith(tlv("a4", {str("cn"), tlv("30", {str("a", "80"), str("b", "80")})}));
         },
         true},
        {"substrings without pieces",
         [] {
             return searchWith(tlv("a4", {str("cn"), tlv("30")}));
         },
         true},
        {"equality without value", [] { return searchWith(tlv("a3", {str("cn")})); }, true},
        {"equality nested under not and or",
         [] { return searchWith(tlv("a1", {tlv("a2", {tlv("a3", {str("cn")})})})); }, true},
        {"compare without value",
         [] {
             auto compare = BuildCompareRequest("cn=a", "sn", "x");
             auto ava = std::make_unique<CASN1_LDAPAttributeValueAssertion>();
             ava->AddObject(octets("sn"));
             delete compare->GetComponents()[1];
             compare->GetComponents()[1] = ava.release();
             return compare;
         },
         true},
        {"no operation at all", [] { return std::make_unique<CASN1_INTEGER>(1); }, true},
        {"WhoAmI", [] { return BuildExtendedRequest("1.3.6.1.4.1.4203.1.11.3"); }, false},
        {"modDN with new superior", [] { return BuildModifyDNRequest("cn=a,o=x", "cn=b", true, "o=y"); }, false},
    };
    for (const Row& row : rows) {
        std::unique_ptr<CASN1_LDAPMessage> message;
        const std::string reason = DecodingFailure([&] { message = BuildLDAPMessage(7, row.build()); });
        EXPECT_EQ(!reason.empty(), row.refused) << row.what << ": " << reason;
        if (message) {
            // What goes out decodes strictly to the same message.
            CByteArray out;
            message->encodeTo(out);
            EXPECT_EQ(DecodeLDAPMessage(out.GetData(), out.GetSize())->get_protocolOp().resolve(),
                      message->get_protocolOp().resolve());
        }
    }
}

TEST(LdapRequests, MessageIDsAndControlsOfBuiltMessages) {
    EXPECT_NE(DecodingFailure([] { BuildLDAPMessage(0x80000000, BuildUnbindRequest()); }), "");
    const auto message = BuildLDAPMessage(0x7FFFFFFF, BuildUnbindRequest(),
                                          {{"1.2.840.113556.1.4.805", true, std::nullopt}, {"2.16", false, "v"}});
    EXPECT_EQ(EncodedHex(*message), tlv("30", {"02047fffffff", "4200",
                                               tlv("a0", {tlv("30", {str("1.2.840.113556.1.4.805"), "0101ff"}),
                                                          tlv("30", {str("2.16"), str("v")})})}));
    EXPECT_EQ(message->GetMessageID(), 0x7FFFFFFFu);
    EXPECT_EQ(message->getControlCount(), 2);
}

}  // namespace
