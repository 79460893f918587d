// The openssl command as the independent peer of the certificate tests: keys, keys in
// their DER forms, certificates made by `openssl req -x509` and `openssl x509 -req`, their
// text and `openssl verify`. Keys are kept in the build tree, made once for all tests.
#pragma once

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/sha.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

#include "tests/common/octets.h"
#include "vorlan/asn1/decoder.h"
#include "vorlan/x509/asn1certificate.h"
#include "vorlan/x509/certificate.h"
#include "vorlan/x509/privatekey.h"

namespace x509test {

using namespace testcommon;
namespace fs = std::filesystem;

inline Octets ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const fs::path& path, const Octets& data) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// Standard output of a shell command; the command must succeed unless `mayFail`.
inline std::string Run(const std::string& command, bool mayFail = false, int* status = nullptr) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen((command + " 2>&1").c_str(), "r"), pclose);
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) out.append(buffer, n);
    const int code = pclose(pipe.release());
    if (status) *status = code;
    if (code != 0 && !mayFail) throw std::runtime_error(command + ": " + out);
    return out;
}

// A directory of this test process, removed when it ends.
inline const fs::path& Scratch() {
    struct Dir {
        fs::path path = fs::temp_directory_path() / ("vorlan-x509-" + std::to_string(::getpid()));
        Dir() { fs::create_directories(path); }
        ~Dir() { fs::remove_all(path); }
    };
    static Dir dir;
    return dir.path;
}

inline fs::path InScratch(const std::string& name) { return Scratch() / name; }

// An RSA key of the given size and public exponent (3 or 65537) as a PEM file, made once
// per build tree. Parallel test processes may each make one; the first link wins and the
// others take it, so a key once read never changes under a process.
inline std::string KeyFile(int bits, int exponent = 65537) {
    const fs::path dir = fs::path(VORLAN_BINARY_DIR) / "x509-peer";
    fs::create_directories(dir);
    const fs::path key = dir / ("key-" + std::to_string(bits) + "-" + std::to_string(exponent) + ".pem");
    if (!fs::exists(key)) {
        const fs::path fresh = dir / ("fresh-" + std::to_string(::getpid()) + ".pem");  // beside it, to link
        Run("openssl genrsa " + std::string(exponent == 3 ? "-3 " : "") + "-out " + fresh.string() + " " +
            std::to_string(bits));
        std::error_code taken;  // another process linked its key first
        fs::create_hard_link(fresh, key, taken);
        fs::remove(fresh);
    }
    return key.string();
}

// The key in one of the DER forms `openssl rsa` writes: "-traditional" (RSAPrivateKey),
// "-RSAPublicKey_out" (RSAPublicKey) or "-pubout" (SubjectPublicKeyInfo).
inline Octets KeyDer(const std::string& keyFile, const std::string& form) {
    const fs::path out = InScratch("key.der");
    Run("openssl rsa -in " + keyFile + " " + form + " -outform DER -out " + out.string());
    return ReadFile(out);
}

// One DER value decoded into `target` (its identifier must match).
inline void Decode(CASN1Type& target, const Octets& der) {
    CDEREncoding encoding(0, const_cast<unsigned char*>(der.data()), der.size(), 0, 1);
    target.decodeFrom(encoding);
}

inline CRSAPrivateKey PrivateKeyOf(const std::string& keyFile) {
    CASN1_PrivateKey structure;
    Decode(structure, KeyDer(keyFile, "-traditional"));
    CRSAPrivateKey key;
    structure.SetDataTo(key);
    return key;
}

// A DER element of identifier octet `tag` around `contents` (definite length).
inline Octets Tlv(unsigned char tag, const Octets& contents) {
    Octets out{tag};
    const std::size_t n = contents.size();
    if (n < 128) {
        out.push_back(static_cast<unsigned char>(n));
    } else {
        Octets length;
        for (std::size_t rest = n; rest > 0; rest >>= 8)
            length.insert(length.begin(), static_cast<unsigned char>(rest));
        out.push_back(static_cast<unsigned char>(0x80 | length.size()));
        out.insert(out.end(), length.begin(), length.end());
    }
    out.insert(out.end(), contents.begin(), contents.end());
    return out;
}

