#include "peer.h"

#include <openssl/core_names.h>
#include <openssl/param_build.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

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

BN FromField(const BYTE* field, int size) { return BN(BN_bin2bn(field, size, nullptr)); }

void ToField(const BIGNUM* bn, BYTE* field, int size) { Check(BN_bn2binpad(bn, field, size) == size, "field width"); }

BN Param(const EVP_PKEY* key, const char* name) {
    BIGNUM* bn = nullptr;
    Check(EVP_PKEY_get_bn_param(key, name, &bn) == 1, name);
    return BN(bn);
}

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

BN CopyOf(const BIGNUM* bn) { return BN(BN_dup(bn)); }

Numbers NumbersOf(const CRSAPrivateKey& key) {
    return {FromField(key.modulus, 256),    FromField(key.publicExponent, 256), FromField(key.privateExponent, 256),
            FromField(key.prime1, 128),     FromField(key.prime2, 128),         FromField(key.exponent1, 128),
            FromField(key.exponent2, 128), FromField(key.coefficient, 128)};
}

Numbers NumbersOf(const EVP_PKEY* key) {
    return {Param(key, OSSL_PKEY_PARAM_RSA_N),         Param(key, OSSL_PKEY_PARAM_RSA_E),
            Param(key, OSSL_PKEY_PARAM_RSA_D),         Param(key, OSSL_PKEY_PARAM_RSA_FACTOR1),
            Param(key, OSSL_PKEY_PARAM_RSA_FACTOR2),   Param(key, OSSL_PKEY_PARAM_RSA_EXPONENT1),
            Param(key, OSSL_PKEY_PARAM_RSA_EXPONENT2), Param(key, OSSL_PKEY_PARAM_RSA_COEFFICIENT1)};
}

CRSAPrivateKey KeyFrom(const Numbers& numbers) {
    CRSAPrivateKey key;
    key.bits = static_cast<unsigned short>(BN_num_bits(numbers.n.get()));
    ToField(numbers.n.get(), key.modulus, 256);
    ToField(numbers.e.get(), key.publicExponent, 256);
    ToField(numbers.d.get(), key.privateExponent, 256);
    ToField(numbers.p.get(), key.prime1, 128);
    ToField(numbers.q.get(), key.prime2, 128);
    ToField(numbers.dP.get(), key.exponent1, 128);
    ToField(numbers.dQ.get(), key.exponent2, 128);
    ToField(numbers.qInv.get(), key.coefficient, 128);
    return key;
}

PKey PeerKey(const Numbers& numbers, bool withPrivate) {
    std::unique_ptr<OSSL_PARAM_BLD, decltype(&OSSL_PARAM_BLD_free)> build(OSSL_PARAM_BLD_new(), OSSL_PARAM_BLD_free);
    OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_N, numbers.n.get());
    OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, numbers.e.get());
    if (withPrivate) {
        OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_D, numbers.d.get());
        OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_FACTOR1, numbers.p.get());
        OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_FACTOR2, numbers.q.get());
        OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_EXPONENT1, numbers.dP.get());
        OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_EXPONENT2, numbers.dQ.get());
        OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_COEFFICIENT1, numbers.qInv.get());
    }
    std::unique_ptr<OSSL_PARAM, decltype(&OSSL_PARAM_free)> params(OSSL_PARAM_BLD_to_param(build.get()),
                                                                   OSSL_PARAM_free);
    Ctx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    EVP_PKEY* key = nullptr;
    Check(EVP_PKEY_fromdata_init(ctx.get()) == 1, "fromdata init");
    Check(EVP_PKEY_fromdata(ctx.get(), &key, withPrivate ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY,
                            params.get()) == 1,
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
