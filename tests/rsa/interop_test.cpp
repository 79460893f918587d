// Interoperability with OpenSSL as PKCS#1 v1.5 peer, keys made on either side, in both
// directions. Our keys are CRSAPrivateKey objects throughout, so the public-key
// operations are also shown to use the public exponent and block formats on a private key.
#include <gtest/gtest.h>

#include "peer.h"
#include "vorlan/cipher/key.h"

namespace rsatest {
namespace {

// Keys made by OpenSSL and by CRSAKeyPair, of several sizes and both public exponents;
// 1,025 bits gives primes of one bit beyond a limb. Signing is deterministic: our
// signatures equal OpenSSL's. SHA-384 and SHA-512 DigestInfos need keys of 624 and 752 bits.
TEST(Interop, SignaturesAndWrappedKeysGoBothWays) {
    for (auto [byOpenSSL, bits, useF4] : {std::tuple{true, 512, 0}, {true, 1024, 1}, {true, 2048, 1}, {true, 2048, 0},
                                          {true, 3072, 1}, {true, 4096, 1}, {true, 4096, 0}, {false, 513, 0},
                                          {false, 1025, 1}, {false, 3072, 1}, {false, 4096, 1}}) {
        SCOPED_TRACE(testing::Message() << (byOpenSSL ? "OpenSSL " : "CRSAKeyPair ") << bits << " bits, F4 " << useF4);
        const KeyPairs& keys = KeysFrom(byOpenSSL, bits, useF4);
        const CRSAPrivateKey& ours = keys.ours;
        // The DigestInfo headers of RFC 8017; OpenSSL signs the DigestInfo as given.
        const std::tuple<EDigestAlgorithm, const char*, std::size_t> digests[] = {
            {md2, "3020300c06082a864886f70d020205000410", 16},
            {md5, "3020300c06082a864886f70d020505000410", 16},
            {sha1, "3021300906052b0e03021a05000414", 20},
            {sha256, "3031300d060960864801650304020105000420", 32},
            {sha384, "3041300d060960864801650304020205000430", 48},
            {sha512, "3051300d060960864801650304020305000440", 64}};
        for (const auto& [alg, header, size] : digests) {
            if (19 + size + 11 > ours.RsaOutputSize()) continue;
            const Octets hash = Pattern(size, alg);
            Octets info = FromHex(header);
            info.insert(info.end(), hash.begin(), hash.end());
            CByteArray signature;
            ours.LockDigest(alg, hash.data(), signature);
            EXPECT_EQ(ByPeer(kRecover, keys.peer.get(), ToOctets(signature)), info) << header << " signed here";
            // Into a larger buffer the signature goes right-aligned behind zeros.
            Octets buffer(signature.GetSize() + 12, 0xAA), aligned(12, 0);
            ours.LockDigest(alg, hash.data(), buffer.data(), static_cast<unsigned long>(buffer.size()));
            aligned.insert(aligned.end(), signature.GetData(), signature.GetData() + signature.GetSize());
            EXPECT_EQ(buffer, aligned) << header;
            const Octets theirs = ByPeer(kSign, keys.peer.get(), info);
            EXPECT_EQ(ToOctets(signature), theirs) << header;
            Octets unlocked(size), viaPointer(size);
            ours.UnlockDigest(alg, ToByteArray(theirs), unlocked.data(), ours.bits);
            ours.UnlockDigest(alg, theirs.data(), theirs.size(), viaPointer.data(), ours.bits);
            EXPECT_TRUE(unlocked == hash && viaPointer == hash) << header << " signed there";
        }
        for (unsigned short size : {5, 16, 24}) {
            const CKey key(size);
            CByteArray wrapped;
            ours.LockKey(key, wrapped);
            EXPECT_EQ(wrapped.GetSize(), ours.RsaOutputSize());
            EXPECT_EQ(ByPeer(kDecrypt, keys.peer.get(), ToOctets(wrapped)), Octets(key.Data(), key.Data() + size))
                << size;
            const Octets secret = Pattern(size, size);
            CKey unwrapped(size);  // as long as the key it is to receive
            ours.UnlockKey(ToByteArray(ByPeer(kEncrypt, keys.peer.get(), secret)), unwrapped, ours.bits);
            EXPECT_EQ(Octets(unwrapped.Data(), unwrapped.Data() + unwrapped.Size()), secret)
                << size << " wrapped there";
        }
    }
}

}  // namespace
}  // namespace rsatest
