// A real directory server: a private slapd on 127.0.0.1, spoken to over TCP with PDUs built and
// read by the library only.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <set>

#include "tests/ldap/peer_util.h"
#include "tests/ldap/slapd_peer.h"
#include "vorlan/ldap/filterstring.h"
#include "vorlan/ldap/framing.h"
#include "vorlan/ldap/requests.h"
#include "vorlan/ldap/values.h"

namespace {

using namespace ldappeer;

using MessagePtr = std::unique_ptr<CASN1_LDAPMessage>;

constexpr unsigned long kMaxPdu = 1 << 20;

class Client {
public:
    explicit Client(int port) : m_fd(ConnectLoopback(port)) {
        if (m_fd < 0) throw std::runtime_error("cannot connect to slapd");
        timeval timeout{10, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    ~Client() { ::close(m_fd); }

    unsigned long send(std::unique_ptr<CASN1Type> operation) {
        const unsigned long id = ++m_nLastID;
        CByteArray out;
        BuildLDAPMessage(id, std::move(operation))->encodeTo(out);
        for (long sent = 0; sent < out.GetSize();) {
            const ssize_t n = ::send(m_fd, out.GetData() + sent, out.GetSize() - sent, MSG_NOSIGNAL);
            if (n <= 0) throw std::runtime_error("send failed");
            sent += n;
        }
        return id;
    }

    // The next message off the stream; null once the server has closed the connection.
    MessagePtr receive() {
        for (;;) {
            if (const unsigned long n = FrameLength(m_buffer.data(), m_buffer.size(), kMaxPdu)) {
                const Octets pdu(m_buffer.begin(), m_buffer.begin() + n);
                m_buffer.erase(m_buffer.begin(), m_buffer.begin() + n);
                MessagePtr message = DecodeLDAPMessage(pdu.data(), n);
                if (message->get_protocolOp().is_searchResEntry()) m_lastEntry = pdu;
                return message;
            }
            unsigned char block[4096];
            const ssize_t n = ::recv(m_fd, block, sizeof block, 0);
            if (n < 0) throw std::runtime_error("no answer from slapd");
            if (n == 0) return nullptr;
            m_buffer.insert(m_buffer.end(), block, block + n);
        }
    }

    // The responses to one request, up to the one that is no entry or reference.
    std::vector<MessagePtr> exchange(std::unique_ptr<CASN1Type> operation) {
        const unsigned long id = send(std::move(operation));
        std::vector<MessagePtr> responses;
        for (;;) {
            MessagePtr message = receive();
            if (!message) throw std::runtime_error("connection closed");
            EXPECT_EQ(message->GetMessageID(), id);
            const CASN1_ProtocolOpChoice op = message->get_protocolOp();
            const bool last = !op.is_searchResEntry() && !op.is_searchResRef() && !op.is_intermediateResponse();
            responses.push_back(std::move(message));
            if (last) return responses;
        }
    }

    // The result of a request answered by one response.
    SLDAPResult result(std::unique_ptr<CASN1Type> operation) {
        const std::vector<MessagePtr> responses = exchange(std::move(operation));
        EXPECT_EQ(responses.size(), 1u);
        return ReadLDAPResult(responses.back()->get_protocolOp().GetValue());
    }

    const Octets& lastEntryPdu() const { return m_lastEntry; }

private:
    int m_fd;
    unsigned long m_nLastID = 0;
    Octets m_buffer, m_lastEntry;
};

std::string dn(const std::string& rdn) { return rdn + "," + kSuffix; }
const std::string kPeople = dn("ou=people");
const std::string kAnn = "cn=Ann Smith," + kPeople, kBob = "cn=Bob Jones," + kPeople,
                  kCarl = "cn=Carl Young," + kPeople;

struct Entry {
    std::string dn;
    std::vector<SLDAPAttribute> attributes;  // sorted by type, values in order
};

// The entries of a search and its closing result.
struct SearchOutcome {
    std::vector<Entry> entries;
    ELDAPResultCode result;
};

SLDAPSearch under(const std::string& base, ELDAPSearchScope scope = ELDAPSearchScope::wholeSubtree) {
    SLDAPSearch request;
    request.baseObject = base;
    request.scope = scope;
    return request;
}

SearchOutcome search(Client& client, const std::string& base, ELDAPSearchScope scope, const std::string& filter,
                     unsigned long sizeLimit = 0, std::vector<std::string> attributes = {"1.1"}) {
    SLDAPSearch request = under(base, scope);
    request.sizeLimit = sizeLimit;
    request.attributes = std::move(attributes);
    SearchOutcome outcome{};
    for (const MessagePtr& m : client.exchange(BuildSearchRequest(request, ParseLDAPFilter(filter)))) {
        const CASN1_ProtocolOpChoice op = m->get_protocolOp();
        if (op.is_searchResDone()) {
            outcome.result = ReadLDAPResult(op.get_searchResDone()).resultCode;
            continue;
        }
        const CASN1_SearchResultEntry& found = op.get_searchResEntry();
        Entry entry{LDAPString(found.get_objectName()), {}};
        const CASN1_PartialAttributeList& list = found.get_attributes();
        for (int i = 0; i < list.getComponentCount(); ++i) {
            SLDAPAttribute attribute{LDAPString(list.getComponent(i).get_type()), {}};
            const CASN1_SetOfLDAPAttributeValue& values = list.getComponent(i).get_vals();
            for (int k = 0; k < values.getComponentCount(); ++k)
                attribute.values.push_back(LDAPString(values.getComponent(k)));
            entry.attributes.push_back(attribute);
        }
        std::sort(entry.attributes.begin(), entry.attributes.end(),
                  [](const SLDAPAttribute& a, const SLDAPAttribute& b) { return a.type < b.type; });
        outcome.entries.push_back(entry);
    }
    return outcome;
}

std::set<std::string> dns(const SearchOutcome& outcome) {
    std::set<std::string> names;
    for (const Entry& entry : outcome.entries) names.insert(entry.dn);
    return names;
}

class Slapd : public ::testing::Test {
protected:
    void SetUp() override {
        EXPECT_EQ(client.result(BuildSimpleBindRequest(kRootDN, "wrong")).resultCode,
                  ELDAPResultCode::invalidCredentials);
        ASSERT_EQ(client.result(BuildSimpleBindRequest(kRootDN, kRootPassword)).resultCode, ELDAPResultCode::success);
        const std::vector<std::pair<std::string, std::vector<SLDAPAttribute>>> tree = {
            {kSuffix, {{"objectClass", {"dcObject", "organization"}}, {"dc", {"example"}}, {"o", {"Example"}}}},
            {kPeople, {{"objectClass", {"organizationalUnit"}}, {"ou", {"people"}}}},
            {dn("ou=staff"), {{"objectClass", {"organizationalUnit"}}, {"ou", {"staff"}}}},
            {kAnn,
             {{"objectClass", {"inetOrgPerson"}},
              {"cn", {"Ann Smith"}},
              {"sn", {"Smith"}},
              {"mail", {"ann@example.com"}},
              {"description", {"first"}}}},
            {kBob,
             {{"objectClass", {"inetOrgPerson"}},
              {"cn", {"Bob Jones"}},
              {"sn", {"Jones"}},
              {"mail", {"bob@example.org"}}}},
            {kCarl,
             {{"objectClass", {"inetOrgPerson"}},
              {"cn", {"Carl Young"}},
              {"sn", {"Young"}},
              {"mail", {"carl@example.com"}}}},
        };
        for (const auto& [name, attributes] : tree)
            ASSERT_EQ(client.result(BuildAddRequest(name, attributes)).resultCode, ELDAPResultCode::success) << name;
        EXPECT_EQ(client.result(BuildAddRequest(kAnn, tree[3].second)).resultCode, ELDAPResultCode::entryAlreadyExists);
    }

    SlapdServer server;
    Client client{server.Port()};
};

TEST_F(Slapd, SearchesWithEveryFilterKindScopeAndSizeLimit) {
    using S = ELDAPSearchScope;
    using R = ELDAPResultCode;
    struct Row {
        std::string base;
        ELDAPSearchScope scope;
        std::string filter;
        unsigned long sizeLimit;
        std::set<std::string> expected;
        ELDAPResultCode result;
    };
    const std::string person = "(objectClass=inetOrgPerson)";
    const std::vector<Row> rows = {
        {kPeople, S::baseObject, "(objectClass=*)", 0, {kPeople}, R::success},
        {kPeople, S::singleLevel, "(objectClass=person)", 0, {kAnn, kBob, kCarl}, R::success},
        {kSuffix, S::singleLevel, "(objectClass=organizationalUnit)", 0, {kPeople, dn("ou=staff")}, R::success},
        {kSuffix,
         S::wholeSubtree,
         "(&(objectClass=person)(|(cn=Ann*)(mail=*@example.org)))",
         0,
         {kAnn, kBob},
         R::success},
        {kSuffix, S::wholeSubtree, "(&" + person + "(!(sn=Smith)))", 0, {kBob, kCarl}, R::success},
        {kSuffix, S::wholeSubtree, "(cn=*o*)", 0, {kBob, kCarl}, R::success},
        {kSuffix, S::wholeSubtree, "(mail=c*@*.com)", 0, {kCarl}, R::success},
        {kSuffix, S::wholeSubtree, "(description=*)", 0, {kAnn}, R::success},
        {kSuffix,
         S::wholeSubtree,
         "(&" + person + "(createTimestamp>=19700101000000Z))",
         0,
         {kAnn, kBob, kCarl},
         R::success},
        {kSuffix, S::wholeSubtree, "(&" + person + "(createTimestamp<=19700101000000Z))", 0, {}, R::success},
        {kSuffix, S::wholeSubtree, "(sn~=Smith)", 0, {kAnn}, R::success},
        {kSuffix, S::wholeSubtree, "(sn:caseExactMatch:=Smith)", 0, {kAnn}, R::success},
        {kSuffix, S::wholeSubtree, "(sn:caseExactMatch:=smith)", 0, {}, R::success},
        {kSuffix, S::wholeSubtree, "(&" + person + "(ou:dn:=people))", 0, {kAnn, kBob, kCarl}, R::success},
        {dn("ou=nobody"), S::wholeSubtree, "(objectClass=*)", 0, {}, R::noSuchObject},
    };
    for (const Row& row : rows) {
        const SearchOutcome outcome = search(client, row.base, row.scope, row.filter, row.sizeLimit);
        EXPECT_EQ(outcome.result, row.result) << row.filter;
        EXPECT_EQ(dns(outcome), row.expected) << row.filter;
    }
    const SearchOutcome limited = search(client, kSuffix, S::wholeSubtree, person, 2);
    EXPECT_EQ(limited.result, R::sizeLimitExceeded);
    EXPECT_EQ(limited.entries.size(), 2u);

    const SearchOutcome ann = search(client, kAnn, S::baseObject, "(objectClass=*)", 0, {"sn", "mail", "cn"});
    ASSERT_EQ(ann.entries.size(), 1u);
    const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
        {"cn", {"Ann Smith"}}, {"mail", {"ann@example.com"}}, {"sn", {"Smith"}}};
    ASSERT_EQ(ann.entries[0].attributes.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(ann.entries[0].attributes[i].type, expected[i].first);
        EXPECT_EQ(ann.entries[0].attributes[i].values, expected[i].second);
    }
}

TEST_F(Slapd, ModifyRenameCompareDeleteAbandonWhoAmIAndUnbind) {
    using M = ELDAPModifyOperation;
    using R = ELDAPResultCode;
    EXPECT_EQ(client
                  .result(BuildModifyRequest(kAnn, {{M::addValues, {"mail", {"ann2@example.com"}}},
                                                    {M::deleteValues, {"description", {}}},
                                                    {M::replaceValues, {"sn", {"Smythe"}}}}))
                  .resultCode,
              R::success);
    const SearchOutcome ann =
        search(client, kAnn, ELDAPSearchScope::baseObject, "(objectClass=*)", 0, {"sn", "mail", "description"});
    ASSERT_EQ(ann.entries.size(), 1u);
    ASSERT_EQ(ann.entries[0].attributes.size(), 2u);
    EXPECT_EQ(ann.entries[0].attributes[0].values, (std::vector<std::string>{"ann@example.com", "ann2@example.com"}));
    EXPECT_EQ(ann.entries[0].attributes[1].values, std::vector<std::string>{"Smythe"});

    EXPECT_EQ(client.result(BuildCompareRequest(kAnn, "sn", "Smythe")).resultCode, R::compareTrue);
    EXPECT_EQ(client.result(BuildCompareRequest(kAnn, "sn", "Smith")).resultCode, R::compareFalse);

    const std::string robert = "cn=Robert Jones," + kPeople, carl = "cn=Carl Young," + dn("ou=staff");
    EXPECT_EQ(client.result(BuildModifyDNRequest(kBob, "cn=Robert Jones", true)).resultCode, R::success);
    EXPECT_EQ(client.result(BuildModifyDNRequest(kCarl, "cn=Carl Young", false, dn("ou=staff"))).resultCode,
              R::success);
    EXPECT_EQ(dns(search(client, kSuffix, ELDAPSearchScope::wholeSubtree, "(objectClass=inetOrgPerson)")),
              (std::set<std::string>{kAnn, robert, carl}));
    EXPECT_EQ(client.result(BuildDeleteRequest(robert)).resultCode, R::success);
    EXPECT_EQ(search(client, robert, ELDAPSearchScope::baseObject, "(objectClass=*)").result, R::noSuchObject);
    EXPECT_EQ(client.result(BuildDeleteRequest(robert)).resultCode, R::noSuchObject);

    // Abandon is never answered: the next response belongs to the next request.
    const unsigned long searchID = client.send(BuildSearchRequest(under(kSuffix), ParseLDAPFilter("(cn=*)")));
    const unsigned long abandonID = client.send(BuildAbandonRequest(searchID));
    const unsigned long whoamiID = client.send(BuildExtendedRequest("1.3.6.1.4.1.4203.1.11.3"));
    for (MessagePtr m = client.receive();; m = client.receive()) {
        ASSERT_TRUE(m);
        ASSERT_NE(m->GetMessageID(), abandonID);
        if (m->GetMessageID() != whoamiID) continue;
        const CASN1_ExtendedResponse& whoami = m->get_protocolOp().get_extendedResp();
        EXPECT_EQ(ReadLDAPResult(whoami).resultCode, R::success);
        ASSERT_TRUE(whoami.is_responseValue());
        EXPECT_EQ(LDAPString(whoami.get_responseValue()), std::string("dn:") + kRootDN);
        break;
    }

    // A real search response: every truncation fails to frame and to decode.
    search(client, kAnn, ELDAPSearchScope::baseObject, "(objectClass=*)", 0, {"*"});
    const Octets entry = client.lastEntryPdu();
    ASSERT_GT(entry.size(), 50u);
    for (size_t n = 0; n < entry.size(); ++n) {
        EXPECT_EQ(FrameLength(entry.data(), n, kMaxPdu), 0u) << n;
        EXPECT_NE(DecodingFailure([&] { DecodeLDAPMessage(entry.data(), n); }), "") << n;
    }

    client.send(BuildUnbindRequest());
    EXPECT_EQ(client.receive(), nullptr);
}

}  // namespace
