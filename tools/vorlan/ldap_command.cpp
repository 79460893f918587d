// vorlan ldap decode|search|add|modify|delete: LDAP messages as readable text, and requests
// to a directory server over TCP, built and read through the library's LDAP classes.
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "tools/vorlan/cli.h"

namespace cli {
namespace {

constexpr unsigned long kMaxPdu = 16 * 1024 * 1024;

// A value without a row of its own: a number, a truth value, text, or hexadecimal octets.
std::string Leaf(const CASN1Type& value) {
    if (value.identifier == kASN1Integer || value.identifier == kASN1Enumerated)
        return std::to_string(LDAPNumber(value));
    const std::string text = LDAPString(value);
    if (value.identifier == kASN1Boolean) return text.size() == 1 && text[0] ? "TRUE" : "FALSE";
    for (const unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return "0x" + std::string(OctetsToHexChars(reinterpret_cast<const BYTE*>(text.data()),
                                                       static_cast<int>(text.size())));
    return text;
}

// One line per value, "name: leaf", indented by depth; a structure's members below its name,
// named after the rows of its component table.
void PrintValue(const CASN1Type& value, const std::string& name, const ASN1_TYPE_INFO* type, int depth) {
    const std::string indent(2 * depth, ' ');
    if (type && type->m_bChoice) {
        const ASN1_COMPONENT_INFO* row = type->m_pRows;
        while (!row->m_bEndOfList && !row->isMember(&value)) ++row;
        if (type == &CASN1_Filter::m_typeInfo) {
            std::printf("%s%s: %s\n", indent.c_str(), name.c_str(), FormatLDAPFilter(value).c_str());
        } else if (row->m_pType || value.m_bConstructed) {
            std::printf("%s%s: %s\n", indent.c_str(), name.c_str(), row->m_szMemberName);
            PrintValue(value, "", row->m_pType, depth + 1);  // the alternative's members below it
        } else {
            std::printf("%s%s: %s: %s\n", indent.c_str(), name.c_str(), row->m_szMemberName, Leaf(value).c_str());
        }
        return;
    }
    const auto* constructed = dynamic_cast<const CASN1_CONSTRUCTED_TYPE*>(&value);
    if (!value.m_bConstructed || !constructed) {
        std::printf("%s%s: %s\n", indent.c_str(), name.c_str(), Leaf(value).c_str());
        return;
    }
    if (!name.empty()) std::printf("%s%s:\n", indent.c_str(), name.c_str());
    const int inner = name.empty() ? depth : depth + 1;
    const ASN1_COMPONENT_INFO* row = type ? type->m_pRows : nullptr;
    for (int i = 0; i < constructed->GetCount(); ++i) {
        const CASN1Type& component = constructed->GetComponent(i);
        while (row && !row->m_bEndOfList && !row->isMember(&component)) ++row;
        const bool named = row && !row->m_bEndOfList;
        PrintValue(component, named && *row->m_szMemberName ? row->m_szMemberName : "-", named ? row->m_pType : nullptr,
                   inner);
        if (named && !row->m_bRepeated) ++row;  // rows of the same identifier follow each other
    }
}

void Decode(const std::string& path) {
    const CByteArray der = ReadDER(path, "LDAP MESSAGE");
    std::unique_ptr<CASN1_LDAPMessage> message;
    try {
        message = DecodeLDAPMessage(der.GetData(), static_cast<unsigned long>(der.GetSize()));
    } catch (CException* e) {
        throw Failure(path + ": not an LDAP message (" + Describe(e) + ")");
    }
    PrintValue(*message, "", &CASN1_LDAPMessage::m_typeInfo, 0);
}

// Text from a server on one line: printable ASCII as it is, other octets as \xHH.
std::string Printable(const std::string& text) {
    std::string line;
    for (const unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            line += static_cast<char>(c);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            line += escaped;
        }
    }
    return line;
}

// A TCP connection to the server of an ldap:// URL, exchanging whole messages; connecting and each
// read wait at most `timeout` seconds.
class Connection {
public:
    Connection(const std::string& url, unsigned timeout) : m_timeout(timeout) {
        const std::string scheme = "ldap://";
        if (url.rfind(scheme, 0) != 0) throw Failure(url + ": not an ldap:// URL");
        std::string host = url.substr(scheme.size());
        host = host.substr(0, host.find('/'));
        std::string port = "389";
        if (const size_t colon = host.rfind(':'); colon != std::string::npos) {
            port = host.substr(colon + 1);
            host.resize(colon);
        }
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (const int error = ::getaddrinfo(host.empty() ? "localhost" : host.c_str(), port.c_str(), &hints, &found))
            throw Failure(url + ": " + ::gai_strerror(error));
        int error = 0;
        for (addrinfo* a = found; a && m_fd < 0; a = a->ai_next) {
            m_fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
            if (m_fd >= 0 && (error = ConnectWithin(*a)) != 0) {
                ::close(m_fd);
                m_fd = -1;
            }
        }
        ::freeaddrinfo(found);
        if (m_fd < 0) throw Failure(url + ": " + (error == ETIMEDOUT ? TimedOut() : std::strerror(error)));
        const timeval limit{static_cast<time_t>(m_timeout), 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    }
    ~Connection() {
        try {
            Send(BuildUnbindRequest());
        } catch (...) {  // the server may be gone already
        }
        ::close(m_fd);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Sends the operation as the next message; its message ID.
    unsigned long Send(std::unique_ptr<CASN1Type> operation) {
        CByteArray octets;
        BuildLDAPMessage(++m_lastID, std::move(operation))->encodeTo(octets);
        for (int sent = 0; sent < octets.GetSize();) {
            const ssize_t n =
                ::send(m_fd, octets.GetData() + sent, static_cast<size_t>(octets.GetSize() - sent), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) throw Failure(TimedOut());
            if (n < 0) throw Failure(std::string("sending to the server: ") + std::strerror(errno));
            sent += static_cast<int>(n);
        }
        return m_lastID;
    }

    // The next message that answers `id`; others (notices of disconnection) end the session.
    std::unique_ptr<CASN1_LDAPMessage> Receive(unsigned long id) {
        for (;;) {
            if (const unsigned long length = FrameLength(m_buffer.data(), m_buffer.size(), kMaxPdu)) {
                std::unique_ptr<CASN1_LDAPMessage> message = DecodeLDAPMessage(m_buffer.data(), length);
                m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<long>(length));
                if (message->GetMessageID() == id) return message;
                if (message->GetMessageID() == 0) throw Failure("the server ended the session");
                continue;
            }
            unsigned char chunk[16384];
            const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) throw Failure(TimedOut());
            if (n <= 0) throw Failure("the server closed the connection");
            m_buffer.insert(m_buffer.end(), chunk, chunk + n);
        }
    }

