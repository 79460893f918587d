// Helpers of the ASN.1 tests: hex octets, encoding and decoding through the library.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "vorlan/asn1/decoder.h"
#include "vorlan/asn1/sequence.h"
#include "vorlan/asn1/tagged.h"

namespace asn1test {

using Octets = std::vector<unsigned char>;

inline Octets fromHex(const std::string& hex) {
    Octets out;
    std::string digits;
    for (char c : hex)
        if (c != ' ') digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2) out.push_back(static_cast<unsigned char>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return out;
}

inline std::string toHex(const unsigned char* data, size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

inline std::string encodedHex(const CASN1Type& value) {
    CByteArray out;
    value.encodeTo(out);
    return toHex(out.GetData(), static_cast<size_t>(out.GetSize()));
}

inline std::string clearHex(CASN1Type& value, int alignLeft = 1) {
    CByteArray out;
    value.GetClearData(out, alignLeft);
    return toHex(out.GetData(), static_cast<size_t>(out.GetSize()));
}

// A heap encoding over a private copy, held by one reference of the caller.
struct SharedEncoding {
    explicit SharedEncoding(const Octets& octets)
        : der(new CDEREncoding(1, const_cast<unsigned char*>(octets.data()), octets.size(), 0, 1)) {
        der->AddRef();
    }
    SharedEncoding(const SharedEncoding&) = delete;
    SharedEncoding& operator=(const SharedEncoding&) = delete;
    ~SharedEncoding() { der->Release(); }
    CDEREncoding* der;
};

inline std::unique_ptr<CASN1Type> decode(const Octets& octets) {
    SharedEncoding shared(octets);
    return std::unique_ptr<CASN1Type>(___buildFromEncoding(*shared.der));
}

// The reason text of the decoding failure, or "" when the octets decode.
inline std::string decodingFailure(const Octets& octets) {
    try {
        decode(octets);
    } catch (CDERDecodingException* e) {
        e->Delete();
        return detail::lastDecodingReason();
    }
    return "";
}

// Whether `operation` throws an exception of type E (released afterwards).
template <class E, class F>
bool throwsException(F&& operation) {
    try {
        operation();
    } catch (E* e) {
        e->Delete();
        return true;
    }
    return false;
}

inline Octets certificate() {
    std::ifstream in(VORLAN_TEST_DATA "/asn1_cert.der", std::ios::binary);
    return Octets(std::istreambuf_iterator<char>(in), {});
}

}  // namespace asn1test
