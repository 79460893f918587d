// OpenSSL's BIGNUM as the independent oracle of the big-number tests: owners of its numbers
// and contexts, and numbers from runs of limbs.
#pragma once

#include <openssl/bn.h>

#include <memory>

#include "vorlan/bignum/limbs.h"

namespace bignumtest {

using BN = std::unique_ptr<BIGNUM, decltype([](BIGNUM* bn) { BN_free(bn); })>;
using BNCtx = std::unique_ptr<BN_CTX, decltype([](BN_CTX* ctx) { BN_CTX_free(ctx); })>;

// The value of the n limbs of x, least significant first.
inline BN FromLimbs(const vorlan::detail::Limb* x, int n) {
    return BN(BN_lebin2bn(reinterpret_cast<const unsigned char*>(x), static_cast<int>(sizeof(vorlan::detail::Limb)) * n,
                          nullptr));
}

}  // namespace bignumtest
