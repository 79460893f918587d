// OpenSSL as the independent ECDSA peer: its keys, signatures, verdicts, digests and point
// arithmetic (for decompressed points and for keys made to fit a chosen signature).
#pragma once

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <openssl/param_build.h>

#include <memory>
#include <span>
#include <stdexcept>
#include <string>

#include "tests/common/octets.h"
#include "tests/common/openssl_handles.h"
#include "vorlan/ec/ecpublickey.h"

namespace ectest {

using namespace testcommon;

using Group = std::unique_ptr<EC_GROUP, Deleter<EC_GROUP_free>>;
using Point = std::unique_ptr<EC_POINT, Deleter<EC_POINT_free>>;

struct Curve {
    const char* name;  // OpenSSL's group name
    EEllipticCurve ours;
    int nid;
    std::size_t octets;
};
inline constexpr Curve kP256{"P-256", EEllipticCurve::p256, NID_X9_62_prime256v1, 32};
inline constexpr Curve kP384{"P-384", EEllipticCurve::p384, NID_secp384r1, 48};
inline constexpr Curve kCurves[] = {kP256, kP384};

inline PKey NewKey(const Curve& curve) {
    PKey key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", curve.name));
    Check(key != nullptr, "EC key generation");
    return key;
}

// The key's point as OpenSSL encodes it (uncompressed).
inline Octets PointOf(const EVP_PKEY* key) {
    Octets point(1 + 2 * 66);
    std::size_t length = 0;
    Check(EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size(), &length) == 1,
          "public point");
    point.resize(length);
    return point;
}

// OpenSSL's public key of the curve at an encoded point.
inline PKey PeerKey(const Curve& curve, const Octets& point) {
    std::unique_ptr<OSSL_PARAM_BLD, Deleter<OSSL_PARAM_BLD_free>> build(OSSL_PARAM_BLD_new());
    OSSL_PARAM_BLD_push_utf8_string(build.get(), OSSL_PKEY_PARAM_GROUP_NAME, curve.name, 0);
    OSSL_PARAM_BLD_push_octet_string(build.get(), OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size());
    std::unique_ptr<OSSL_PARAM, Deleter<OSSL_PARAM_free>> params(OSSL_PARAM_BLD_to_param(build.get()));
    PKeyCtx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    EVP_PKEY* key = nullptr;
    Check(EVP_PKEY_fromdata_init(ctx.get()) == 1 &&
              EVP_PKEY_fromdata(ctx.get(), &key, EVP_PKEY_PUBLIC_KEY, params.get()) == 1,
          "public key from point");
    return PKey(key);
}

// OpenSSL's DER signature of a digest (of any length).
inline Octets PeerSign(EVP_PKEY* key, const Octets& digest) {
    PKeyCtx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
    std::size_t length = 0;
    Check(EVP_PKEY_sign_init(ctx.get()) == 1 &&
              EVP_PKEY_sign(ctx.get(), nullptr, &length, digest.data(), digest.size()) == 1,
          "sign init");
    Octets signature(length);
    Check(EVP_PKEY_sign(ctx.get(), signature.data(), &length, digest.data(), digest.size()) == 1, "sign");
    signature.resize(length);
    return signature;
}

// OpenSSL's verdict on a DER signature of a digest.
inline bool PeerVerify(EVP_PKEY* key, const Octets& digest, const Octets& signature) {
    PKeyCtx ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
    Check(EVP_PKEY_verify_init(ctx.get()) == 1, "verify init");
    return EVP_PKEY_verify(ctx.get(), signature.data(), signature.size(), digest.data(), digest.size()) == 1;
}

inline Octets PeerDigest(const char* name, const Octets& message) {
    Octets digest(EVP_MAX_MD_SIZE);
    unsigned int length = 0;
    Check(EVP_Digest(message.data(), message.size(), digest.data(), &length, EVP_get_digestbyname(name), nullptr) == 1,
          name);
    digest.resize(length);
    return digest;
}

inline Group GroupOf(const Curve& curve) { return Group(EC_GROUP_new_by_curve_name(curve.nid)); }

inline Octets Encode(const EC_GROUP* group, const EC_POINT* point, point_conversion_form_t form) {
    Octets out(1 + 2 * 66);
    out.resize(EC_POINT_point2oct(group, point, form, out.data(), out.size(), nullptr));
    Check(!out.empty(), "point encoding");
    return out;
}

inline Point Decode(const EC_GROUP* group, const Octets& encoded) {
    Point point(EC_POINT_new(group));
    Check(EC_POINT_oct2point(group, point.get(), encoded.data(), encoded.size(), nullptr) == 1, "point decoding");
    return point;
}

// The value as `size` big-endian octets.
inline Octets OctetsOf(const BIGNUM* value, std::size_t size) {
    Octets out(size);
    Check(BN_bn2binpad(value, out.data(), static_cast<int>(size)) == static_cast<int>(size), "number to octets");
    return out;
}

inline BN NumberOf(const Octets& octets) {
    return BN(BN_bin2bn(octets.data(), static_cast<int>(octets.size()), nullptr));
}

inline std::span<const unsigned char> View(const Octets& octets) { return octets; }

}  // namespace ectest
