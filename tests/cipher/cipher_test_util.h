// Helpers shared by the cipher tests: hex octets, a progress-message recorder,
// expected-failure checks and the peers (openssl command, python3 with cryptography).
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <openssl/evp.h>
#include <openssl/provider.h>

#include "vorlan/cipher/key.h"
#include "vorlan/framework/thread.h"
#include "vorlan/rsa/unlockexception.h"

namespace cipher_test {

using Bytes = std::vector<unsigned char>;

inline Bytes Hex(const std::string& text) {
    Bytes out;
    std::string digits;
    for (char ch : text)
        if (std::isxdigit(static_cast<unsigned char>(ch))) digits += ch;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<unsigned char>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return out;
}

inline std::string ToHex(const Bytes& octets) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char b : octets) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

inline Bytes Pattern(std::size_t n, unsigned seed = 1) {
    Bytes out(n);
    unsigned x = seed * 2654435761u + 12345u;
    for (auto& b : out) {
        x = x * 1103515245u + 12345u;
        b = static_cast<unsigned char>(x >> 16);
    }
    return out;
}

// A key of class Key holding the given octets (valid or not).
template <class Key, class... Args>
Key MakeKey(const Bytes& octets, Args... constructorArgs) {
    Key key(constructorArgs...);
    key.Set(octets.data(), octets.size());
    return key;
}

// The key of the worked FIPS example (13 34 57 79 9B BC DF F1).
inline CDESkey ExampleDesKey() { return MakeKey<CDESkey>(Hex("133457799BBCDFF1")); }

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

// ECB (unchained) encryption or decryption of whole blocks; args are the cipher's
// arguments between the key and the mode flag (RC5's rounds and block size).
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

// Records progress-bar messages (sent or posted) in order.
class MessageRecorder : public CMessageReceiver {
public:
    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        messages.push_back({message, wParam, lParam});
        return 0;
    }
    BOOL PostMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        messages.push_back({message, wParam, lParam});
        return TRUE;
    }
    std::size_t Count(UINT message) const {
        std::size_t n = 0;
        for (const auto& m : messages) n += m.message == message;
        return n;
    }
    std::vector<Message> messages;
};

// Runs f, expects the shared CUnlockException, and returns the reason it was raised with.
template <class F>
std::string UnlockReason(F&& f) {
    try {
        f();
    } catch (CUnlockException*) {
        return detail::LastUnlockReason();
    } catch (...) {
        return "<other exception>";
    }
    return "<no exception>";
}

inline std::string TempPath(const std::string& name) {
    return std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/vorlan_cipher_" +
           std::to_string(::getpid()) + "_" + name;
}

inline void WriteFileBytes(const std::string& path, const Bytes& data) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                static_cast<std::streamsize>(data.size()));
}

inline Bytes ReadFileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Runs a shell command with `input` on its standard input; its standard output, or
// nothing when it fails.
inline bool RunFilter(const std::string& command, const Bytes& input, Bytes& output) {
    const std::string in = TempPath("in"), out = TempPath("out");
    WriteFileBytes(in, input);
    const int status = std::system((command + " < " + in + " > " + out + " 2>/dev/null").c_str());
    output = ReadFileBytes(out);
    std::remove(in.c_str());
    std::remove(out.c_str());
    return status == 0;
}

// The same operation through OpenSSL's EVP interface (legacy provider for DES, IDEA
// and RC2). rc2Bits sets RC2's effective key bits. Empty on failure.
inline Bytes OpenSSLCrypt(const char* cipherName, const Bytes& key, const Bytes& iv, const Bytes& data,
                          bool encrypt, bool pad, int rc2Bits = 0) {
    static OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
    static OSSL_PROVIDER* builtin = OSSL_PROVIDER_load(nullptr, "default");
    (void)legacy;
    (void)builtin;
    Bytes out(data.size() + 32);
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, cipherName, nullptr);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    int n1 = 0, n2 = 0;
    bool ok = cipher && ctx && EVP_CipherInit_ex(ctx, cipher, nullptr, nullptr, nullptr, encrypt ? 1 : 0) &&
              EVP_CIPHER_CTX_set_key_length(ctx, static_cast<int>(key.size())) &&
              (rc2Bits == 0 || EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_SET_RC2_KEY_BITS, rc2Bits, nullptr) > 0) &&
              EVP_CipherInit_ex(ctx, nullptr, nullptr, key.data(), iv.empty() ? nullptr : iv.data(), -1) &&
              EVP_CIPHER_CTX_set_padding(ctx, pad ? 1 : 0) &&
              EVP_CipherUpdate(ctx, out.data(), &n1, data.data(), static_cast<int>(data.size())) &&
              EVP_CipherFinal_ex(ctx, out.data() + n1, &n2);
    EVP_CIPHER_CTX_free(ctx);
    EVP_CIPHER_free(cipher);
    if (!ok) return {};
    out.resize(static_cast<std::size_t>(n1 + n2));
    return out;
}

}  // namespace cipher_test
