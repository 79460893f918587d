// Messages against an independent implementation, the npm package @ldapjs/messages: theirs
// decode here and re-encode to the same octets; ours parse there and re-encode there alike.
#include <gtest/gtest.h>

#include "tests/ldap/ldap_hex.h"
#include "tests/ldap/node_peer.h"
#include "vorlan/ldap/filterstring.h"
#include "vorlan/ldap/requests.h"

namespace {

using namespace ldappeer;

std::string alternativeName(const CASN1_LDAPMessage& message) {
    const int index = message.get_protocolOp().resolve();
    return index < 0 ? "none" : CASN1_ProtocolOpChoice::m_alternativesList[index].m_szMemberName;
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

TEST(LdapjsInterop, TheirMessagesOfEveryOperationDecodeAndReencodeAlike) {
    const std::vector<std::string> lines = Ldapjs("messages");
    ASSERT_EQ(lines.size(), 21u);
    for (const std::string& line : lines) {
        const std::string name = line.substr(0, line.find(' ')), hex = line.substr(line.find(' ') + 1);
        const Octets octets = FromHex(hex);
        std::unique_ptr<CASN1_LDAPMessage> message;
        ASSERT_EQ(DecodingFailure([&] { message = DecodeLDAPMessage(octets.data(), octets.size()); }), "") << line;
        EXPECT_EQ(alternativeName(*message), name);
        EXPECT_EQ(EncodedHex(*message), hex) << name;
    }
}

TEST(LdapjsInterop, OurRequestsParseThereAsTheOperationsTheyAre) {
    SLDAPSearch search;
    search.baseObject = "ou=people,dc=example,dc=com";
    search.scope = ELDAPSearchScope::singleLevel;
    search.derefAliases = ELDAPDerefAliases::derefAlways;
    search.sizeLimit = 10;
    search.timeLimit = 20;
    search.typesOnly = true;
    search.attributes = {"cn", "mail"};
    const char* filter = "(&(objectClass=person)(|(cn=Ann*)(mail=*@example.com))(!(sn=Smith))(age>=30))";
    struct Row {
        const char* type;  // ldapjs's name of the operation
        std::unique_ptr<CASN1Type> operation;
        const char* field;  // a field ldapjs reads and its value
        const char* value;
    };
    Row rows[] = {
        {"BindRequest", BuildSimpleBindRequest("cn=admin,dc=example,dc=com", "secret"), "name",
         "cn=admin,dc=example,dc=com"},
        {"SearchRequest", BuildSearchRequest(search, ParseLDAPFilter(filter)), "filter", filter},
        {"AddRequest",
         BuildAddRequest("cn=Bob,dc=example,dc=com", {{"objectclass", {"top", "person"}}, {"sn", {"Bob"}}}), "entry",
         "cn=Bob,dc=example,dc=com"},
        {"ModifyRequest",
         BuildModifyRequest("cn=Ann,dc=example,dc=com", {{ELDAPModifyOperation::addValues, {"mail", {"a@x", "b@x"}}},
                                                         {ELDAPModifyOperation::deleteValues, {"description", {}}},
                                                         {ELDAPModifyOperation::replaceValues, {"sn", {"S"}}}}),
         "object", "cn=Ann,dc=example,dc=com"},
        {"ModifyDnRequest",
         BuildModifyDNRequest("cn=Ann,dc=example,dc=com", "cn=Anne", true, "ou=staff,dc=example,dc=com"), "newSuperior",
         "ou=staff,dc=example,dc=com"},
        {"CompareRequest", BuildCompareRequest("cn=Ann,dc=example,dc=com", "sn", "Smith"), "attribute", "sn"},
        {"DeleteRequest", BuildDeleteRequest("cn=Bob,dc=example,dc=com"), "entry", "cn=Bob,dc=example,dc=com"},
        {"AbandonRequest", BuildAbandonRequest(3), "abandonId", "3"},
        {"UnbindRequest", BuildUnbindRequest(), "type", "UnbindRequest"},
        {"ExtensionRequest", BuildExtendedRequest("1.3.6.1.4.1.4203.1.11.3"), "requestName", "1.3.6.1.4.1.4203.1.11.3"},
        {"ExtensionRequest", BuildExtendedRequest("1.3.6.1.4.1.4203.1.11.1", std::string_view("\x30\x00", 2)),
         "requestName", "1.3.6.1.4.1.4203.1.11.1"},
    };
    std::vector<std::string> ours;
    for (unsigned long id = 0; id < std::size(rows); ++id)
        ours.push_back(EncodedHex(*BuildLDAPMessage(id + 1, std::move(rows[id].operation))));
    const std::vector<std::string> theirs = Ldapjs("parse", ours);
    ASSERT_EQ(theirs.size(), ours.size());
    for (size_t i = 0; i < ours.size(); ++i) {
        EXPECT_EQ(jsonField(theirs[i], "type"), rows[i].type) << theirs[i];
        EXPECT_EQ(jsonField(theirs[i], "id"), std::to_string(i + 1)) << theirs[i];
        EXPECT_EQ(jsonField(theirs[i], rows[i].field), rows[i].value) << theirs[i];
        EXPECT_EQ(jsonField(theirs[i], "hex"), ours[i]) << rows[i].type;
    }
}

}  // namespace
