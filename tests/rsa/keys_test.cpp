// Edge cases of the RSA keys' operations and block formats.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "peer.h"
#include "tests/common/rows.h"
#include "vorlan/cipher/key.h"

namespace rsatest {
namespace {

// Opens the protected block operations to the tests.
template <class Key>
struct Open : Key {
    using Key::DecodeData;
    using Key::ProcessData;
};

const KeyPairs& Key1024() { return KeysFrom(true, 1024); }

CByteArray ModulusPlus(int add) {
    const BN n(BN_dup(NumbersOf(Key1024().ours)[N].get()));
    BN_add_word(n.get(), static_cast<BN_ULONG>(add));
    Octets octets(128);
    BN_bn2binpad(n.get(), octets.data(), 128);
    return ToByteArray(octets);
}

// Each operation's refusal with its reason: data not below the modulus, digests of the
// other algorithm or of no algorithm, a signature checked at a longer key length, keys
// too short for their block, wrapped data that are not a key, and keys whose modulus is
// zero (default-constructed or zeroed), which must fail instead of dividing by zero.
TEST(RsaKeys, OperationsFailWithTheirReasons) {
    const CRSAPrivateKey& key = Key1024().ours;
    Open<CRSAPrivateKey> priv;
    Open<CRSAPublicKey> pub;
    static_cast<CRSAPrivateKey&>(priv) = key;
    static_cast<CRSAPublicKey&>(pub) = key;
    const Octets hash = Pattern(20);
    const CByteArray shaSignature = ToByteArray(ByPeer(kSign, Key1024().peer.get(), hash, EVP_sha1()));
    const CByteArray md5Signature =
        ToByteArray(ByPeer(kSign, Key1024().peer.get(), Octets(hash.begin(), hash.begin() + 16), EVP_md5()));
    const CRSAKeyPair fits(368, 1, nullptr, 0, nullptr), tooShort(360, 1, nullptr, 0, nullptr);
    CRSAKeyPair zeroed(512, 1, nullptr, 0, nullptr);
    std::memset(zeroed.modulus, 0, sizeof zeroed.modulus);
    const CRSAPrivateKey defaultKey;
    CByteArray zero, fitting, out;
    unsigned char digest[20] = {9}, buffer[127];
    CDESkey des;
    const char* const kAnyReason = "";                      // any failure but a division by zero
    const auto unknown = static_cast<EDigestAlgorithm>(0);  // inside the enumeration's range
    const std::pair<std::function<void()>, const char*> rows[] = {
        {[&] { priv.ProcessData(ModulusPlus(0), zero); }, kNoException},
        {[&] { pub.ProcessData(ModulusPlus(1), out); }, "CRSAPublicKey::ProcessData - modulus is less than data"},
        {[&] { priv.ProcessData(ModulusPlus(1), out); },
         "CRSAPrivateKey::ProcessData - data corrupted or key is not valid"},
        {[&] { key.UnlockDigest(md5, shaSignature, digest, 1024); },
         "CRSAPublicKey::UnlockDigest - invalid size of unlocked data.\nsize = 35, expected = 18 (md5) + 16\n"},
        {[&] { key.UnlockDigest(md2, md5Signature, digest, 1024); },
         "CRSAPublicKey::UnlockDigest - invalid md2 padding.\n"},
        {[&] { key.UnlockDigest(sha1, shaSignature, digest, 1032); },
         "CRSAPublicKey::UnlockDigest - locked digest is corrupted (cannot decode RSA envelope)"},
        {[&] { key.UnlockDigest(unknown, shaSignature, digest, 1024); }, "not supported"},
        {[&] { key.LockDigest(unknown, digest, out); }, "not supported"},
        // sha-1 DigestInfo: 35 octets and eleven beside them, so the modulus needs 46.
        {[&] { fits.LockDigest(sha1, digest, fitting); }, kNoException},
        {[&] { tooShort.LockDigest(sha1, digest, out); },
         "CRSAPrivateKey::EncodeData - modulus is too short to encode"},
        {[&] { tooShort.LockKey(CKey(35), out); }, "CRSAPublicKey::EncodeData - modulus is too short to encode"},
        {[&] { key.LockDigest(md5, digest, buffer, 127); }, "CRSAPrivateKey::LockDigest - output buffer is too short"},
        {[&] { zeroed.LockDigest(sha1, digest, out); }, kAnyReason},
        {[&] { zeroed.UnlockKey(md5Signature, des, 512); }, kAnyReason},
        {[&] { defaultKey.LockKey(CKey(16), out); }, kAnyReason},
        {[&] { defaultKey.UnlockDigest(sha1, md5Signature, digest, 512); }, kAnyReason}};
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const std::string outcome = Outcome(rows[i].first), reason = rows[i].second;
        EXPECT_TRUE(reason.empty() ? outcome != kNoException && outcome != "not supported" : outcome == reason)
            << "row " << i << ": " << outcome;
    }
    EXPECT_EQ(ToOctets(zero), Octets(128, 0)) << "the modulus itself gives zero";
    EXPECT_EQ(ByPeer(kRecover, PeerKey(NumbersOf(fits), 2).get(), ToOctets(fitting), EVP_sha1()),
              Octets(digest, digest + 20));
}

// Bleichenbacher's probes get no answer: every malformed type-2 block (raw blocks wrapped by
// the peer) unwraps without a word to a random key of the expected length, a fresh one each
// time, as a content key the content will not decrypt with. Only lengths, which are public,
// are refused: a wrapped key is exactly as long as the modulus.
TEST(RsaKeys, UnlockKeyAnswersEveryMalformedBlockWithARandomKey) {
    const KeyPairs& keys = Key1024();
    const Octets secret = Pattern(24, 3);
    // 00 02, `padding` non-zero octets, 00 and `data`, cut or filled up to 128 octets with 5A.
    const auto block = [](BYTE first, BYTE type, std::size_t padding, const Octets& data) {
        Octets b(2 + padding + 1 + data.size(), BYTE{0x5A});
        b[0] = first;
        b[1] = type;
        b[2 + padding] = 0x00;
        std::copy(data.begin(), data.end(), b.begin() + static_cast<std::ptrdiff_t>(3 + padding));
        b.resize(128, BYTE{0x5A});
        return b;
    };
    const auto wrapped = [&](const Octets& raw) {
        return ToByteArray(ByPeer(kEncrypt, keys.peer.get(), raw, nullptr, RSA_NO_PADDING));
    };
    Octets zeroInPadding = block(0x00, 0x02, 101, secret);
    zeroInPadding[50] = 0x00;  // the 00 after it is where a key of 24 octets needs it
    const std::pair<const char*, Octets> malformed[] = {
        {"first octet 01", block(0x01, 0x02, 101, secret)},
        {"block type 1", block(0x00, 0x01, 101, secret)},
        {"seven padding octets", block(0x00, 0x02, 7, Pattern(118, 1))},
        {"a key of 23 octets", block(0x00, 0x02, 102, Pattern(23, 1))},
        {"a key of 25 octets", block(0x00, 0x02, 100, Pattern(25, 1))},
        {"no separator", block(0x00, 0x02, 126, {})},  // the 00 falls off the end
        {"a zero inside the padding", zeroInPadding},
    };
    CTripleDESkey key;
    keys.ours.UnlockKey(wrapped(block(0x00, 0x02, 101, secret)), key, keys.ours.bits);
    EXPECT_EQ(Octets(key.Data(), key.Data() + key.Size()), secret) << "the well-formed block";
    for (const auto& [name, raw] : malformed) {
        const CByteArray locked = wrapped(raw);  // a structured binding is no lambda capture for clang 14
        Octets got[2];
        for (Octets& one : got) {
            EXPECT_EQ(Outcome([&] { keys.ours.UnlockKey(locked, key, keys.ours.bits); }), kNoException) << name;
            one.assign(key.Data(), key.Data() + key.Size());
        }
        EXPECT_TRUE(got[0].size() == 24 && got[0] != secret && got[0] != got[1]) << name;
    }

    const char* const kRefused = "CRSAPrivateKey::UnlockKey - locked key is corrupted (cannot decode RSA envelope)";
    CByteArray leadingZero = wrapped(block(0x00, 0x02, 101, secret));
    leadingZero.InsertAt(0, BYTE{0x00});
    EXPECT_EQ(Outcome([&] { keys.ours.UnlockKey(leadingZero, key, keys.ours.bits); }), kRefused);
    CKey tooLong(118);  // 118 + 11 octets do not fit 128
    EXPECT_EQ(Outcome([&] { keys.ours.UnlockKey(wrapped(block(0x00, 0x02, 8, Pattern(117, 1))), tooLong,
                                                keys.ours.bits); }),
              kRefused);
}

// Whatever the CRT fields hold, the private operation gives m^d mod n: the signature
// equals the one the peer makes with the intact key.
TEST(RsaKeys, PrivateOperationIsRightWhateverTheCrtFields) {
    const auto zero = [](std::initializer_list<std::span<BYTE>> fields) {
        for (std::span<BYTE> field : fields) std::fill(field.begin(), field.end(), BYTE{0});
    };
    const std::pair<const char*, std::function<void(CRSAPrivateKey&)>> rows[] = {
        {"no CRT values",
         [&](CRSAPrivateKey& k) {
             zero({k.prime1, k.prime2, k.exponent1, k.exponent2, k.coefficient});
         }},
        {"wrong coefficient", [](CRSAPrivateKey& k) { k.coefficient[127] ^= 0x01; }},
        {"primes swapped", [](CRSAPrivateKey& k) { std::swap(k.prime1, k.prime2); }},
        {"prime2 zero", [&](CRSAPrivateKey& k) { zero({k.prime2}); }},
        {"exponent1 wrong", [](CRSAPrivateKey& k) { k.exponent1[127] ^= 0x02; }},
        {"prime1 wider than half the modulus", [](CRSAPrivateKey& k) { k.prime1[0] = 0x01; }},
        {"public exponent zero", [&](CRSAPrivateKey& k) { zero({k.publicExponent}); }},
        {"public exponent wrong", [](CRSAPrivateKey& k) { k.publicExponent[255] = 3; }}};
    const Octets hash = Pattern(20);
    const Octets expected = ByPeer(kSign, Key1024().peer.get(), hash, EVP_sha1());
    for (const auto& [name, damage] : rows) {
        CRSAPrivateKey key = Key1024().ours;
        damage(key);
        CByteArray signature;
        key.LockDigest(sha1, hash.data(), signature);
        EXPECT_EQ(ToOctets(signature), expected) << name;
    }
    // The blinding pair is squared after each operation and drawn afresh every 32.
    for (int i = 0; i < 70; ++i) {
        CByteArray signature;
        Key1024().ours.LockDigest(sha1, hash.data(), signature);
        EXPECT_EQ(ToOctets(signature), expected) << "operation " << i;
    }
}

// Blocks as they come out of the raw operation, 16 octets here, parsed for a key of `bits`
// bits by the public key (type 1) or the private key (type 2). Nothing may be read outside
// the block, whatever `bits` says. Each row is named by its type first; the data in hex,
// nullptr: refused.
struct BlockRow {
    const char *name, *hex;
    unsigned short bits;
    const char* expected;
    friend void PrintTo(const BlockRow& row, std::ostream* out) { *out << row.name; }
};
const BlockRow kBlocks[] = {
    {"type 1 well formed", "0001ffffffffffffffff006162636465", 128, "6162636465"},
    {"type 1 empty data", "0001ffffffffffffffffffffffffff00", 128, ""},
    {"type 1 run broken", "0001fffffffffeffffff006162636465", 128, nullptr},
    {"type 1 padding of seven", "0001ffffffffffffff00616263646566", 128, nullptr},
    {"type 1 no separator", "0001ffffffffffffffffffffffffffff", 128, nullptr},
    {"type 1 leading octet", "0101ffffffffffffffff006162636465", 128, nullptr},
    {"type 1 block type 2", "0002ffffffffffffffff006162636465", 128, nullptr},
    {"type 1 bits beyond the block", "0001ffffffffffffffff006162636465", 129, nullptr},
    {"type 1 bits zero", "0001ffffffffffffffff006162636465", 0, nullptr},
    {"type 1 block later in the input", "eeee0001ffffffffffffffff0078797a", 112, "78797a"},
    {"type 1 block shorter than eleven", "eeeeeeeeeeee0001ffffffffffffff00", 80, nullptr},
    {"type 1 empty input", "", 128, nullptr},
    {"type 2 well formed", "00020908070605040302006162636465", 128, "6162636465"},
    {"type 2 separator last", "00020908070605040302010203040500", 128, nullptr},
    {"type 2 no separator", "00020908070605040302010203040506", 128, nullptr},
    {"type 2 block type 1", "0001ffffffffffffffff006162636465", 128, nullptr},
    {"type 2 bits far beyond the block", "00020908070605040302006162636465", 2048, nullptr},
    {"type 2 block later in the input", "ee000209080706050403020077787980", 120, "77787980"}};

using RsaBlocks = testing::TestWithParam<BlockRow>;
TEST_P(RsaBlocks, DecodeDataParsesOnlyWellFormedBlocks) {
    const BlockRow& row = GetParam();
    Open<CRSAPublicKey> publicKey;
    Open<CRSAPrivateKey> privateKey;
    CByteArray data;
    const CByteArray block = ToByteArray(FromHex(row.hex));
    const int ok = std::string(row.name).rfind("type 1", 0) == 0 ? publicKey.DecodeData(block, row.bits, data, 1)
                                                                   : privateKey.DecodeData(block, row.bits, data, 2);
    EXPECT_EQ(ok ? ToHex(ToOctets(data)) : "refused", row.expected ? row.expected : "refused");
}
INSTANTIATE_TEST_SUITE_P(Blocks, RsaBlocks, testing::ValuesIn(kBlocks), testcommon::RowName());

}  // namespace
}  // namespace rsatest
