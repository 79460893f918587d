// Helpers of the ASN.1 tests: hex octets, encoding and decoding through the library.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "tests/common/exceptions.h"
#include "tests/common/octets.h"
#include "tests/common/temp_file.h"
#include "vorlan/asn1/decoder.h"
#include "vorlan/asn1/sequence.h"
#include "vorlan/asn1/tagged.h"

namespace asn1test {

using testcommon::Octets;
inline Octets fromHex(const std::string& hex) { return testcommon::FromHex(hex); }

inline std::string toHex(const unsigned char* data, size_t n) {
    std::string hex = testcommon::ToHex(data, n);
    std::transform(hex.begin(), hex.end(), hex.begin(), [](char c) { return static_cast<char>(std::toupper(c)); });
    return hex;
}
inline std::string toHex(const Octets& octets) { return toHex(octets.data(), octets.size()); }
inline std::string toHex(const CByteArray& octets) {
    return toHex(octets.GetData(), static_cast<size_t>(octets.GetSize()));
}

inline std::string encodedHex(const CASN1Type& value) {
    CByteArray out;
    value.encodeTo(out);
    return toHex(out);
}

inline std::string clearHex(CASN1Type& value, int alignLeft = 1) {
    CByteArray out;
    value.GetClearData(out, alignLeft);
    return toHex(out);
}

// Whether `operation` throws a CFileException (released afterwards).
inline bool throwsFileException(const std::function<void()>& operation) {
    return testcommon::CauseOf<CFileException>(operation) != testcommon::kNothingThrown;
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

// The message of the decoding failure an action raises, "" when it raises none.
inline std::string decodingFailureOf(const std::function<void()>& action) {
    const std::string message = testcommon::MessageOf<CDERDecodingException>(action);
    return message == testcommon::kNoException ? "" : message;
}
inline std::string decodingFailure(const Octets& octets) {
    return decodingFailureOf([&] { decode(octets); });
}

inline Octets certificate() {
    std::ifstream in(VORLAN_TEST_DATA "/asn1_cert.der", std::ios::binary);
    return Octets(std::istreambuf_iterator<char>(in), {});
}

}  // namespace asn1test
