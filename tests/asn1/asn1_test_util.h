// Helpers of the ASN.1 tests: hex octets, encoding and decoding through the library, a recording sink.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cctype>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "tests/common/archive_io.h"
#include "tests/common/decoding.h"
#include "tests/common/der.h"
#include "tests/common/exceptions.h"
#include "tests/common/temp_file.h"
#include "vorlan/asn1/bitstring.h"
#include "vorlan/asn1/boolean.h"
#include "vorlan/asn1/componentreader.h"
#include "vorlan/asn1/filters.h"
#include "vorlan/asn1/integer.h"
#include "vorlan/asn1/null.h"
#include "vorlan/asn1/objectidentifier.h"
#include "vorlan/asn1/octetstring.h"
#include "vorlan/asn1/set.h"
#include "vorlan/asn1/strings.h"
#include "vorlan/asn1/utctime.h"
#include "vorlan/framework/memfile.h"

namespace asn1test {

using testcommon::Octets;
using testcommon::Tlv;
inline Octets fromHex(const std::string& hex) { return testcommon::FromHex(hex); }

inline std::string toHex(const unsigned char* data, size_t n) {
    std::string hex = testcommon::ToHex(data, n);
    std::transform(hex.begin(), hex.end(), hex.begin(), [](char c) { return static_cast<char>(std::toupper(c)); });
    return hex;
}
inline std::string toHex(const Octets& octets) { return toHex(octets.data(), octets.size()); }
inline std::string toHex(const CByteArray& a) { return toHex(a.GetData(), static_cast<size_t>(a.GetSize())); }

inline std::string encodedHex(const CASN1Type& value) { return toHex(testcommon::Encoded(value)); }

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

using testcommon::Built;
// The reason of the decoding failure of an action or of the octets, "" when there is none.
using testcommon::DecodingReason;
inline std::string decodingFailure(const Octets& octets) {
    return DecodingReason([&] { Built(octets); });
}

inline Octets certificate() { return testcommon::ReadFile(VORLAN_TEST_DATA "/asn1_cert.der"); }

// A caller's own sink: records every block it is handed (final flag, where it lies, length) and the octets.
using Block = std::tuple<int, const unsigned char*, unsigned long>;
class RecordingSink : public virtual CBufferedFilterNS {
public:
    explicit RecordingSink(unsigned long blockSize) { SetBlockSize(blockSize); }
    void ProcessBlock(int final, const unsigned char* data, unsigned long length) override {
        blocks.emplace_back(final, data, data ? length : m_dwFill);
        if (!data) data = m_pBlock, length = m_dwFill;
        octets.insert(octets.end(), data, data + length);
    }
    std::vector<Block> blocks;
    Octets octets;
};

}  // namespace asn1test