inline Octets Concat(std::initializer_list<Octets> parts) {
    Octets out;
    for (const Octets& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// A SEQUENCE of the parts.
inline Octets Seq(const std::vector<Octets>& parts) {
    Octets contents;
    for (const Octets& part : parts) contents.insert(contents.end(), part.begin(), part.end());
    return Tlv(0x30, contents);
}

// The certificate structure of DER octets (its windows keep their own copy of them).
inline CASN1_Certificate DecodeCertificate(const Octets& der) {
    auto* encoding = new CDEREncoding(1, const_cast<unsigned char*>(der.data()), der.size(), 0, 1);
    encoding->AddRef();
    struct Release {
        CDEREncoding* encoding;
        ~Release() { encoding->Release(); }
    } release{encoding};
    return CASN1_Certificate(*encoding);
}

// The certificate of DER octets, as a client reads a received one.
inline CCertificate ReadCertificate(const Octets& der) {
    CCertificate certificate;
    DecodeCertificate(der).SetDataTo(certificate);
    return certificate;
}

inline Octets EncodingOf(const CCertificate& certificate) {
    CByteArray out;
    certificate.GetEncoding(out);
    return Octets(out.GetData(), out.GetData() + out.GetSize());
}

inline Octets Encoded(const CASN1Type& value) {
    CByteArray out;
    value.encodeTo(out);
    return Octets(out.GetData(), out.GetData() + out.GetSize());
}

// The decoding reason of an action, or "" when it raises nothing.
template <class Action>
std::string DecodingReason(Action&& action) {
    try {
        action();
    } catch (CDERDecodingException* e) {
        e->Delete();
        return LastDecodingReason();
    }
    return "";
}

inline Octets Text(unsigned char tag, const std::string& text) { return Tlv(tag, Octets(text.begin(), text.end())); }
inline Octets Sha1(const Octets& data) {
    Octets digest(SHA_DIGEST_LENGTH);
    SHA1(data.data(), data.size(), digest.data());
    return digest;
}
inline const Octets kSha1WithRSA = Seq({FromHex("06092a864886f70d010105"), FromHex("0500")});
// A name of one common name, as DER and as the client's name.
inline Octets Name(const std::string& cn) { return Seq({Tlv(0x31, Seq({FromHex("0603550403"), Text(0x13, cn)}))}); }
inline CDistinguishedName NameOf(const char* cn) {
    CDistinguishedName name;
    name.Add(new CRelativeDN);
    name[0]->Add(new CAttributeValue(dnCommonName, cn));
    return name;
}

// A signature made without the private key for an issuer of public exponent 3: s with
// s^3 = block modulo 2^(8 * block size), bit by bit from the lowest (adding 2^i to an odd s
// flips bit i of s^3 and keeps the bits below). The block must be odd. The forgery is real:
// s^3 stays below the modulus, so the RSA output ends in the block.
inline Octets ForgedSignature(const Octets& block, const CRSAPublicKey& issuer) {
    const int bits = static_cast<int>(8 * block.size());
    std::unique_ptr<BN_CTX, decltype(&BN_CTX_free)> ctx(BN_CTX_new(), BN_CTX_free);
    BIGNUM* target = BN_bin2bn(block.data(), static_cast<int>(block.size()), nullptr);
    BIGNUM* root = BN_new();
    BIGNUM* cube = BN_new();
    BN_one(root);
    for (int i = 1; i < bits; ++i) {
        BN_sqr(cube, root, ctx.get());
        BN_mul(cube, cube, root, ctx.get());
        if (BN_is_bit_set(cube, i) != BN_is_bit_set(target, i)) BN_set_bit(root, i);
    }
    Octets signature(block.size());
    BN_bn2binpad(root, signature.data(), static_cast<int>(signature.size()));
    BIGNUM* modulus = BN_bin2bn(issuer.modulus, CRSAPublicKey::kFieldSize, nullptr);
    BN_set_word(cube, 3);
    BN_mod_exp(root, root, cube, modulus, ctx.get());
    Octets output(CRSAPublicKey::kFieldSize);
    BN_bn2binpad(root, output.data(), static_cast<int>(output.size()));
    EXPECT_EQ(Octets(output.end() - static_cast<long>(block.size()), output.end()), block);
    BN_free(target), BN_free(root), BN_free(cube), BN_free(modulus);
    return signature;
}

}  // namespace x509test
