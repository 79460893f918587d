// Archive forms of the RSA keys: layout, round trips, range checks on loading.
#include <gtest/gtest.h>

#include "peer.h"
#include "tests/common/archive_io.h"

namespace rsatest {
namespace {

const CRSAPrivateKey& SampleKey() { return KeysFrom(true, 1024).ours; }

// Public part: version, length (2), bits (2), two fields; then the private part.
constexpr std::size_t kPublicSize = 1 + 2 + 2 + 256 + 256;
constexpr int kField = CRSAPublicKey::kFieldSize, kHalf = CRSAPrivateKey::kHalfFieldSize;

template <class Key>
Octets Serialized(const Key& key) {
    return Store([&](CArchive& ar) { const_cast<Key&>(key).Serialize(ar); });
}

// Keys of up to 2,048 bits store fields of 256 octets (halves of 128), as they always did; longer
// ones the whole fields, with that field length.
TEST(RsaArchive, KeysRoundTripInTheirLayoutAsObjectsOfTheirClass) {
    for (const auto& [bits, stored, head] : {std::tuple{1024, 256, "0000010004"}, {4096, 512, "0000020010"}}) {
    const CRSAPrivateKey& key = KeysFrom(true, bits).ours;
    CRSAPublicKey publicOnly = key;
    const Octets form = Serialized(key);
    const std::size_t half = static_cast<std::size_t>(stored) / 2;
    ASSERT_EQ(form.size(), 5 + 2 * stored + 1 + 2 + stored + 2 + 2 * stored + half);
    EXPECT_EQ(ToHex(Octets(form.begin(), form.begin() + 5)), head);
    EXPECT_EQ(Octets(form.end() - half, form.end()), Octets(key.coefficient + kHalf - half, key.coefficient + kHalf));
    Loader in(Store([&](CArchive& ar) { ar << &key << &publicOnly; }));
    CRSAPrivateKey* privateBack = nullptr;
    CRSAPublicKey* publicBack = nullptr;
    in.ar >> privateBack >> publicBack;
    std::unique_ptr<CRSAPrivateKey> ownPrivate(privateBack);
    std::unique_ptr<CRSAPublicKey> ownPublic(publicBack);
    ASSERT_TRUE(privateBack && publicBack);
    EXPECT_EQ(Serialized(*privateBack), form);
    EXPECT_TRUE(publicBack->GetRuntimeClass() == RUNTIME_CLASS(CRSAPublicKey) && *publicBack == key);
    EXPECT_TRUE(privateBack->GetRuntimeClass() == RUNTIME_CLASS(CRSAPrivateKey) &&
                RUNTIME_CLASS(CRSAPrivateKey)->m_wSchema == 1);
    }
}

// Shorter stored fields are right-aligned with zeros in front: public L = 2, bits 512,
// private exponent L1 = 1, primes L2 = 4 (the primes block is the end of prime2), and a
// coefficient of two octets.
TEST(RsaArchive, ShortFieldsLoadRightAligned) {
    Loader in(FromHex("00 0200 0002 abcd 0103 0001 0042 0400 01020304 05060708 090a"));
    CRSAPrivateKey key;
    key.Serialize(in.ar);
    EXPECT_EQ(key.bits, 512);
    EXPECT_EQ(ToHex(key.modulus, kField) + ToHex(key.prime1, kHalf),
              std::string(2 * kField - 4, '0') + "abcd" + std::string(2 * kHalf, '0'));
    EXPECT_EQ(ToHex(key.publicExponent + kField - 2, 2) + ToHex(key.privateExponent + kField - 2, 2), "01030042");
    EXPECT_EQ(ToHex(key.prime2 + kHalf - 4, 4) + ToHex(key.exponent2 + kHalf - 2, 2) + ToHex(key.coefficient + kHalf - 2, 2),
              "010203040708090a");
}

TEST(RsaArchive, LoadingRefusesOutOfRangeFieldsAndKeepsTheKey) {
    const auto patch = [](std::size_t at, std::initializer_list<int> values, bool truncate = false) {
        Octets octets = Serialized(SampleKey());
        for (int v : values) octets[at++] = static_cast<unsigned char>(v);
        if (truncate) octets.pop_back();
        return octets;
    };
    const std::tuple<const char*, Octets, int> rows[] = {
        {"public version 1", patch(0, {1}), CArchiveException::generic},
        {"field length 513", patch(1, {0x01, 0x02}), CArchiveException::badSchema},
        {"bits 507", patch(3, {0xFB, 0x01}), CArchiveException::generic},
        {"bits 4097", patch(3, {0x01, 0x10}), CArchiveException::generic},
        {"private version 1", patch(kPublicSize, {1}), CArchiveException::generic},
        {"private exponent length 513", patch(kPublicSize + 1, {0x01, 0x02}), CArchiveException::badSchema},
        {"primes length 513", patch(kPublicSize + 3 + 256, {0x01, 0x02}), CArchiveException::badSchema},
        {"truncated", patch(0, {}, true), CArchiveException::endOfFile},
        {"bits 508", patch(3, {0xFC, 0x01}), kNothingThrown},
        {"bits 4096", patch(3, {0x00, 0x10}), kNothingThrown}};
    for (const auto& [name, octets, cause] : rows) {
        Loader in(octets);
        CRSAPrivateKey key = SampleKey();
        EXPECT_EQ(CauseOf([&] { key.Serialize(in.ar); }), cause) << name;
        EXPECT_TRUE(cause == kNothingThrown || Serialized(key) == Serialized(SampleKey()))
            << name << " changed the key";
    }
}

}  // namespace
}  // namespace rsatest
