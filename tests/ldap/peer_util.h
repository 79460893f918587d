// Octets in and out of the library for the LDAP peer tests.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "tests/common/octets.h"
#include "vorlan/asn1/decoder.h"

namespace ldappeer {

using testcommon::FromHex;
using testcommon::Octets;
using testcommon::ToHex;

inline std::string EncodedHex(const CASN1Type& value) {
    CByteArray out;
    value.encodeTo(out);
    return ToHex(out.GetData(), static_cast<size_t>(out.GetSize()));
}

// A value decoded generically from hex (the encoding it windows stays alive with it).
inline std::unique_ptr<CASN1Type> DecodeHex(const std::string& hex) {
    const Octets octets = FromHex(hex);
    auto* der = new CDEREncoding(1, const_cast<unsigned char*>(octets.data()), octets.size(), 0, 1);
    der->AddRef();
    std::unique_ptr<CASN1Type> value;
    try {
        value.reset(___buildFromEncoding(*der));
    } catch (...) {
        der->Release();
        throw;
    }
    der->Release();
    return value;
}

// The reason of the decoding exception `action` raises, "" when it raises none.
inline std::string DecodingFailure(const std::function<void()>& action) {
    try {
        action();
    } catch (CDERDecodingException* e) {
        e->Delete();
        return LastDecodingReason();
    }
    return "";
}

}  // namespace ldappeer
