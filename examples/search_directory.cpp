// Searches a directory: builds an LDAP search request from a filter string, and reads the
// server's answer — entries as LDIF lines, then the result. With HOST:PORT it talks to that
// server over TCP (anonymously); without it, it decodes a recorded answer of a server.
//   search_directory BASE FILTER [HOST:PORT]
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "vorlan/vorlan.h"

// What a server answered to message 1: one entry and the searchResDone of success.
static const unsigned char kRecorded[] = {
    0x30, 0x4F, 0x02, 0x01, 0x01, 0x64, 0x4A, 0x04, 0x1A, 0x63, 0x6E, 0x3D, 0x45, 0x72, 0x69, 0x6B, 0x61, 0x2C, 0x64,
    0x63, 0x3D, 0x65, 0x78, 0x61, 0x6D, 0x70, 0x6C, 0x65, 0x2C, 0x64, 0x63, 0x3D, 0x63, 0x6F, 0x6D, 0x30, 0x2C, 0x30,
    0x0D, 0x04, 0x02, 0x63, 0x6E, 0x31, 0x07, 0x04, 0x05, 0x45, 0x72, 0x69, 0x6B, 0x61, 0x30, 0x1B, 0x04, 0x04, 0x6D,
    0x61, 0x69, 0x6C, 0x31, 0x13, 0x04, 0x11, 0x65, 0x72, 0x69, 0x6B, 0x61, 0x40, 0x65, 0x78, 0x61, 0x6D, 0x70, 0x6C,
    0x65, 0x2E, 0x63, 0x6F, 0x6D, 0x30, 0x0C, 0x02, 0x01, 0x01, 0x65, 0x07, 0x0A, 0x01, 0x00, 0x04, 0x00, 0x04, 0x00,
};

// A connected TCP socket to HOST:PORT, -1 when there is none.
static int Connect(const std::string& address) {
    const size_t colon = address.rfind(':');
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (colon == std::string::npos ||
        getaddrinfo(address.substr(0, colon).c_str(), address.substr(colon + 1).c_str(), &hints, &found) != 0)
        return -1;
    int fd = -1;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (fd >= 0 && connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    return fd;
}

// Prints each entry; true when the searchResDone arrived, with its result code in `code`.
static bool Read(const std::vector<unsigned char>& octets, size_t& used, unsigned& code) {
    while (const unsigned long length = FrameLength(octets.data() + used, octets.size() - used, 1 << 20)) {
        const std::unique_ptr<CASN1_LDAPMessage> message = DecodeLDAPMessage(octets.data() + used, length);
        used += length;
        const CASN1_ProtocolOpChoice operation = message->get_protocolOp();
        const auto kind = static_cast<ELDAPOperation>(operation.GetValue().identifier & ~0x20);
        if (kind == ELDAPOperation::searchResDone) {
            code = static_cast<unsigned>(ReadLDAPResult(operation.GetValue()).resultCode);
            return true;
        }
        if (kind != ELDAPOperation::searchResEntry) continue;  // references are not followed here
        const CASN1_SearchResultEntry& entry = operation.get_searchResEntry();
        std::printf("dn: %s\n", LDAPString(entry.get_objectName()).c_str());
        const CASN1_PartialAttributeList& attributes = entry.get_attributes();
        for (int i = 0; i < attributes.getComponentCount(); ++i) {
            const CASN1_PartialAttribute& attribute = attributes.getComponent(i);
            for (int j = 0; j < attribute.get_vals().getComponentCount(); ++j)
                std::printf("%s: %s\n", LDAPString(attribute.get_type()).c_str(),
                            LDAPString(attribute.get_vals().getComponent(j)).c_str());
        }
        std::printf("\n");
    }
    return false;
}

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s BASE FILTER [HOST:PORT]\n", argv[0]);
        return 2;
    }
    try {
        SLDAPSearch search;
        search.baseObject = argv[1];
        CByteArray request;
        BuildLDAPMessage(1, BuildSearchRequest(search, ParseLDAPFilter(argv[2])))->encodeTo(request);
        std::printf("searchRequest: %d octets, filter %s\n", request.GetSize(), argv[2]);

        std::vector<unsigned char> answer;
        size_t used = 0;
        unsigned code = 0;
        if (argc == 3) {
            answer.assign(kRecorded, kRecorded + sizeof kRecorded);
            if (!Read(answer, used, code)) throw std::runtime_error("the recorded answer has no searchResDone");
        } else {
            const int fd = Connect(argv[3]);
            if (fd < 0) throw std::runtime_error(std::string("cannot connect to ") + argv[3]);
            bool done = false;
            if (send(fd, request.GetData(), static_cast<size_t>(request.GetSize()), MSG_NOSIGNAL) !=
                request.GetSize()) {
                close(fd);
                throw std::runtime_error("cannot send the request");
            }
            unsigned char chunk[16384];
            while (!done) {
                const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
                if (n <= 0) break;
                answer.insert(answer.end(), chunk, chunk + n);
                done = Read(answer, used, code);
            }
            close(fd);
            if (!done) throw std::runtime_error("the server did not finish the search");
        }
        std::printf("result code %u\n", code);
        return code == 0 ? 0 : 1;
    } catch (CException* e) {
        char reason[256] = "";
        e->GetErrorMessage(reason, sizeof reason);
        e->Delete();
        std::fprintf(stderr, "search_directory: %s\n", reason);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "search_directory: %s\n", e.what());
    }
    return 1;
}
