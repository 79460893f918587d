// The npm package @ldapjs/messages as a peer: installed once (pinned) into the build folder,
// driven through tests/ldap/ldapjs_peer.js one batch of lines at a time.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/common/temp_file.h"

namespace ldappeer {

// Standard output of a shell command; throws when it exits non-zero.
inline std::string Run(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run: " + command);
    std::string output;
    char block[4096];
    for (size_t n; (n = std::fread(block, 1, sizeof block, pipe)) > 0;) output.append(block, n);
    if (::pclose(pipe) != 0) throw std::runtime_error("failed: " + command + "\n" + output);
    return output;
}

// node_modules holding the pinned packages; concurrent test processes install under one lock.
inline std::string LdapjsModules() {
    const std::string folder = VORLAN_BINARY_DIR "/ldapjs";
    std::filesystem::create_directories(folder);
    Run("cd '" + folder + "' && flock .lock sh -c 'test -f node_modules/@ldapjs/messages/package.json || " +
        "npm install --no-audit --no-fund --silent @ldapjs/messages@1.3.0 @ldapjs/filter@2.1.1 >&2'");
    return folder + "/node_modules";
}

// The output lines of `ldapjs_peer.js command` given `input`, one line each.
inline std::vector<std::string> Ldapjs(const std::string& command, const std::vector<std::string>& input = {}) {
    static const std::string modules = LdapjsModules();
    std::string text;
    for (const std::string& line : input) text += line + "\n";
    testcommon::TempFile in(std::vector<unsigned char>(text.begin(), text.end()));
    const auto script = std::filesystem::path(__FILE__).parent_path() / "ldapjs_peer.js";
    std::istringstream output(
        Run("NODE_PATH='" + modules + "' node '" + script.string() + "' " + command + " < " + in.Path()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(output, line);) lines.push_back(line);
    return lines;
}

}  // namespace ldappeer
