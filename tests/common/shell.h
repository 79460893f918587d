// The standard output of a shell command, for the tests that take openssl, node or slapd as peers.
#pragma once

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

namespace testcommon {

// The command must exit with 0 unless `status` takes its exit status.
inline std::string ShellOutput(const std::string& command, int* status = nullptr) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) throw std::runtime_error("cannot run: " + command);
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) out.append(buffer, n);
    const int code = ::pclose(pipe.release());
    if (status) *status = code;
    if (code != 0 && !status) throw std::runtime_error("failed: " + command + "\n" + out);
    return out;
}

}  // namespace testcommon
