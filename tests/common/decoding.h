// Decoding through the library for the tests: the values built of DER octets and the reasons
// of refusals.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "tests/common/octets.h"
#include "vorlan/asn1/decoder.h"

namespace testcommon {

// What `make` builds of a decoding of DER octets (its windows keep their own copy of them).
template <class Make>
auto OnEncoding(const Octets& der, Make&& make) {
    auto* encoding = new CDEREncoding(1, const_cast<unsigned char*>(der.data()), der.size(), 0, 1);
    encoding->AddRef();
    std::unique_ptr<CDEREncoding, void (*)(CDEREncoding*)> release(encoding, [](CDEREncoding* e) { e->Release(); });
    return make(*encoding);
}
// The value the decoder builds of DER octets.
inline std::unique_ptr<CASN1Type> Built(const Octets& der) {
    return OnEncoding(der, [](CDEREncoding& e) { return std::unique_ptr<CASN1Type>(___buildFromEncoding(e)); });
}

// Whether the action throws the exception (released afterwards); the decoding reason of one, "" for none.
template <class Exception = CDERDecodingException>
bool Refused(const std::function<void()>& action) {
    try {
        action();
    } catch (Exception* e) {
        e->Delete();
        return true;
    }
    return false;
}
inline std::string DecodingReason(const std::function<void()>& action) {
    return Refused(action) ? LastDecodingReason() : "";
}

}  // namespace testcommon
