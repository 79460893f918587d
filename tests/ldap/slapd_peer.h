// A private OpenLDAP slapd for the tests: configuration and database in a temporary folder,
// listening on 127.0.0.1 at a free port, stopped with the object and, should the test
// process die first, by the kernel (parent-death signal).
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace ldappeer {

inline constexpr const char* kSuffix = "dc=example,dc=com";
inline constexpr const char* kRootDN = "cn=admin,dc=example,dc=com";
inline constexpr const char* kRootPassword = "secret";

// A TCP socket connected to 127.0.0.1:port (-1 when nothing listens there), or with port 0
// the number of a port free a moment ago.
inline int ConnectLoopback(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    auto* any = reinterpret_cast<sockaddr*>(&address);
    if (port != 0 && ::connect(fd, any, size) == 0) return fd;
    const int free =
        port == 0 && ::bind(fd, any, size) == 0 && ::getsockname(fd, any, &size) == 0 ? ntohs(address.sin_port) : -1;
    ::close(fd);
    return free;
}

class SlapdServer {
public:
    SlapdServer() {
        char folder[] = "/tmp/vorlan-slapd-XXXXXX";
        if (!::mkdtemp(folder)) throw std::runtime_error("mkdtemp failed");
        m_folder = folder;
        std::filesystem::create_directory(m_folder / "db");
        std::ofstream(m_folder / "slapd.conf")
            << "include /etc/ldap/schema/core.schema\ninclude /etc/ldap/schema/cosine.schema\n"
            << "include /etc/ldap/schema/inetorgperson.schema\nmodulepath /usr/lib/ldap\nmoduleload back_mdb\n"
            << "pidfile " << (m_folder / "slapd.pid").string() << "\ndatabase mdb\nmaxsize 10485760\nsuffix \""
            << kSuffix << "\"\nrootdn \"" << kRootDN << "\"\nrootpw " << kRootPassword << "\ndirectory "
            << (m_folder / "db").string() << "\n";
        // A port free a moment ago may be taken meanwhile: try a few.
        for (int attempt = 0; attempt < 5 && m_pid <= 0; ++attempt) start();
        if (m_pid <= 0) {
            std::ifstream log(m_folder / "slapd.log");
            throw std::runtime_error("slapd did not start:\n" + std::string(std::istreambuf_iterator<char>(log), {}));
        }
    }
    SlapdServer(const SlapdServer&) = delete;
    SlapdServer& operator=(const SlapdServer&) = delete;
    ~SlapdServer() {
        stop();
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }

    int Port() const { return m_port; }

private:
    void start() {
        m_port = ConnectLoopback(0);
        const std::string url = "ldap://127.0.0.1:" + std::to_string(m_port) + "/";
        const std::string conf = (m_folder / "slapd.conf").string(), log = (m_folder / "slapd.log").string();
        const pid_t parent = ::getpid();
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent || !std::freopen(log.c_str(), "a", stderr)) ::_exit(1);
            // -d keeps slapd in the foreground as this child, so the test owns its pid.
            ::execl("/usr/sbin/slapd", "slapd", "-d", "0", "-f", conf.c_str(), "-h", url.c_str(), nullptr);
            ::_exit(127);
        }
        for (int wait = 0; wait < 500; ++wait) {  // up to 10 s
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
            if (const int fd = ConnectLoopback(m_port); fd >= 0) {
                ::close(fd);
                return;
            }
            ::usleep(20000);
        }
        stop();
    }

    // SIGTERM, then SIGKILL after 5 s.
    void stop() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGTERM);
        for (int wait = 0; wait < 500 && ::waitpid(m_pid, nullptr, WNOHANG) == 0; ++wait)
            ::usleep(10000);
        if (::kill(m_pid, 0) == 0 && ::kill(m_pid, SIGKILL) == 0) ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

    std::filesystem::path m_folder;
    pid_t m_pid = -1;
    int m_port = 0;
};

}  // namespace ldappeer
