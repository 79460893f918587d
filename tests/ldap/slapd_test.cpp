// A real directory server: a private slapd on 127.0.0.1, spoken to over TCP with PDUs built and
// read by the library only.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <map>
#include <set>

#include "tests/ldap/ldap_test_util.h"
#include "tests/ldap/slapd_peer.h"
#include "vorlan/ldap/filterstring.h"
#include "vorlan/ldap/framing.h"
#include "vorlan/ldap/requests.h"
#include "vorlan/ldap/values.h"

namespace {

using namespace ldappeer;
using MessagePtr = std::unique_ptr<CASN1_LDAPMessage>;
using R = ELDAPResultCode;
using S = ELDAPSearchScope;

constexpr unsigned long kMaxPdu = 1 << 20;

// A connection: requests under increasing IDs, responses framed off the stream.
struct Client {
    explicit Client(int port) : m_fd(ConnectLoopback(port)) {
        timeval timeout{10, 0};
        if (m_fd < 0 || ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0)
            throw std::runtime_error("cannot connect to slapd");
    }
    ~Client() { ::close(m_fd); }

    unsigned long send(std::unique_ptr<CASN1Type> operation) {
        const Octets out = FromHex(EncodedHex(*BuildLDAPMessage(++m_lastID, std::move(operation))));
        if (::send(m_fd, out.data(), out.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(out.size()))
            throw std::runtime_error("send failed");
        return m_lastID;
    }

    // The next message off the stream; null once the server has closed the connection.
    MessagePtr receive() {
        for (;;) {
            if (const unsigned long n = FrameLength(m_buffer.data(), m_buffer.size(), kMaxPdu)) {
                const Octets pdu(m_buffer.begin(), m_buffer.begin() + n);
                m_buffer.erase(m_buffer.begin(), m_buffer.begin() + n);
                MessagePtr message = DecodeLDAPMessage(pdu.data(), n);
                if (message->get_protocolOp().is_searchResEntry()) lastEntry = pdu;
                return message;
            }
            unsigned char block[4096];
            const ssize_t n = ::recv(m_fd, block, sizeof block, 0);
            if (n <= 0) return n == 0 ? nullptr : throw std::runtime_error("no answer from slapd");
            m_buffer.insert(m_buffer.end(), block, block + n);
        }
    }

    // The responses to one request, up to the one that is no entry or reference.
    std::vector<MessagePtr> exchange(std::unique_ptr<CASN1Type> operation) {
        const unsigned long id = send(std::move(operation));
        std::vector<MessagePtr> responses;
        while (responses.empty() || responses.back()->get_protocolOp().is_searchResEntry() ||
               responses.back()->get_protocolOp().is_searchResRef() ||
               responses.back()->get_protocolOp().is_intermediateResponse()) {
            responses.push_back(receive());
            if (!responses.back()) throw std::runtime_error("connection closed");
            EXPECT_EQ(responses.back()->GetMessageID(), id);
        }
        return responses;
    }

    // The result code of a request answered by one response.
    R result(std::unique_ptr<CASN1Type> operation) {
        const std::vector<MessagePtr> responses = exchange(std::move(operation));
        EXPECT_EQ(responses.size(), 1u);
        return ReadLDAPResult(responses.back()->get_protocolOp().GetValue()).resultCode;
    }

    int m_fd;
    unsigned long m_lastID = 0;
    Octets m_buffer, lastEntry;
};

std::string dn(const std::string& rdn) { return rdn + "," + kSuffix; }
const std::string kPeople = dn("ou=people"), kStaff = dn("ou=staff");
const std::string kAnn = "cn=Ann Smith," + kPeople, kBob = "cn=Bob Jones," + kPeople,
                  kCarl = "cn=Carl Young," + kPeople;

// The entries of a search (each name with its attributes as "type=value,…;…" sorted by type)
// and its closing result.
struct SearchOutcome {
    std::map<std::string, std::string> entries;
    std::set<std::string> names;
    R result{};
};

SearchOutcome search(Client& client, const std::string& base, S scope, const std::string& filter,
                     unsigned long sizeLimit = 0, std::vector<std::string> attributes = {"1.1"}) {
    const SLDAPSearch request{.baseObject = base, .scope = scope, .sizeLimit = sizeLimit, .attributes = attributes};
    SearchOutcome outcome;
    for (const MessagePtr& m : client.exchange(BuildSearchRequest(request, ParseLDAPFilter(filter)))) {
        const CASN1_ProtocolOpChoice op = m->get_protocolOp();
        if (op.is_searchResDone()) {
            outcome.result = ReadLDAPResult(op.get_searchResDone()).resultCode;
            continue;
        }
        const CASN1_PartialAttributeList& list = op.get_searchResEntry().get_attributes();
        std::map<std::string, std::string> attributes;  // sorted by type
        for (int i = 0; i < list.getComponentCount(); ++i) {
            std::string& text = attributes[LDAPString(list.getComponent(i).get_type())];
            const CASN1_SetOfLDAPAttributeValue& values = list.getComponent(i).get_vals();
            for (int k = 0; k < values.getComponentCount(); ++k)
                (text += k ? "," : "") += LDAPString(values.getComponent(k));
        }
        const std::string name = LDAPString(op.get_searchResEntry().get_objectName());
        outcome.names.insert(name);
        for (const auto& [type, text] : attributes) outcome.entries[name] += type + "=" + text + ";";
    }
    return outcome;
}

// Bind, a tree added, searches with every filter kind, scope and a size limit; then modify,
// rename, compare, delete, abandon, WhoAmI and unbind, and truncations of a real entry.
TEST(Slapd, EveryOperationAgainstARealServer) {
    SlapdServer server;
    Client client{server.Port()};
    EXPECT_EQ(client.result(BuildSimpleBindRequest(kRootDN, "wrong")), R::invalidCredentials);
    ASSERT_EQ(client.result(BuildSimpleBindRequest(kRootDN, kRootPassword)), R::success);
    const auto person = [](const std::string& cn, const std::string& sn, const std::string& mail) {
        return std::vector<SLDAPAttribute>{
            {"objectClass", {"inetOrgPerson"}}, {"cn", {cn}}, {"sn", {sn}}, {"mail", {mail}}};
    };
    const auto unit = [](const std::string& ou) {
        return std::vector<SLDAPAttribute>{{"objectClass", {"organizationalUnit"}}, {"ou", {ou}}};
    };
    std::vector<std::pair<std::string, std::vector<SLDAPAttribute>>> tree = {
        {kSuffix, {{"objectClass", {"dcObject", "organization"}}, {"dc", {"example"}}, {"o", {"Example"}}}},
        {kPeople, unit("people")},
        {kStaff, unit("staff")},
        {kAnn, person("Ann Smith", "Smith", "ann@example.com")},
        {kBob, person("Bob Jones", "Jones", "bob@example.org")},
        {kCarl, person("Carl Young", "Young", "carl@example.com")},
    };
    tree[3].second.push_back({"description", {"first"}});
    for (const auto& [name, attributes] : tree)
        ASSERT_EQ(client.result(BuildAddRequest(name, attributes)), R::success) << name;
    EXPECT_EQ(client.result(BuildAddRequest(kAnn, tree[3].second)), R::entryAlreadyExists);

    const std::string inet = "(objectClass=inetOrgPerson)";
    const std::set<std::string> all = {kAnn, kBob, kCarl}, none;
    const std::tuple<std::string, S, std::string, std::set<std::string>> rows[] = {
        {kPeople, S::baseObject, "(objectClass=*)", {kPeople}},
        {kPeople, S::singleLevel, "(objectClass=person)", all},
        {kSuffix, S::singleLevel, "(objectClass=organizationalUnit)", {kPeople, kStaff}},
        {kSuffix, S::wholeSubtree, "(&(objectClass=person)(|(cn=Ann*)(mail=*@example.org)))", {kAnn, kBob}},
        {kSuffix, S::wholeSubtree, "(&" + inet + "(!(sn=Smith)))", {kBob, kCarl}},
        {kSuffix, S::wholeSubtree, "(cn=*o*)", {kBob, kCarl}},
        {kSuffix, S::wholeSubtree, "(mail=c*@*.com)", {kCarl}},
        {kSuffix, S::wholeSubtree, "(description=*)", {kAnn}},
        {kSuffix, S::wholeSubtree, "(&" + inet + "(createTimestamp>=19700101000000Z))", all},
        {kSuffix, S::wholeSubtree, "(&" + inet + "(createTimestamp<=19700101000000Z))", none},
        {kSuffix, S::wholeSubtree, "(sn~=Smith)", {kAnn}},
        {kSuffix, S::wholeSubtree, "(sn:caseExactMatch:=Smith)", {kAnn}},
        {kSuffix, S::wholeSubtree, "(sn:caseExactMatch:=smith)", none},
        {kSuffix, S::wholeSubtree, "(&" + inet + "(ou:dn:=people))", all},
    };
    for (const auto& [base, scope, filter, expected] : rows) {
        const SearchOutcome outcome = search(client, base, scope, filter);
        EXPECT_EQ(outcome.result, R::success) << filter;
        EXPECT_EQ(outcome.names, expected) << filter;
    }
    const SearchOutcome nobody = search(client, dn("ou=nobody"), S::wholeSubtree, "(objectClass=*)");
    EXPECT_TRUE(nobody.result == R::noSuchObject && nobody.names.empty());
    const SearchOutcome limited = search(client, kSuffix, S::wholeSubtree, inet, 2);
    EXPECT_TRUE(limited.result == R::sizeLimitExceeded && limited.names.size() == 2);
    EXPECT_EQ(search(client, kAnn, S::baseObject, "(objectClass=*)", 0, {"sn", "mail", "cn"}).entries[kAnn],
              "cn=Ann Smith;mail=ann@example.com;sn=Smith;");

    using M = ELDAPModifyOperation;
    EXPECT_EQ(client.result(BuildModifyRequest(kAnn, {{M::addValues, {"mail", {"ann2@example.com"}}},
                                                      {M::deleteValues, {"description", {}}},
                                                      {M::replaceValues, {"sn", {"Smythe"}}}})),
              R::success);
    EXPECT_EQ(search(client, kAnn, S::baseObject, "(objectClass=*)", 0, {"sn", "mail", "description"}).entries[kAnn],
              "mail=ann@example.com,ann2@example.com;sn=Smythe;");
    EXPECT_EQ(client.result(BuildCompareRequest(kAnn, "sn", "Smythe")), R::compareTrue);
    EXPECT_EQ(client.result(BuildCompareRequest(kAnn, "sn", "Smith")), R::compareFalse);

    const std::string robert = "cn=Robert Jones," + kPeople, carl = "cn=Carl Young," + kStaff;
    EXPECT_EQ(client.result(BuildModifyDNRequest(kBob, "cn=Robert Jones", true)), R::success);
    EXPECT_EQ(client.result(BuildModifyDNRequest(kCarl, "cn=Carl Young", false, kStaff)), R::success);
    EXPECT_EQ(search(client, kSuffix, S::wholeSubtree, "(objectClass=inetOrgPerson)").names,
              (std::set<std::string>{kAnn, robert, carl}));
    EXPECT_EQ(client.result(BuildDeleteRequest(robert)), R::success);
    EXPECT_EQ(search(client, robert, S::baseObject, "(objectClass=*)").result, R::noSuchObject);
    EXPECT_EQ(client.result(BuildDeleteRequest(robert)), R::noSuchObject);

    // A real search response: every truncation fails to frame and to decode.
    search(client, kAnn, S::baseObject, "(objectClass=*)", 0, {"*"});
    const Octets entry = client.lastEntry;
    ASSERT_GT(entry.size(), 50u);
    for (size_t n = 0; n < entry.size(); ++n) {
        EXPECT_EQ(FrameLength(entry.data(), n, kMaxPdu), 0u) << n;
        EXPECT_NE(DecodingReason([&] { DecodeLDAPMessage(entry.data(), n); }), "") << n;
    }

    // Abandon and unbind are never answered; the abandoned search may still send responses, before
    // or after the next request's, until the server closes the connection.
    const unsigned long searchID =
        client.send(BuildSearchRequest({.baseObject = kSuffix, .attributes = {}}, ParseLDAPFilter("(cn=*)")));
    client.send(BuildAbandonRequest(searchID));
    const unsigned long whoamiID = client.send(BuildExtendedRequest("1.3.6.1.4.1.4203.1.11.3"));
    MessagePtr m;
    while ((m = client.receive()) && m->GetMessageID() != whoamiID) ASSERT_EQ(m->GetMessageID(), searchID);
    ASSERT_TRUE(m);
    const CASN1_ExtendedResponse& whoami = m->get_protocolOp().get_extendedResp();
    EXPECT_EQ(ReadLDAPResult(whoami).resultCode, R::success);
    ASSERT_TRUE(whoami.is_responseValue());
    EXPECT_EQ(LDAPString(whoami.get_responseValue()), std::string("dn:") + kRootDN);
    client.send(BuildUnbindRequest());
    while ((m = client.receive())) EXPECT_EQ(m->GetMessageID(), searchID);
}

}  // namespace
