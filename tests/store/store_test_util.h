// Helpers shared by the encrypted-stream tests: the ciphers in CBC mode with fixed keys,
// streams over memory files, and whole-stream reads.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "tests/cipher/cipher_test_util.h"
#include "vorlan/cipher/cbc.h"
#include "vorlan/cipher/des.h"
#include "vorlan/cipher/idea.h"
#include "vorlan/cipher/rc2.h"
#include "vorlan/cipher/rc5.h"
#include "vorlan/cipher/tripledes.h"
#include "vorlan/framework/memfile.h"
#include "vorlan/store/cryptofile.h"

namespace store_test {

using namespace cipher_test;

inline const Bytes kIv = FromHex("0102030405060708");
inline const Bytes kTripleDesKey = Pattern(24, 3);

struct Cipher {
    std::string name;
    std::function<std::unique_ptr<CCryptoProcessor>()> make;
};

inline std::unique_ptr<CCryptoProcessor> TripleDes() {
    return std::make_unique<CCBC<CTripleDESAlgorithm>>(MakeKey<CTripleDESkey>(kTripleDesKey), kIv.data());
}

// Every cipher with 8-octet blocks, chained, and triple DES unchained.
inline const std::vector<Cipher>& Ciphers() {
    static const std::vector<Cipher> ciphers = {
        {"des", [] { return std::make_unique<CCBC<CDESAlgorithm>>(ExampleDesKey(), kIv.data()); }},
        {"3des", TripleDes},
        {"3des-ecb", [] { return std::make_unique<CTripleDESAlgorithm>(MakeKey<CTripleDESkey>(kTripleDesKey), 1, nullptr); }},
        {"idea", [] { return std::make_unique<CCBC<CIDEAAlgorithm>>(MakeKey<CIDEAkey>(Pattern(16, 4)), kIv.data()); }},
        {"rc2", [] { return std::make_unique<CCBC<CRC2Algorithm>>(MakeKey<CRC2key>(Pattern(16, 5), 128), kIv.data()); }},
        {"rc5", [] { return std::make_unique<CCBC<CRC5Algorithm>>(MakeKey<CRC5key>(Pattern(16, 6)), 12, 8, kIv.data()); }},
    };
    return ciphers;
}

// The octets of a memory file.
inline Bytes Contents(const CMemFile& file) { return Bytes(file.GetBuffer(), file.GetBuffer() + file.GetLength()); }

// A stream over a memory file holding a copy of `stored`, read whole from the start.
inline Bytes OpenAndReadAll(const Bytes& stored, CCryptoProcessor& proc, unsigned long recordSize) {
    CMemFile file;
    file.Write(stored.data(), static_cast<UINT>(stored.size()));
    CCryptoFile stream(&file, proc, recordSize, FALSE);
    Bytes out(stream.GetLength());
    EXPECT_EQ(stream.Read(out.data(), static_cast<UINT>(out.size())), out.size());
    return out;
}

}  // namespace store_test
