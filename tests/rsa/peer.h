// OpenSSL as the independent RSA peer: its keys built from our keys' numbers (and ours
// from its keys), and its PKCS#1 v1.5 operations through one EVP call each.
#pragma once

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <array>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <tuple>

#include "tests/common/octets.h"
#include "tests/common/openssl_handles.h"
#include "tests/common/shell.h"
#include "tests/common/unlock_reason.h"
#include "vorlan/rsa/rsakeypair.h"
#include "vorlan/support/progress.h"

namespace rsatest {

using namespace testcommon;

// The numbers of an RSA private key in OpenSSL's order, beside our key's fields.
enum { N, E, D, P, Q };
using Numbers = std::array<BN, 8>;
inline const char* const kParams[] = {OSSL_PKEY_PARAM_RSA_N,         OSSL_PKEY_PARAM_RSA_E,
                                      OSSL_PKEY_PARAM_RSA_D,         OSSL_PKEY_PARAM_RSA_FACTOR1,
                                      OSSL_PKEY_PARAM_RSA_FACTOR2,   OSSL_PKEY_PARAM_RSA_EXPONENT1,
                                      OSSL_PKEY_PARAM_RSA_EXPONENT2, OSSL_PKEY_PARAM_RSA_COEFFICIENT1};
inline std::array<std::span<BYTE>, 8> FieldsOf(const CRSAPrivateKey& key) {
    auto& k = const_cast<CRSAPrivateKey&>(key);
    return {k.modulus, k.publicExponent, k.privateExponent, k.prime1,
            k.prime2,  k.exponent1,      k.exponent2,       k.coefficient};
}

inline Numbers NumbersOf(const CRSAPrivateKey& key) {
    Numbers numbers;
    for (int i = 0; auto field : FieldsOf(key))
        numbers[i++].reset(BN_bin2bn(field.data(), static_cast<int>(field.size()), nullptr));
    return numbers;
}

inline Numbers NumbersOf(const EVP_PKEY* key) {
    Numbers numbers;
    for (int i = 0; i < 8; ++i) {
        BIGNUM* bn = nullptr;
        Check(EVP_PKEY_get_bn_param(key, kParams[i], &bn) == 1, kParams[i]);
        numbers[i].reset(bn);
    }
    return numbers;
}

// OpenSSL's key from the first `count` numbers: all eight, or n and e for a public key.
inline PKey PeerKey(const Numbers& numbers, int count = 8) {
    std::unique_ptr<OSSL_PARAM_BLD, Deleter<OSSL_PARAM_BLD_free>> build(OSSL_PARAM_BLD_new());
    for (int i = 0; i < count; ++i) OSSL_PARAM_BLD_push_BN(build.get(), kParams[i], numbers[i].get());
    std::unique_ptr<OSSL_PARAM, Deleter<OSSL_PARAM_free>> params(OSSL_PARAM_BLD_to_param(build.get()));
    PKeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    EVP_PKEY* key = nullptr;
    Check(EVP_PKEY_fromdata_init(ctx.get()) == 1 &&
              EVP_PKEY_fromdata(ctx.get(), &key, count > 2 ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY, params.get()) == 1,
          "fromdata");
    return PKey(key);
}

// An OpenSSL key of `bits` bits with the public exponent 65537 (useF4) or 3, made by the openssl
// command: in this process, under memcheck, the longer keys would take minutes.
inline PKey PeerKeyPair(int bits, int useF4) {
    const std::string command = "openssl genrsa " + std::string(useF4 ? "" : "-3 ") + std::to_string(bits) + " 2>/dev/null";
    const std::string pem = testcommon::ShellOutput(command);
    std::unique_ptr<BIO, Deleter<BIO_free>> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    EVP_PKEY* key = PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr);
    Check(key != nullptr, "openssl genrsa");
    return PKey(key);
}

// Our key and OpenSSL's with the same numbers, made by OpenSSL or by CRSAKeyPair; each
// source once, as generation dominates the run time.
struct KeyPairs {
    CRSAPrivateKey ours;
    PKey peer;
};
inline const KeyPairs& KeysFrom(bool byOpenSSL, int bits, int useF4 = 1) {
    static std::map<std::tuple<bool, int, int>, KeyPairs> cache;
    auto [found, fresh] = cache.try_emplace({byOpenSSL, bits, useF4});
    if (!fresh) return found->second;
    const Numbers numbers = byOpenSSL
                                ? NumbersOf(PeerKeyPair(bits, useF4).get())
                                : NumbersOf(CRSAKeyPair(static_cast<unsigned short>(bits), useF4, nullptr, 0, nullptr));
    CRSAPrivateKey& ours = found->second.ours;  // the numbers right-aligned in the fields
    ours.bits = static_cast<unsigned short>(bits);
    for (int i = 0; auto field : FieldsOf(ours))
        Check(BN_bn2binpad(numbers[i++].get(), field.data(), static_cast<int>(field.size())) >= 0, "field width");
    found->second.peer = PeerKey(numbers);
    return found->second;
}

// OpenSSL's one-shot PKCS#1 v1.5 operations; verify-recover returns what the signature
// holds (the digest alone when md is given). Empty on failure.
using PeerOp =
    std::pair<int (*)(EVP_PKEY_CTX*), int (*)(EVP_PKEY_CTX*, unsigned char*, size_t*, const unsigned char*, size_t)>;
inline const PeerOp kSign{EVP_PKEY_sign_init, EVP_PKEY_sign},
    kRecover{EVP_PKEY_verify_recover_init, EVP_PKEY_verify_recover}, kEncrypt{EVP_PKEY_encrypt_init, EVP_PKEY_encrypt},
    kDecrypt{EVP_PKEY_decrypt_init, EVP_PKEY_decrypt};

inline Octets ByPeer(const PeerOp& op, EVP_PKEY* key, const Octets& in, const EVP_MD* md = nullptr,
                     int padding = RSA_PKCS1_PADDING) {
    PKeyCtx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
    Octets out(static_cast<std::size_t>(EVP_PKEY_get_size(key)));
    std::size_t length = out.size();
    const bool ok = op.first(ctx.get()) == 1 && EVP_PKEY_CTX_set_rsa_padding(ctx.get(), padding) == 1 &&
                    (!md || EVP_PKEY_CTX_set_signature_md(ctx.get(), md) == 1) &&
                    op.second(ctx.get(), out.data(), &length, in.data(), in.size()) == 1;
    out.resize(ok ? length : 0);
    return out;
}

// The reason of the CUnlockException an action raises, or what else ended it.
inline std::string Outcome(const std::function<void()>& action) {
    try {
        return UnlockReason(action);
    } catch (CNotSupportedException* e) {
        e->Delete();
        return "not supported";
    } catch (CKillThreadException* e) {
        e->Delete();
        return "cancelled";
    }
}

inline Octets ToOctets(const CByteArray& array) { return Octets(array.GetData(), array.GetData() + array.GetSize()); }

inline CByteArray ToByteArray(const Octets& octets) {
    CByteArray array;
    array.SetSize(static_cast<int>(octets.size()));
    std::copy(octets.begin(), octets.end(), array.GetData());
    return array;
}

}  // namespace rsatest
