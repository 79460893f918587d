// DER through the library for the tests: the values built of DER octets, the reasons of
// refusals, and the DER written of values.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "tests/common/exceptions.h"
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
    return MessageOf<Exception>(action) != kNoException;
}
inline std::string DecodingReason(const std::function<void()>& action) {
    const std::string reason = MessageOf<CDERDecodingException>(action);
    return reason == kNoException ? "" : reason;
}

// The DER the library writes of a value.
inline Octets Encoded(const CASN1Type& value) {
    CByteArray out;
    value.encodeTo(out);
    return Octets(out.GetData(), out.GetData() + out.GetSize());
}

}  // namespace testcommon
