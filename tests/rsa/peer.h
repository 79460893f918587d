// OpenSSL as the independent RSA peer: keys built from our keys' numbers (and ours
// from its keys), PKCS#1 v1.5 signing, verification, encryption and decryption, and
// the raw RSA operation for looking inside blocks.
#pragma once

#include <openssl/bn.h>
#include <openssl/evp.h>

#include <memory>

#include "tests/common/octets.h"
#include "vorlan/rsa/rsaprivatekey.h"

namespace rsatest {

using testcommon::FromHex;
using testcommon::Octets;
using testcommon::ToHex;

struct PKeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using PKey = std::unique_ptr<EVP_PKEY, PKeyFree>;

struct BNFree {
    void operator()(BIGNUM* bn) const { BN_free(bn); }
};
using BN = std::unique_ptr<BIGNUM, BNFree>;

// The numbers of an RSA private key, as OpenSSL holds them.
struct Numbers {
    BN n, e, d, p, q, dP, dQ, qInv;
};

Numbers NumbersOf(const CRSAPrivateKey& key);
Numbers NumbersOf(const EVP_PKEY* key);
// Our key with the numbers in its right-aligned fields (bits from n).
CRSAPrivateKey KeyFrom(const Numbers& numbers);
// OpenSSL's key; withPrivate false gives the public key only.
PKey PeerKey(const Numbers& numbers, bool withPrivate);
PKey GeneratePeerKey(int bits);

// PKCS#1 v1.5 signatures over a digest (md: EVP_md5() or EVP_sha1()).
Octets Sign(EVP_PKEY* key, const EVP_MD* md, const Octets& digest);
bool Verify(EVP_PKEY* key, const EVP_MD* md, const Octets& digest, const Octets& signature);
// The DigestInfo inside a type-1 block, recovered without naming the digest.
Octets RecoverDigestInfo(EVP_PKEY* key, const Octets& signature);
// PKCS#1 v1.5 encryption (block type 2); Decrypt returns empty on failure.
Octets Encrypt(EVP_PKEY* key, const Octets& data);
Octets Decrypt(EVP_PKEY* key, const Octets& data);
// block^d mod n, no padding; the block has the modulus length.
Octets RawPrivate(EVP_PKEY* key, const Octets& block);

Octets ToOctets(const CByteArray& array);
CByteArray ToByteArray(const Octets& octets);
Octets RandomOctets(std::size_t n);

}  // namespace rsatest
