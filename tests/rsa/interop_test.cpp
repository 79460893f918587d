// Interoperability with OpenSSL as PKCS#1 v1.5 peer, keys made on either side. Our
// keys are CRSAPrivateKey objects throughout, so the public-key operations are also
// shown to use the public exponent and block formats on a private key.
#include <gtest/gtest.h>
#include <openssl/obj_mac.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <map>
#include <string>

#include "peer.h"
#include "vorlan/cipher/key.h"
#include "vorlan/rsa/rsakeypair.h"

namespace rsatest {
namespace {

struct KeySource {
    const char* maker;  // "openssl" or "vorlan"
    int bits;
    int useF4;
};

struct KeyPairs {
    CRSAPrivateKey ours;
    PKey peer;
};

// Generating keys dominates the run time: each source is made once.
const KeyPairs& KeysFor(const KeySource& source) {
    static std::map<std::string, KeyPairs> cache;
    const std::string name =
        std::string(source.maker) + std::to_string(source.bits) + "e" + std::to_string(source.useF4);
    auto found = cache.find(name);
    if (found != cache.end()) return found->second;
    Numbers numbers =
        std::string(source.maker) == "openssl"
            ? NumbersOf(GeneratePeerKey(source.bits).get())
            : NumbersOf(CRSAKeyPair(static_cast<unsigned short>(source.bits), source.useF4, nullptr, 0, nullptr));
    KeyPairs pairs{KeyFrom(numbers), PeerKey(numbers, true)};
    return cache.emplace(name, std::move(pairs)).first->second;
}

class Interop : public ::testing::TestWithParam<KeySource> {
protected:
    const CRSAPrivateKey& Ours() const { return KeysFor(GetParam()).ours; }
    EVP_PKEY* Peer() const { return KeysFor(GetParam()).peer.get(); }
};

// Signatures made by LockDigest verify there as PKCS#1 v1.5 signatures and carry the
// DigestInfo of each algorithm (OpenSSL signs no MD2); signatures made there unlock with
// both forms of UnlockDigest.
TEST_P(Interop, SignaturesGoBothWays) {
    const std::tuple<EDigestAlgorithm, const EVP_MD* (*)(), int> digests[] = {
        {md2, nullptr, NID_md2}, {md5, EVP_md5, NID_md5}, {sha1, EVP_sha1, NID_sha1}};
    for (const auto& [alg, md, nid] : digests) {
        const Octets hash = RandomOctets(alg == sha1 ? 20 : 16);
        CByteArray signature;
        Ours().LockDigest(alg, hash.data(), signature);
        const Octets info = RecoverDigestInfo(Peer(), ToOctets(signature));
        const unsigned char* cursor = info.data();
        std::unique_ptr<X509_SIG, decltype(&X509_SIG_free)> sig(
            d2i_X509_SIG(nullptr, &cursor, static_cast<long>(info.size())), X509_SIG_free);
        ASSERT_TRUE(sig) << "not a DigestInfo";
        const X509_ALGOR* algorithm = nullptr;
        const ASN1_OCTET_STRING* digest = nullptr;
        X509_SIG_get0(sig.get(), &algorithm, &digest);
        EXPECT_EQ(OBJ_obj2nid(algorithm->algorithm), nid);
        EXPECT_EQ(Octets(digest->data, digest->data + digest->length), hash);
        if (alg == md2) continue;
        EXPECT_TRUE(Verify(Peer(), md(), hash, ToOctets(signature)));
        const Octets theirs = Sign(Peer(), md(), hash);
        Octets unlocked(hash.size()), viaPointer(hash.size());
        Ours().UnlockDigest(alg, ToByteArray(theirs), unlocked.data(), Ours().bits);
        Ours().UnlockDigest(alg, theirs.data(), theirs.size(), viaPointer.data(), Ours().bits);
        EXPECT_EQ(unlocked, hash);
        EXPECT_EQ(viaPointer, hash);
    }
}

// Keys wrapped with LockKey decrypt there; keys wrapped there unwrap with UnlockKey.
TEST_P(Interop, KeyWrappingGoesBothWays) {
    for (unsigned short size : {5, 16, 24}) {
        const CKey key(size);
        CByteArray wrapped;
        Ours().LockKey(key, wrapped);
        EXPECT_EQ(wrapped.GetSize(), Ours().RsaOutputSize());
        EXPECT_EQ(Decrypt(Peer(), ToOctets(wrapped)), Octets(key.Data(), key.Data() + key.Size()));
        const Octets secret = RandomOctets(size);
        CKey unwrapped;
        Ours().UnlockKey(ToByteArray(Encrypt(Peer(), secret)), unwrapped, Ours().bits);
        EXPECT_EQ(Octets(unwrapped.Data(), unwrapped.Data() + unwrapped.Size()), secret);
    }
}

std::string SourceName(const ::testing::TestParamInfo<KeySource>& info) {
    return std::string(info.param.maker) + std::to_string(info.param.bits) + (info.param.useF4 ? "F4" : "E3");
}

INSTANTIATE_TEST_SUITE_P(KeySizes, Interop,
                         ::testing::Values(KeySource{"openssl", 512, 1}, KeySource{"openssl", 2048, 1},
                                           KeySource{"vorlan", 513, 0}, KeySource{"vorlan", 1024, 1}),
                         SourceName);

}  // namespace
}  // namespace rsatest
