// Edge cases of the RSA keys' operations and block formats.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "peer.h"
#include "vorlan/cipher/key.h"
#include "vorlan/rsa/rsakeypair.h"
#include "vorlan/rsa/unlockexception.h"

namespace rsatest {
namespace {

// Opens the protected block operations to the tests.
class CPublicOps : public CRSAPublicKey {
public:
    using CRSAPublicKey::DecodeData;
    using CRSAPublicKey::ProcessData;
};
class CPrivateOps : public CRSAPrivateKey {
public:
    CPrivateOps() = default;
    explicit CPrivateOps(const CRSAPrivateKey& key) : CRSAPrivateKey(key) {}
    using CRSAPrivateKey::DecodeData;
    using CRSAPrivateKey::ProcessData;
};

// The reason of the CUnlockException that `action` throws; fails the test when none.
std::string UnlockReason(const std::function<void()>& action) {
    try {
        action();
    } catch (CUnlockException* e) {
        e->Delete();
        return detail::LastUnlockReason();
    }
    ADD_FAILURE() << "no CUnlockException";
    return {};
}

bool ThrowsNotSupported(const std::function<void()>& action) {
    try {
        action();
    } catch (CNotSupportedException* e) {
        e->Delete();
        return true;
    }
    return false;
}

struct PeerKeys {
    Numbers numbers;
    CRSAPrivateKey ours;
    PKey peer;
};
const PeerKeys& Key1024() {
    static const PeerKeys* keys = [] {
        Numbers numbers = NumbersOf(GeneratePeerKey(1024).get());
        CRSAPrivateKey ours = KeyFrom(numbers);
        PKey peer = PeerKey(numbers, true);
        return new PeerKeys{std::move(numbers), ours, std::move(peer)};
    }();
    return *keys;
}

CByteArray ModulusPlus(const CRSAPrivateKey& key, int add) {
    BN n = CopyOf(NumbersOf(key).n.get());
    BN_add_word(n.get(), static_cast<BN_ULONG>(add));
    Octets octets(static_cast<std::size_t>(key.RsaOutputSize()));
    BN_bn2binpad(n.get(), octets.data(), static_cast<int>(octets.size()));
    return ToByteArray(octets);
}

TEST(RsaKeys, RsaOutputSizeRoundsBitsUpToOctets) {
    const std::pair<unsigned short, unsigned short> rows[] = {{0, 0},      {1, 1},      {1023, 128},
                                                              {1024, 128}, {1025, 129}, {2048, 256}};
    for (auto [bits, octets] : rows) {
        CRSAPublicKey key;
        key.bits = bits;
        EXPECT_EQ(key.RsaOutputSize(), octets) << bits;
    }
}

TEST(RsaKeys, ProcessDataAcceptsTheModulusAndRefusesModulusPlusOne) {
    CPrivateOps priv(Key1024().ours);
    CPublicOps pub;
    static_cast<CRSAPublicKey&>(pub) = Key1024().ours;
    CByteArray out;
    pub.ProcessData(ModulusPlus(priv, 0), out);
    EXPECT_EQ(ToOctets(out), Octets(128, 0));
    priv.ProcessData(ModulusPlus(priv, 0), out);
    EXPECT_EQ(ToOctets(out), Octets(128, 0));
    EXPECT_EQ(UnlockReason([&] { pub.ProcessData(ModulusPlus(priv, 1), out); }),
              "CRSAPublicKey::ProcessData - modulus is less than data");
    EXPECT_EQ(UnlockReason([&] { priv.ProcessData(ModulusPlus(priv, 1), out); }),
              "CRSAPrivateKey::ProcessData - data corrupted or key is not valid");
}

TEST(RsaKeys, ZeroModulusFailsEveryOperationWithoutDividing) {
    CRSAKeyPair pair(512, 1, nullptr, 0, nullptr);
    CRSAPrivateKey key = pair;
    std::memset(key.modulus, 0, sizeof key.modulus);
    std::memset(pair.modulus, 0, sizeof pair.modulus);
    const CRSAPrivateKey defaultKey;
    const unsigned char digest[20] = {1, 2, 3};
    const CByteArray block = ToByteArray(Octets(64, 1));
    for (const CRSAPrivateKey* k : {static_cast<const CRSAPrivateKey*>(&key), &defaultKey}) {
        CByteArray out;
        CKey target;
        unsigned char unlocked[20];
        UnlockReason([&] { k->LockDigest(sha1, digest, out); });
        UnlockReason([&] { k->LockKey(CKey(16), out); });
        UnlockReason([&] { k->UnlockDigest(sha1, block, unlocked, 512); });
        UnlockReason([&] { k->UnlockKey(block, target, 512); });
    }
    UnlockReason([&] { pair.TestKeys(1, nullptr, 0); });
}

// Whatever the CRT fields hold, the private operation gives m^d mod n: the
// signature equals the one the peer makes with the intact key.
TEST(RsaKeys, PrivateOperationIsRightWhateverTheCrtFields) {
    const struct {
        const char* name;
        std::function<void(CRSAPrivateKey&)> damage;
    } rows[] = {
        {"intact", [](CRSAPrivateKey&) {}},
        {"no CRT values",
         [](CRSAPrivateKey& k) {
             for (BYTE* f : {k.prime1, k.prime2, k.exponent1, k.exponent2, k.coefficient}) std::memset(f, 0, 128);
         }},
        {"wrong coefficient", [](CRSAPrivateKey& k) { k.coefficient[127] ^= 0x01; }},
        {"wrong exponent1", [](CRSAPrivateKey& k) { k.exponent1[100] ^= 0x40; }},
        {"primes swapped",
         [](CRSAPrivateKey& k) {
             BYTE t[128];
             std::memcpy(t, k.prime1, 128);
             std::memcpy(k.prime1, k.prime2, 128);
             std::memcpy(k.prime2, t, 128);
         }},
        {"prime2 zero", [](CRSAPrivateKey& k) { std::memset(k.prime2, 0, 128); }},
        {"prime1 is one",
         [](CRSAPrivateKey& k) {
             std::memset(k.prime1, 0, 127);
             k.prime1[127] = 1;
         }},
        {"public exponent zero", [](CRSAPrivateKey& k) { std::memset(k.publicExponent, 0, 256); }},
        {"public exponent wrong", [](CRSAPrivateKey& k) { k.publicExponent[255] = 3; }},
    };
    const Octets hash = RandomOctets(20);
    const Octets expected = Sign(Key1024().peer.get(), EVP_sha1(), hash);
    for (const auto& row : rows) {
        CRSAPrivateKey key = Key1024().ours;
        row.damage(key);
        CByteArray signature;
        key.LockDigest(sha1, hash.data(), signature);
        EXPECT_EQ(ToOctets(signature), expected) << row.name;
    }
}

TEST(RsaKeys, LockKeyPadsWithNonZeroRandomOctets) {
    const Numbers numbers = NumbersOf(GeneratePeerKey(512).get());
    const PKey peer = PeerKey(numbers, true);
    const CKey key(24);
    CByteArray wrapped;
    KeyFrom(numbers).LockKey(key, wrapped);
    ASSERT_EQ(wrapped.GetSize(), 64);
    const Octets block = RawPrivate(peer.get(), ToOctets(wrapped));
    ASSERT_EQ(block.size(), 64u);
    EXPECT_EQ(block[0], 0x00);
    EXPECT_EQ(block[1], 0x02);
    for (int i = 2; i < 2 + 37; ++i) EXPECT_NE(block[static_cast<std::size_t>(i)], 0x00) << i;
    EXPECT_EQ(block[39], 0x00);
    EXPECT_EQ(Octets(block.begin() + 40, block.end()), Octets(key.Data(), key.Data() + 24));
}

TEST(RsaKeys, LockDigestNeedsElevenOctetsBesideTheDigestInfo) {
    const unsigned char digest[20] = {9};
    // sha-1 DigestInfo: 35 octets, so the modulus needs 46.
    const CRSAKeyPair fits(368, 1, nullptr, 0, nullptr);
    CByteArray signature;
    fits.LockDigest(sha1, digest, signature);
    const PKey peer = PeerKey(NumbersOf(fits), false);
    EXPECT_TRUE(Verify(peer.get(), EVP_sha1(), Octets(digest, digest + 20), ToOctets(signature)));

    const CRSAKeyPair tooShort(360, 1, nullptr, 0, nullptr);
    EXPECT_EQ(UnlockReason([&] { tooShort.LockDigest(sha1, digest, signature); }),
              "CRSAPrivateKey::EncodeData - modulus is too short to encode");
    const CKey key(35);
    EXPECT_EQ(UnlockReason([&] { tooShort.LockKey(key, signature); }),
              "CRSAPublicKey::EncodeData - modulus is too short to encode");
}

TEST(RsaKeys, LockDigestIntoBufferIsRightAlignedAndRefusesShortBuffers) {
    const unsigned char digest[16] = {7};
    CByteArray signature;
    Key1024().ours.LockDigest(md5, digest, signature);
    unsigned char out[140];
    std::memset(out, 0xAA, sizeof out);
    Key1024().ours.LockDigest(md5, digest, out, sizeof out);
    EXPECT_EQ(Octets(out, out + 12), Octets(12, 0));
    EXPECT_EQ(Octets(out + 12, out + 140), ToOctets(signature));
    UnlockReason([&] { Key1024().ours.LockDigest(md5, digest, out, 127); });
}

TEST(RsaKeys, UnlockDigestNamesTheMismatch) {
    const Octets hash = RandomOctets(20);
    const CByteArray shaSignature = ToByteArray(Sign(Key1024().peer.get(), EVP_sha1(), hash));
    const CByteArray md5Signature =
        ToByteArray(Sign(Key1024().peer.get(), EVP_md5(), Octets(hash.begin(), hash.begin() + 16)));
    const CRSAPublicKey& key = Key1024().ours;
    unsigned char digest[20];
    EXPECT_EQ(UnlockReason([&] { key.UnlockDigest(md5, shaSignature, digest, 1024); }),
              "CRSAPublicKey::UnlockDigest - invalid size of unlocked data.\nsize = 35, expected = 18 (md5) + 16\n");
    EXPECT_EQ(UnlockReason([&] { key.UnlockDigest(sha1, md5Signature, digest, 1024); }),
              "CRSAPublicKey::UnlockDigest - invalid size of unlocked data.\nsize = 34, expected = 15 (sha-1) + 20\n");
    EXPECT_EQ(UnlockReason([&] { key.UnlockDigest(md2, md5Signature, digest, 1024); }),
              "CRSAPublicKey::UnlockDigest - invalid md2 padding.\n");
    // A signature checked against a longer key length than the key's own.
    EXPECT_EQ(UnlockReason([&] { key.UnlockDigest(sha1, shaSignature, digest, 1032); }),
              "CRSAPublicKey::UnlockDigest - locked digest is corrupted (cannot decode RSA envelope)");
    CByteArray out;
    EXPECT_TRUE(
        ThrowsNotSupported([&] { key.UnlockDigest(static_cast<EDigestAlgorithm>(4), shaSignature, digest, 1024); }));
    EXPECT_TRUE(ThrowsNotSupported([&] { Key1024().ours.LockDigest(static_cast<EDigestAlgorithm>(0), digest, out); }));
}

TEST(RsaKeys, UnlockKeyRefusesDataTheKeyDoesNotAccept) {
    CByteArray wrapped;
    Key1024().ours.LockKey(CKey(7), wrapped);
    CDESkey des;
    EXPECT_EQ(UnlockReason([&] { Key1024().ours.UnlockKey(wrapped, des, 1024); }),
              "CRSAPrivateKey::UnlockKey - locked key is corrupted (data are not valid)");
    const CByteArray signature = ToByteArray(Sign(Key1024().peer.get(), EVP_sha1(), RandomOctets(20)));
    EXPECT_EQ(UnlockReason([&] { Key1024().ours.UnlockKey(signature, des, 1024); }),
              "CRSAPrivateKey::UnlockKey - locked key is corrupted (cannot decode RSA envelope)");
}

Octets Hex(const char* hex) {
    Octets out;
    for (; hex[0] && hex[1]; hex += 2)
        out.push_back(static_cast<unsigned char>(std::stoi(std::string(hex, 2), nullptr, 16)));
    return out;
}

// Blocks as they come out of the raw operation, 16 octets here, parsed for a key of
// `bits` bits by the public key (type 1) or the private key (type 2). Nothing may be
// read outside the block, whatever `bits` says.
TEST(RsaKeys, DecodeDataParsesOnlyWellFormedBlocks) {
    const struct {
        int type;
        const char* name;
        const char* block;
        unsigned short bits;
        int ok;
        const char* data;
    } rows[] = {
        {1, "well formed", "0001ffffffffffffffff006162636465", 128, 1, "6162636465"},
        {1, "empty data", "0001ffffffffffffffffffffffffff00", 128, 1, ""},
        {1, "run broken", "0001fffffffffeffffff006162636465", 128, 0, ""},
        {1, "padding of seven", "0001ffffffffffffff00616263646566", 128, 0, ""},
        {1, "no separator", "0001ffffffffffffffffffffffffffff", 128, 0, ""},
        {1, "leading octet", "0101ffffffffffffffff006162636465", 128, 0, ""},
        {1, "block type 2", "0002ffffffffffffffff006162636465", 128, 0, ""},
        {1, "bits beyond the block", "0001ffffffffffffffff006162636465", 129, 0, ""},
        {1, "bits far beyond", "0001ffffffffffffffff006162636465", 65535, 0, ""},
        {1, "bits zero", "0001ffffffffffffffff006162636465", 0, 0, ""},
        {1, "block later in the input", "eeee0001ffffffffffffffff0078797a", 112, 1, "78797a"},
        {1, "block shorter than eleven", "eeeeeeeeeeee0001ffffffffffffff00", 80, 0, ""},
        {2, "well formed", "00020908070605040302006162636465", 128, 1, "6162636465"},
        {2, "separator last", "00020908070605040302010203040500", 128, 0, ""},
        {2, "no separator", "00020908070605040302010203040506", 128, 0, ""},
        {2, "padding of seven", "00020908070605040300616263646566", 128, 0, ""},
        {2, "block type 1", "0001ffffffffffffffff006162636465", 128, 0, ""},
        {2, "bits beyond the block", "00020908070605040302006162636465", 2048, 0, ""},
        {2, "block later in the input", "ee000209080706050403020077787980", 120, 1, "77787980"},
    };
    CPublicOps publicKey;
    CPrivateOps privateKey;
    for (const auto& row : rows) {
        CByteArray data;
        const CByteArray block = ToByteArray(Hex(row.block));
        const int ok = row.type == 1 ? publicKey.DecodeData(block, row.bits, data, 1)
                                     : privateKey.DecodeData(block, row.bits, data, 2);
        EXPECT_EQ(ok, row.ok) << row.type << " " << row.name;
        if (ok) {
            EXPECT_EQ(ToOctets(data), Hex(row.data)) << row.type << " " << row.name;
        }
    }
    CByteArray data;
    EXPECT_EQ(publicKey.DecodeData(CByteArray(), 128, data, 1), 0);
    EXPECT_EQ(privateKey.DecodeData(CByteArray(), 128, data, 2), 0);
}

}  // namespace
}  // namespace rsatest
