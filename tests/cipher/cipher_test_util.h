// Helpers shared by the cipher tests: keys from octets, whole-message and unchained
// operations, and the command-line peers (openssl, python3).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/common/octets.h"
#include "tests/common/progress_recorder.h"
#include "tests/common/temp_file.h"
#include "tests/common/unlock_reason.h"
#include "vorlan/cipher/cryptoprocessor.h"
#include "vorlan/cipher/key.h"

namespace cipher_test {

using namespace testcommon;
using Bytes = Octets;

// A key of class Key holding the given octets (valid or not).
template <class Key, class... Args>
Key MakeKey(const Bytes& octets, Args... constructorArgs) {
    Key key(constructorArgs...);
    key.Set(octets.data(), octets.size());
    return key;
}

// The key of the worked FIPS example.
inline CDESkey ExampleDesKey() { return MakeKey<CDESkey>(FromHex("133457799BBCDFF1")); }

// A whole message through the final operations.
template <class Proc>
Bytes EncryptAll(Proc&& proc, const Bytes& plain) {
    Bytes out(proc.EncrFinalOutMaxSize(plain.size()));
    out.resize(proc.EncryptFinal(plain.data(), plain.size(), out.data(), nullptr));
    return out;
}

template <class Proc>
Bytes DecryptAll(Proc&& proc, const Bytes& cipher) {
    Bytes out(cipher.size());
    out.resize(proc.DecryptFinal(cipher.data(), cipher.size(), out.data(), nullptr));
    return out;
}

// Unchained whole blocks; args are the cipher's arguments between the key and the mode
// flag (RC5's rounds and block size).
template <class Cipher, class Key, class... Args>
Bytes Ecb(const Key& key, const Bytes& data, bool encrypt, Args... args) {
    Cipher cipher(key, args..., 1, nullptr);
    Bytes out(data.size());
    (cipher.*(encrypt ? &Cipher::EncryptBlock : &Cipher::DecryptBlock))(data.data(), data.size(), out.data(), nullptr);
    return out;
}

// The standard output of a shell command given `input`; empty when it fails.
inline Bytes RunFilter(const std::string& command, const Bytes& input) {
    const TempFile in(input), out;
    const int status = std::system((command + " < " + in.Path() + " > " + out.Path() + " 2>/dev/null").c_str());
    return status == 0 ? out.Read() : Bytes{};
}

// `openssl enc` in CBC mode with PKCS#7 padding and no salt.
inline Bytes OpenSSLEnc(const std::string& cipher, const Bytes& key, const Bytes& iv, const Bytes& plain) {
    return RunFilter(
        "openssl enc -" + cipher + " -provider legacy -provider default -nosalt -K " + ToHex(key) + " -iv " + ToHex(iv),
        plain);
}

}  // namespace cipher_test
