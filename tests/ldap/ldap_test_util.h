// Octets in and out of the library for the LDAP tests: PDUs written in hex (tests/common/der.h),
// generic decoding, decoding failures, and the npm package @ldapjs/messages as a peer.
#pragma once

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/common/decoding.h"
#include "tests/common/der.h"
#include "tests/common/octets.h"
#include "tests/common/shell.h"
#include "tests/common/temp_file.h"
#include "vorlan/ldap/message.h"

namespace ldappeer {

using testcommon::Built;
using testcommon::DecodingReason;
using testcommon::FromHex;
using testcommon::Octets;
using testcommon::ToHex;
using namespace testcommon::hexder;

inline std::string EncodedHex(const CASN1Type& value) { return ToHex(testcommon::Encoded(value)); }

// resultCode, matchedDN, errorMessage.
inline std::string result(unsigned code = 0) { return num(code, "0a") + str("") + str(""); }
inline std::string message(const std::string& operation, const std::string& id = "020101") {
    return tlv("30", {id, operation});
}

inline constexpr int kInvalid = -1;

// The message decoded by the decoding constructor (tolerant), by DecodeLDAPMessage (strict)
// and generically, then validated through the tables: the alternative's index, kInvalid when
// decoding or validation fails.
struct Decoded {
    int tolerant = kInvalid, strict = kInvalid, generic = kInvalid;
    std::string reencoded, reason;
};

inline Decoded DecodeEveryWay(const std::string& hex) {
    Decoded d;
    DecodingReason([&] {
        const std::unique_ptr<CASN1Type> value = Built(FromHex(hex));
        if (!CASN1_LDAPMessage::isValid(value.get(), 0)) return;
        const CASN1ComponentArray& parts = dynamic_cast<const CASN1_SEQUENCE&>(*value).GetComponents();
        const int op = ___findComponentByMemberName(CASN1_LDAPMessage::m_compInfoList, parts, "protocolOp");
        d.generic = CASN1_ProtocolOpChoice::resolveAlternative(parts[op]);
    });
    const Octets octets = FromHex(hex);
    d.reason = DecodingReason([&] {
        CDEREncoding der(0, const_cast<unsigned char*>(octets.data()), octets.size(), 0, 0);
        der.AddRef();
        CASN1_LDAPMessage message(der);
        d.tolerant = message.get_protocolOp().resolve();
        d.reencoded = EncodedHex(message);
    });
    DecodingReason([&] { d.strict = DecodeLDAPMessage(octets.data(), octets.size())->get_protocolOp().resolve(); });
    return d;
}

// The output lines of `ldapjs_peer.js command` given `input`, one line each; the pinned
// packages are installed once into the build folder (concurrent test processes under a lock).
inline std::vector<std::string> Ldapjs(const std::string& command, const std::vector<std::string>& input = {}) {
    static const std::string modules = [] {
        const std::string folder = VORLAN_BINARY_DIR "/ldapjs";
        std::filesystem::create_directories(folder);
        testcommon::ShellOutput(
            "cd '" + folder + "' && flock .lock sh -c 'test -f node_modules/@ldapjs/messages/package.json || " +
            "npm install --no-audit --no-fund --silent @ldapjs/messages@1.3.0 @ldapjs/filter@2.1.1 >&2'");
        return folder + "/node_modules";
    }();
    std::string text;
    for (const std::string& line : input) text += line + "\n";
    testcommon::TempFile in(std::vector<unsigned char>(text.begin(), text.end()));
    const auto script = std::filesystem::path(__FILE__).parent_path() / "ldapjs_peer.js";
    std::istringstream output(testcommon::ShellOutput("NODE_PATH='" + modules + "' node '" + script.string() + "' " +
                                                      command + " < " + in.Path()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(output, line);) lines.push_back(line);
    return lines;
}

}  // namespace ldappeer
