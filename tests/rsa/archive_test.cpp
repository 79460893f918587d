// Archive forms of the RSA keys: layout, round trips, range checks on loading.
#include "vorlan/framework/archive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "peer.h"
#include "vorlan/framework/memfile.h"

namespace rsatest {
namespace {

template <class Fill>
Octets Store(Fill fill) {
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        fill(ar);
    }
    Octets out(file.GetLength());
    file.SeekToBegin();
    file.Read(out.data(), static_cast<UINT>(out.size()));
    return out;
}

struct Loader {
    explicit Loader(Octets octets) : data(std::move(octets)), file(data.data(), static_cast<UINT>(data.size())) {}
    Octets data;
    CMemFile file;
    CArchive ar{&file, CArchive::load};
};

// The archive exception's cause, -1 when nothing is thrown.
int CauseOf(const std::function<void()>& action) {
    try {
        action();
    } catch (CArchiveException* e) {
        const int cause = e->m_cause;
        e->Delete();
        return cause;
    }
    return -1;
}

const CRSAPrivateKey& SampleKey() {
    static const CRSAPrivateKey key = KeyFrom(NumbersOf(GeneratePeerKey(1024).get()));
    return key;
}

// Public part: version, length (2), bits (2), two fields; then the private part.
constexpr std::size_t kPublicSize = 1 + 2 + 2 + 256 + 256;
constexpr std::size_t kPrivateVersion = kPublicSize;
constexpr std::size_t kPrivateLength1 = kPublicSize + 1;
constexpr std::size_t kPrivateLength2 = kPublicSize + 1 + 2 + 256;

Octets Serialized(const CRSAPublicKey& key) {
    return Store([&](CArchive& ar) { const_cast<CRSAPublicKey&>(key).Serialize(ar); });
}

bool SameFields(const CRSAPrivateKey& a, const CRSAPrivateKey& b) {
    return a == b && std::memcmp(a.privateExponent, b.privateExponent, 256) == 0 &&
           std::memcmp(a.prime1, b.prime1, 128) == 0 && std::memcmp(a.prime2, b.prime2, 128) == 0 &&
           std::memcmp(a.exponent1, b.exponent1, 128) == 0 && std::memcmp(a.exponent2, b.exponent2, 128) == 0 &&
           std::memcmp(a.coefficient, b.coefficient, 128) == 0;
}

TEST(RsaArchive, KeysRoundTripInTheirLayoutAsObjectsOfTheirClass) {
    const CRSAPrivateKey& key = SampleKey();
    const CRSAPublicKey& pub = key;
    CRSAPublicKey publicOnly = pub;
    const Octets octets = Store([&](CArchive& ar) { ar << &key << &publicOnly; });
    const Octets form = Serialized(key);
    ASSERT_EQ(form.size(), kPublicSize + 1 + 2 + 256 + 2 + 256 + 256 + 128);
    EXPECT_EQ(Octets(form.begin(), form.begin() + 5), Block({0x00, 0x00, 0x01, 0x00, 0x04}));
    EXPECT_EQ(Octets(form.end() - 128, form.end()), Octets(key.coefficient, key.coefficient + 128));
    Loader in(octets);
    CRSAPrivateKey* privateBack = nullptr;
    CRSAPublicKey* publicBack = nullptr;
    in.ar >> privateBack >> publicBack;
    std::unique_ptr<CRSAPrivateKey> ownPrivate(privateBack);
    std::unique_ptr<CRSAPublicKey> ownPublic(publicBack);
    ASSERT_TRUE(privateBack && publicBack);
    EXPECT_TRUE(SameFields(*privateBack, key));
    EXPECT_EQ(publicBack->GetRuntimeClass(), RUNTIME_CLASS(CRSAPublicKey));
    EXPECT_TRUE(*publicBack == key);
    EXPECT_STREQ(privateBack->GetRuntimeClass()->m_lpszClassName, "CRSAPrivateKey");
    EXPECT_EQ(privateBack->GetRuntimeClass()->m_wSchema, 1u);
}

// Shorter stored fields are right-aligned with zeros in front.
TEST(RsaArchive, ShortFieldsLoadRightAligned) {
    Octets octets = {0x00, 0x02, 0x00, 0x00, 0x02, 0xAB, 0xCD, 0x01, 0x03,             // public: L = 2, bits 512
                     0x00, 0x01, 0x00, 0x42,                                           // private exponent, L1 = 1
                     0x04, 0x00, 1,    2,    3,    4,    5,    6,    7,    8, 9, 10};  // L2 = 4, coefficient 2 octets
    Loader in(octets);
    CRSAPrivateKey key;
    key.Serialize(in.ar);
    EXPECT_EQ(key.bits, 512);
    EXPECT_EQ(key.modulus[254], 0xAB);
    EXPECT_EQ(key.modulus[255], 0xCD);
    EXPECT_EQ(std::count(key.modulus, key.modulus + 254, 0), 254);
    EXPECT_EQ(key.publicExponent[255], 0x03);
    EXPECT_EQ(key.privateExponent[255], 0x42);
    EXPECT_EQ(key.prime2[124], 1);  // the 4-octet primes block is the end of prime2
    EXPECT_EQ(key.prime2[127], 4);
    EXPECT_EQ(std::count(key.prime1, key.prime1 + 128, 0), 128);
    EXPECT_EQ(key.exponent2[127], 8);
    EXPECT_EQ(key.coefficient[126], 9);
    EXPECT_EQ(key.coefficient[127], 10);
}

Octets Truncated(Octets octets) {
    octets.pop_back();
    return octets;
}

TEST(RsaArchive, LoadingRefusesOutOfRangeFieldsAndKeepsTheKey) {
    const auto patch = [](std::size_t at, std::initializer_list<int> values) {
        Octets octets = Serialized(SampleKey());
        std::size_t i = at;
        for (int v : values) octets[i++] = static_cast<unsigned char>(v);
        return octets;
    };
    const struct {
        const char* name;
        Octets octets;
        int cause;
    } rows[] = {
        {"public version 1", patch(0, {1}), CArchiveException::generic},
        {"field length 257", patch(1, {0x01, 0x01}), CArchiveException::badSchema},
        {"bits 507", patch(3, {0xFB, 0x01}), CArchiveException::generic},
        {"bits 2049", patch(3, {0x01, 0x08}), CArchiveException::generic},
        {"private version 1", patch(kPrivateVersion, {1}), CArchiveException::generic},
        {"private exponent length 257", patch(kPrivateLength1, {0x01, 0x01}), CArchiveException::badSchema},
        {"primes length 257", patch(kPrivateLength2, {0x01, 0x01}), CArchiveException::badSchema},
        {"truncated", Truncated(Serialized(SampleKey())), CArchiveException::endOfFile},
    };
    for (const auto& row : rows) {
        Loader in(row.octets);
        CRSAPrivateKey key = SampleKey();
        EXPECT_EQ(CauseOf([&] { key.Serialize(in.ar); }), row.cause) << row.name;
        EXPECT_TRUE(SameFields(key, SampleKey())) << row.name;
    }
    // The boundaries themselves load.
    for (auto [low, high] : {std::pair{0xFC, 0x01}, std::pair{0x00, 0x08}}) {
        Loader in(patch(3, {low, high}));
        CRSAPrivateKey key;
        EXPECT_EQ(CauseOf([&] { key.Serialize(in.ar); }), -1);
    }
}

}  // namespace
}  // namespace rsatest
