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

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "vorlan/ldap/framing.h"

namespace ldappeer {

inline constexpr const char* kSuffix = "dc=example,dc=com";
inline constexpr const char* kRootDN = "cn=admin,dc=example,dc=com";
inline constexpr const char* kRootPassword = "secret";

// A TCP connection to 127.0.0.1:port; -1 when nothing listens there.
inline int ConnectLoopback(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    ::close(fd);
    return -1;
}

class SlapdServer {
public:
    SlapdServer() {
        char folder[] = "/tmp/vorlan-slapd-XXXXXX";
        if (!::mkdtemp(folder)) throw std::runtime_error("mkdtemp failed");
        m_folder = folder;
        std::filesystem::create_directory(m_folder / "db");
        writeConfiguration();
        // A port free a moment ago may be taken meanwhile: try a few.
        for (int attempt = 0; attempt < 5 && m_pid <= 0; ++attempt) start();
        if (m_pid <= 0) throw std::runtime_error("slapd did not start:\n" + log());
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
    void writeConfiguration() const {
        std::ofstream conf(m_folder / "slapd.conf");
        for (const char* schema : {"core", "cosine", "inetorgperson"})
            conf << "include /etc/ldap/schema/" << schema << ".schema\n";
        conf << "modulepath /usr/lib/ldap\nmoduleload back_mdb\n"
             << "pidfile " << (m_folder / "slapd.pid").string() << "\n"
             << "database mdb\nmaxsize 10485760\n"
             << "suffix \"" << kSuffix << "\"\nrootdn \"" << kRootDN << "\"\nrootpw " << kRootPassword << "\n"
             << "directory " << (m_folder / "db").string() << "\n";
    }

    static int freePort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
        ::close(fd);
        return ntohs(address.sin_port);
    }

    void start() {
        m_port = freePort();
        const std::string url = "ldap://127.0.0.1:" + std::to_string(m_port) + "/";
        const std::string conf = (m_folder / "slapd.conf").string();
        const std::string logFile = (m_folder / "slapd.log").string();
        const pid_t parent = ::getpid();
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) ::_exit(1);
            std::FILE* out = std::freopen(logFile.c_str(), "a", stderr);
            (void)out;
            // -d keeps slapd in the foreground as this child, so the test owns its pid.
            ::execl("/usr/sbin/slapd", "slapd", "-d", "0", "-f", conf.c_str(), "-h", url.c_str(), nullptr);
            ::_exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
            if (const int fd = ConnectLoopback(m_port); fd >= 0) {
                ::close(fd);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        stop();
    }

    void stop() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (::waitpid(m_pid, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_pid = -1;
    }

    std::string log() const {
        std::ifstream in(m_folder / "slapd.log");
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path m_folder;
    pid_t m_pid = -1;
    int m_port = 0;
};

}  // namespace ldappeer
