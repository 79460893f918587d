// Helpers shared by the cipher tests: keys from octets, whole-message and unchained
// operations, and the peers (OpenSSL's library, the openssl command, python3).
#pragma once

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstdlib>
#include <string>

#include "tests/common/octets.h"
#include "tests/common/progress_recorder.h"
#include "tests/common/temp_file.h"
#include "tests/common/unlock_reason.h"
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

// The key of the worked FIPS example (13 34 57 79 9B BC DF F1).
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

// Unchained encryption or decryption of whole blocks; args are the cipher's arguments
// between the key and the mode flag (RC5's rounds and block size).
template <class Cipher, class Key, class... Args>
Bytes Ecb(const Key& key, const Bytes& data, bool encrypt, Args... args) {
    Cipher cipher(key, args..., 1, nullptr);
    Bytes out(data.size());
    if (encrypt)
        cipher.EncryptBlock(data.data(), data.size(), out.data(), nullptr);
    else
        cipher.DecryptBlock(data.data(), data.size(), out.data(), nullptr);
    return out;
}

// Runs a shell command with `input` on its standard input; its standard output, or
// nothing when it fails.
inline bool RunFilter(const std::string& command, const Bytes& input, Bytes& output) {
    const TempFile in(input), out;
    const int status = std::system((command + " < " + in.Path() + " > " + out.Path() + " 2>/dev/null").c_str());
    output = out.Read();
    return status == 0;
}

// The same operation through OpenSSL's EVP interface (legacy provider for DES, IDEA
// and RC2). rc2Bits sets RC2's effective key bits. Empty on failure.
inline Bytes OpenSSLCrypt(const char* cipherName, const Bytes& key, const Bytes& iv, const Bytes& data, bool pad,
                          int rc2Bits = 0) {
    static OSSL_PROVIDER* const providers[] = {OSSL_PROVIDER_load(nullptr, "legacy"),
                                               OSSL_PROVIDER_load(nullptr, "default")};
    (void)providers;
    Bytes out(data.size() + 32);
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, cipherName, nullptr);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    int n1 = 0, n2 = 0;
    bool ok = cipher && ctx && EVP_CipherInit_ex(ctx, cipher, nullptr, nullptr, nullptr, 1) &&
              EVP_CIPHER_CTX_set_key_length(ctx, static_cast<int>(key.size())) &&
              (rc2Bits == 0 || EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_SET_RC2_KEY_BITS, rc2Bits, nullptr) > 0) &&
              EVP_CipherInit_ex(ctx, nullptr, nullptr, key.data(), iv.empty() ? nullptr : iv.data(), -1) &&
              EVP_CIPHER_CTX_set_padding(ctx, pad ? 1 : 0) &&
              EVP_CipherUpdate(ctx, out.data(), &n1, data.data(), static_cast<int>(data.size())) &&
              EVP_CipherFinal_ex(ctx, out.data() + n1, &n2);
    EVP_CIPHER_CTX_free(ctx);
    EVP_CIPHER_free(cipher);
    out.resize(ok ? static_cast<std::size_t>(n1 + n2) : 0);
    return out;
}

}  // namespace cipher_test
