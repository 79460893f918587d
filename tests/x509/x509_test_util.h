// Helpers of the x509 tests: refusals by the library's exceptions, and OpenSSL as the peer:
// certificates made by `openssl req` and what `openssl x509` prints of them.
#pragma once

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>

#include "tests/common/octets.h"
#include "tests/common/temp_file.h"
#include "vorlan/asn1/derencoding.h"

namespace x509test {

// Whether the action throws the exception (released afterwards).
template <class Exception = CDERDecodingException>
bool refused(const std::function<void()>& action) {
    try {
        action();
    } catch (Exception* e) {
        e->Delete();
        return true;
    }
    return false;
}

inline std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error(command);
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    if (pclose(pipe) != 0) throw std::runtime_error("failed: " + command);
    return out;
}

// A self-signed certificate, DER, from `openssl req` with a configuration file whose
// [dn] section holds the subject; `stringMask` chooses the string types.
inline testcommon::Octets makeCertificate(const std::string& dn, const std::string& stringMask,
                                          const std::string& serial = "0x1234") {
    const std::string config = "oid_section=oids\n[oids]\nvorlanTest=1.3.6.1.4.1.99999.1\n[req]\nprompt=no\n"
                               "utf8=yes\nstring_mask=" + stringMask + "\ndistinguished_name=dn\n[dn]\n" + dn;
    testcommon::TempFile conf(testcommon::Octets(config.begin(), config.end())), key, der;
    run("openssl req -x509 -config " + std::string(conf.Path()) + " -newkey ec -pkeyopt ec_paramgen_curve:P-256" +
        " -nodes -keyout " + key.Path() + " -outform DER -out " + der.Path() + " -days 30 -set_serial " + serial +
        " 2>/dev/null");
    return der.Read();
}

// `openssl x509 -noout <what>` of a DER certificate, without the trailing newline.
inline std::string x509Print(const testcommon::Octets& certificate, const std::string& what) {
    testcommon::TempFile der(certificate);
    std::string out = run("openssl x509 -inform DER -in " + std::string(der.Path()) + " -noout " + what);
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

}  // namespace x509test
