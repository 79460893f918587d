#include "peer.h"

#include <openssl/core_names.h>
#include <openssl/param_build.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include <iterator>
#include <span>
#include <stdexcept>

namespace rsatest {

namespace {

struct CtxFree {
    void operator()(EVP_PKEY_CTX* ctx) const { EVP_PKEY_CTX_free(ctx); }
};
using Ctx = std::unique_ptr<EVP_PKEY_CTX, CtxFree>;

void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(what);
}

// OpenSSL's parameter names beside the fields of our key, in one table.
struct Field {
    const char* name;
    BN Numbers::*number;
    std::span<BYTE> (*field)(CRSAPrivateKey&);
};
const Field kFields[] = {
    {OSSL_PKEY_PARAM_RSA_N, &Numbers::n, [](CRSAPrivateKey& k) { return std::span<BYTE>(k.modulus); }},
    {OSSL_PKEY_PARAM_RSA_E, &Numbers::e, [](CRSAPrivateKey& k) { return std::span<BYTE>(k.publicExponent); }},
    {OSSL_PKEY_PARAM_RSA_D, &Numbers::d, [](CRSAPrivateKey& k) { return std::span<BYTE>(k.privateExponent); }},
    {OSSL_PKEY_PARAM_RSA_FACTOR1, &Numbers::p, [](CRSAPrivateKey& k) { return std::span<BYTE>(k.prime1); }},
    {OSSL_PKEY_PARAM_RSA_FACTOR2, &Numbers::q, [](CRSAPrivateKey& k) { return std::span<BYTE>(k.prime2); }},
    {OSSL_PKEY_PARAM_RSA_EXPONENT1, &Numbers::dP, [](CRSAPrivateKey& k) { return std::span<BYTE>(k.exponent1); }},
    {OSSL_PKEY_PARAM_RSA_EXPONENT2, &Numbers::dQ, [](CRSAPrivateKey& k) { return std::span<BYTE>(k.exponent2); }},
    {OSSL_PKEY_PARAM_RSA_COEFFICIENT1, &Numbers::qInv,
     [](CRSAPrivateKey& k) { return std::span<BYTE>(k.coefficient); }},
};
constexpr int kPublicFields = 2;

Ctx ContextFor(EVP_PKEY* key) { return Ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr)); }

// Runs one of OpenSSL's one-shot operations that write at most the modulus length.
template <class Init, class Op>
Octets Run(EVP_PKEY* key, int padding, const EVP_MD* md, Init init, Op op, const Octets& in) {
    Ctx ctx = ContextFor(key);
    Check(init(ctx.get()) == 1, "init");
    Check(EVP_PKEY_CTX_set_rsa_padding(ctx.get(), padding) == 1, "padding");
    if (md) Check(EVP_PKEY_CTX_set_signature_md(ctx.get(), md) == 1, "md");
    Octets out(static_cast<std::size_t>(EVP_PKEY_get_size(key)));
    std::size_t outLen = out.size();
    if (op(ctx.get(), out.data(), &outLen, in.data(), in.size()) != 1) return {};
    out.resize(outLen);
    return out;
}

}  // namespace

Numbers NumbersOf(const CRSAPrivateKey& key) {
    Numbers numbers;
    for (const Field& f : kFields) {
        const std::span<BYTE> field = f.field(const_cast<CRSAPrivateKey&>(key));
        numbers.*f.number = BN(BN_bin2bn(field.data(), static_cast<int>(field.size()), nullptr));
    }
    return numbers;
}

Numbers NumbersOf(const EVP_PKEY* key) {
    Numbers numbers;
    for (const Field& f : kFields) {
        BIGNUM* bn = nullptr;
        Check(EVP_PKEY_get_bn_param(key, f.name, &bn) == 1, f.name);
        (numbers.*f.number).reset(bn);
    }
    return numbers;
}

CRSAPrivateKey KeyFrom(const Numbers& numbers) {
    CRSAPrivateKey key;
    key.bits = static_cast<unsigned short>(BN_num_bits(numbers.n.get()));
    for (const Field& f : kFields) {
        const std::span<BYTE> field = f.field(key);
        Check(BN_bn2binpad((numbers.*f.number).get(), field.data(), static_cast<int>(field.size())) >= 0, "width");
    }
    return key;
}

PKey PeerKey(const Numbers& numbers, bool withPrivate) {
    std::unique_ptr<OSSL_PARAM_BLD, decltype(&OSSL_PARAM_BLD_free)> build(OSSL_PARAM_BLD_new(), OSSL_PARAM_BLD_free);
    const int count = withPrivate ? static_cast<int>(std::size(kFields)) : kPublicFields;
    for (int i = 0; i < count; ++i)
        OSSL_PARAM_BLD_push_BN(build.get(), kFields[i].name, (numbers.*kFields[i].number).get());
    std::unique_ptr<OSSL_PARAM, decltype(&OSSL_PARAM_free)> params(OSSL_PARAM_BLD_to_param(build.get()),
                                                                   OSSL_PARAM_free);
    Ctx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    EVP_PKEY* key = nullptr;
    Check(EVP_PKEY_fromdata_init(ctx.get()) == 1, "fromdata init");
    Check(EVP_PKEY_fromdata(ctx.get(), &key, withPrivate ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY, params.get()) == 1,
          "fromdata");
    return PKey(key);
}

PKey GeneratePeerKey(int bits) { return PKey(EVP_RSA_gen(static_cast<unsigned>(bits))); }

Octets Sign(EVP_PKEY* key, const EVP_MD* md, const Octets& digest) {
    return Run(key, RSA_PKCS1_PADDING, md, EVP_PKEY_sign_init, EVP_PKEY_sign, digest);
}

bool Verify(EVP_PKEY* key, const EVP_MD* md, const Octets& digest, const Octets& signature) {
    Ctx ctx = ContextFor(key);
    Check(EVP_PKEY_verify_init(ctx.get()) == 1, "verify init");
    Check(EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) == 1, "padding");
    Check(EVP_PKEY_CTX_set_signature_md(ctx.get(), md) == 1, "md");
    return EVP_PKEY_verify(ctx.get(), signature.data(), signature.size(), digest.data(), digest.size()) == 1;
}

Octets RecoverDigestInfo(EVP_PKEY* key, const Octets& signature) {
    return Run(key, RSA_PKCS1_PADDING, nullptr, EVP_PKEY_verify_recover_init, EVP_PKEY_verify_recover, signature);
}

Octets Encrypt(EVP_PKEY* key, const Octets& data) {
    return Run(key, RSA_PKCS1_PADDING, nullptr, EVP_PKEY_encrypt_init, EVP_PKEY_encrypt, data);
}

Octets Decrypt(EVP_PKEY* key, const Octets& data) {
    return Run(key, RSA_PKCS1_PADDING, nullptr, EVP_PKEY_decrypt_init, EVP_PKEY_decrypt, data);
}

Octets RawPrivate(EVP_PKEY* key, const Octets& block) {
    return Run(key, RSA_NO_PADDING, nullptr, EVP_PKEY_decrypt_init, EVP_PKEY_decrypt, block);
}

Octets ToOctets(const CByteArray& array) { return Octets(array.GetData(), array.GetData() + array.GetSize()); }

CByteArray ToByteArray(const Octets& octets) {
    CByteArray array;
    array.SetSize(static_cast<int>(octets.size()));
    std::copy(octets.begin(), octets.end(), array.GetData());
    return array;
}

Octets RandomOctets(std::size_t n) {
    Octets out(n);
    Check(RAND_bytes(out.data(), static_cast<int>(n)) == 1, "random");
    return out;
}

}  // namespace rsatest