    // Sends a request with a single response and fails unless its result is success.
    void Request(std::unique_ptr<CASN1Type> operation, const char* what) {
        const std::unique_ptr<CASN1_LDAPMessage> answer = Receive(Send(std::move(operation)));
        CheckResult(ReadLDAPResult(answer->get_protocolOp().GetValue()), what);
    }

    static void CheckResult(const SLDAPResult& result, const char* what) {
        if (result.resultCode == ELDAPResultCode::success) return;
        std::string text =
            std::string(what) + " failed: result code " + std::to_string(static_cast<unsigned>(result.resultCode));
        if (!result.errorMessage.empty()) text += " (" + Printable(result.errorMessage) + ")";
        throw Failure(text);
    }

private:
    std::string TimedOut() const {
        return "the server did not answer within " + std::to_string(m_timeout) + " second" +
               (m_timeout == 1 ? "" : "s");
    }

    // 0 once connected, else the error; ETIMEDOUT after the timeout.
    int ConnectWithin(const addrinfo& address) const {
        const int flags = ::fcntl(m_fd, F_GETFL);
        ::fcntl(m_fd, F_SETFL, flags | O_NONBLOCK);
        int error = 0;
        if (::connect(m_fd, address.ai_addr, address.ai_addrlen) != 0) {
            error = errno;
            if (error == EINPROGRESS) {
                pollfd writable{m_fd, POLLOUT, 0};
                const int ready = ::poll(&writable, 1, static_cast<int>(m_timeout * 1000));
                socklen_t size = sizeof error;
                if (ready == 0)
                    error = ETIMEDOUT;
                else if (ready < 0 || ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                    error = errno;
            }
        }
        ::fcntl(m_fd, F_SETFL, flags);
        return error;
    }

    unsigned m_timeout;
    int m_fd = -1;
    unsigned long m_lastID = 0;
    std::vector<unsigned char> m_buffer;
};

struct ServerOptions {
    std::string url;
    std::string bindDN;
    std::string password;
    unsigned timeout = 30;
};

std::unique_ptr<Connection> Open(const ServerOptions& o) {
    auto connection = std::make_unique<Connection>(o.url, o.timeout);
    if (!o.bindDN.empty()) connection->Request(BuildSimpleBindRequest(o.bindDN, o.password), "bind");
    return connection;
}

// An LDIF line: the value as it is, or base64 after "::" when LDIF may not carry it plainly.
void PrintAttribute(const std::string& type, const std::string& value) {
    bool safe = value.empty() || (value[0] != ' ' && value[0] != ':' && value[0] != '<' && value.back() != ' ');
    for (const unsigned char c : value) safe = safe && c >= 0x20 && c < 0x7F;
    if (safe)
        std::printf("%s: %s\n", type.c_str(), value.c_str());
    else
        std::printf("%s:: %s\n", type.c_str(),
                    static_cast<const char*>(
                        EncodeBase64(reinterpret_cast<const BYTE*>(value.data()), static_cast<int>(value.size()))));
}


struct SearchOptions : ServerOptions {
    std::string base;
    std::string scope = "sub";
    std::string filter;
    std::vector<std::string> attributes;
};

void Search(const SearchOptions& o) {
    SLDAPSearch search;
    search.baseObject = o.base;
    search.scope = o.scope == "base"  ? ELDAPSearchScope::baseObject
                   : o.scope == "one" ? ELDAPSearchScope::singleLevel
                                      : ELDAPSearchScope::wholeSubtree;
    search.attributes = o.attributes;
    std::unique_ptr<CASN1_SearchRequest> request = BuildSearchRequest(search, ParseLDAPFilter(o.filter));
    const std::unique_ptr<Connection> connection = Open(o);
    const unsigned long id = connection->Send(std::move(request));
    for (;;) {
        const std::unique_ptr<CASN1_LDAPMessage> message = connection->Receive(id);
        const CASN1_ProtocolOpChoice operation = message->get_protocolOp();
        switch (static_cast<ELDAPOperation>(operation.GetValue().identifier & ~0x20)) {
            case ELDAPOperation::searchResEntry: {
                const CASN1_SearchResultEntry& entry = operation.get_searchResEntry();
                const CASN1_PartialAttributeList& attributes = entry.get_attributes();
                for (int i = 0; i < attributes.getComponentCount(); ++i) {  // the whole record or none of it
                    const std::string type = LDAPString(attributes.getComponent(i).get_type());
                    if (!IsLDAPAttributeDescription(type))  // else a line break in it would write records of its own
                        throw Failure("the server sent an attribute type that is no attribute description: \"" +
                                      Printable(type) + "\"");
                }
                PrintAttribute("dn", LDAPString(entry.get_objectName()));
                for (int i = 0; i < attributes.getComponentCount(); ++i) {
                    const CASN1_PartialAttribute& attribute = attributes.getComponent(i);
                    const std::string type = LDAPString(attribute.get_type());
                    for (int j = 0; j < attribute.get_vals().getComponentCount(); ++j)
                        PrintAttribute(type, LDAPString(attribute.get_vals().getComponent(j)));
                }
                std::printf("\n");  // an empty line ends each LDIF record
                break;
            }
            case ELDAPOperation::searchResDone:
                Connection::CheckResult(ReadLDAPResult(operation.GetValue()), "search");
                return;
            default:  // references to other servers are not followed
                break;
        }
    }
}

// "type=value" arguments as attributes, the values of one type gathered in order.
std::vector<SLDAPAttribute> ParseAttributes(const std::vector<std::string>& arguments) {
    std::vector<SLDAPAttribute> attributes;
    for (const std::string& argument : arguments) {
        const size_t equals = argument.find('=');
        if (equals == 0 || equals == std::string::npos) throw Failure("\"" + argument + "\" is not type=value");
        const std::string type = argument.substr(0, equals);
        auto same = std::find_if(attributes.begin(), attributes.end(), [&](const auto& a) { return a.type == type; });
        if (same == attributes.end()) {
            attributes.push_back({type, {}});
            same = attributes.end() - 1;
        }
        same->values.push_back(argument.substr(equals + 1));
    }
    return attributes;
}

struct UpdateOptions : ServerOptions {
    std::string dn;
    std::string operation = "replace";
    std::vector<std::string> attributes;
};

void AddServerOptions(CLI::App* command, ServerOptions& o) {
    command->add_option("url", o.url, "server, ldap://host[:port]")->required();
    command->add_option("-D,--bind-dn", o.bindDN, "name to bind as (simple bind; anonymous without)");
    command->add_option("-w,--password", o.password, "password of the bind name");
    command->add_option("--timeout", o.timeout, "seconds to wait for the connection and for each answer")
        ->capture_default_str()
        ->check(CLI::Range(1, 86400));
}

}  // namespace

void AddLdapCommands(CLI::App& app) {
    auto* ldap = app.add_subcommand("ldap", "Decode LDAP messages and talk to an LDAP server");
    ldap->require_subcommand(1);

    auto* decode = ldap->add_subcommand("decode", "Print one LDAP message (DER or PEM) as named fields");
    auto path = std::make_shared<std::string>("-");
    decode->add_option("file", *path, "the message, \"-\" for standard input")->capture_default_str();
    decode->callback([path] { Decode(*path); });

    auto* search = ldap->add_subcommand("search", "Search a directory and print the entries as LDIF");
    auto searchOptions = std::make_shared<SearchOptions>();
    AddServerOptions(search, *searchOptions);
    search->add_option("-b,--base", searchOptions->base, "base of the search")->required();
    search->add_option("-s,--scope", searchOptions->scope, "base, one or sub")
        ->capture_default_str()
        ->check(CLI::IsMember({"base", "one", "sub"}));
    search->add_option("filter", searchOptions->filter, "filter, as (&(objectClass=person)(cn=A*))")->required();
    search->add_option("attributes", searchOptions->attributes, "attributes to return (default: all)");
    search->callback([searchOptions] { Search(*searchOptions); });

    auto* add = ldap->add_subcommand("add", "Add an entry");
    auto addOptions = std::make_shared<UpdateOptions>();
    AddServerOptions(add, *addOptions);
    add->add_option("dn", addOptions->dn, "name of the new entry")->required();
    add->add_option("attributes", addOptions->attributes, "type=value, one per value")->required();
    add->callback([addOptions] {
        std::unique_ptr<CASN1Type> request = BuildAddRequest(addOptions->dn, ParseAttributes(addOptions->attributes));
        Open(*addOptions)->Request(std::move(request), "add");
    });

    auto* modify = ldap->add_subcommand("modify", "Add, delete or replace values of an entry's attributes");
    auto modifyOptions = std::make_shared<UpdateOptions>();
    AddServerOptions(modify, *modifyOptions);
    modify->add_option("dn", modifyOptions->dn, "name of the entry")->required();
    modify->add_option("--operation", modifyOptions->operation, "add, delete or replace")
        ->capture_default_str()
        ->check(CLI::IsMember({"add", "delete", "replace"}));
    modify->add_option("attributes", modifyOptions->attributes, "type=value, one per value")->required();
    modify->callback([modifyOptions] {
        const UpdateOptions& o = *modifyOptions;
        const ELDAPModifyOperation operation = o.operation == "add"      ? ELDAPModifyOperation::addValues
                                               : o.operation == "delete" ? ELDAPModifyOperation::deleteValues
                                                                         : ELDAPModifyOperation::replaceValues;
        std::vector<SLDAPModification> changes;
        for (SLDAPAttribute& attribute : ParseAttributes(o.attributes)) changes.push_back({operation, attribute});
        std::unique_ptr<CASN1Type> request = BuildModifyRequest(o.dn, changes);
        Open(o)->Request(std::move(request), "modify");
    });

    auto* remove = ldap->add_subcommand("delete", "Delete an entry");
    auto deleteOptions = std::make_shared<UpdateOptions>();
    AddServerOptions(remove, *deleteOptions);
    remove->add_option("dn", deleteOptions->dn, "name of the entry")->required();
    remove->callback([deleteOptions] {
        std::unique_ptr<CASN1Type> request = BuildDeleteRequest(deleteOptions->dn);
        Open(*deleteOptions)->Request(std::move(request), "delete");
    });
}

}  // namespace cli
