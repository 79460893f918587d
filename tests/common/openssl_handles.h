// Owners of OpenSSL objects for the tests that use OpenSSL as their peer, and the check that
// turns a failed OpenSSL call into an exception naming it.
#pragma once

#include <openssl/bn.h>
#include <openssl/evp.h>

#include <memory>
#include <stdexcept>

namespace testcommon {

template <auto Free>
struct Deleter {
    void operator()(auto* p) const { Free(p); }
};
using PKey = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using PKeyCtx = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX_free>>;
using BN = std::unique_ptr<BIGNUM, Deleter<BN_free>>;

inline void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(what);
}

}  // namespace testcommon
