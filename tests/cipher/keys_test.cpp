// Key classes: parity, sizes, validity rules, the RC2 version table and archive forms.
#include <memory>

#include "tests/cipher/cipher_test_util.h"
#include "tests/common/archive_io.h"

using namespace cipher_test;

namespace {

std::string Hex(const CKey& key) { return ToHex(key.Data(), key.Size()); }

// Parity lives in the most significant bit; a check accepts odd parity whatever the bit.
TEST(KeyTest, DesParityIsAdjustedInTheTopBitAndChecked) {
    const std::tuple<unsigned char, unsigned char, bool> rows[] = {
        {0x00, 0x80, false}, {0x03, 0x83, false}, {0xFF, 0x7F, false}, {0x81, 0x01, false},
        {0xFE, 0xFE, true},  {0x01, 0x01, true},  {0x80, 0x80, true},  {0x13, 0x13, true}};
    for (auto [octet, adjusted, ok] : rows) {
        EXPECT_EQ(IsDESKeyParityOK(&octet, 1), ok) << int{octet};
        AdjustDESKeyParity(&octet, 1);
        EXPECT_TRUE(octet == adjusted && IsDESKeyParityOK(&octet, 1)) << int{adjusted};
    }
    EXPECT_FALSE(IsDESKeyParityOK(FromHex("0180fe0101010100").data(), 8));
}

// New keys have their sizes and random non-zero octets and are valid; each class stored as
// an object reads back through the archive's object creation (an RC2 key created for 40
// bits takes the stored bits' length).
TEST(KeyTest, NewKeysOfEveryClassAreValidAndRoundTripAsObjects) {
    CDESkey des, other;
    CTripleDESkey des3;
    CIDEAkey idea;
    CRC2key rc2(128), rc2Long(255);
    CRC5key rc5;
    CAES128key aes128;
    CAES192key aes192;
    CAES256key aes256;
    CKey plain(300);
    const std::pair<CKey*, unsigned long> rows[] = {{&des, 8},      {&des3, 24},  {&idea, 16},   {&rc2, 16},
                                                    {&rc2Long, 32}, {&rc5, 5},    {&aes128, 16}, {&aes192, 24},
                                                    {&aes256, 32},  {&plain, 300}};
    for (auto [key, size] : rows) {
        EXPECT_EQ(key->Size(), size);
        EXPECT_TRUE(key->IsValid());
        EXPECT_EQ(std::count(key->Data(), key->Data() + size, 0), 0) << size;
        Loader in(Store([key = key](CArchive& ar) { ar << key; }));
        CKey* loaded = nullptr;
        in.ar >> loaded;
        std::unique_ptr<CKey> owner(loaded);
        ASSERT_NE(loaded, nullptr);
        EXPECT_STREQ(loaded->GetRuntimeClass()->m_lpszClassName, key->GetRuntimeClass()->m_lpszClassName);
        EXPECT_EQ(Hex(*loaded), key == &plain ? "" : Hex(*key));  // no length stored: a plain key loads empty
    }
    EXPECT_TRUE(IsDESKeyParityOK(des3.Data(), 24));
    EXPECT_NE(Hex(des), Hex(other));
}

// Set stores the octets even when they make an invalid key, and says whether it is valid.
TEST(KeyTest, SetReplacesOctetsAndReportsValidity) {
    auto set = [](CKey&& key, const Bytes& octets) { return key.Set(octets.data(), octets.size()) != 0; };
    // Triple DES keys are not checked for parity; RC2 keys may be longer than their bits need.
    const std::pair<bool, bool> rows[] = {
        {set(CTripleDESkey(), Bytes(24, 0)), true}, {set(CDESkey(), Bytes(8, 0)), false},
        {set(CIDEAkey(), Bytes(15, 1)), false},     {set(CRC5key(), Pattern(255)), true},
        {set(CRC5key(), Pattern(256)), false},      {set(CRC5key(), {}), true},
        {set(CRC2key(64), Pattern(7)), false},      {set(CRC2key(64), Pattern(16)), true},
        {set(CAES128key(), Pattern(16)), true},     {set(CAES128key(), Pattern(32)), false},
        {set(CAES256key(), Pattern(24)), false},    {set(CAES192key(), Pattern(24)), true}};
    for (std::size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(rows[i].first, rows[i].second) << "row " << i;
    CDESkey des;
    EXPECT_TRUE(!des.Set(FromHex("0101").data(), 2) && Hex(des) == "0101" && !CRC2key(100).IsValid());
}

TEST(KeyTest, Rc2VersionTable) {
    for (auto [bits, version] :
         {std::pair<unsigned short, unsigned short>{40, 160}, {64, 120}, {128, 58}, {255, 171}}) {
        EXPECT_TRUE(CRC2key::IsValidBits(bits) && CRC2key::IsValidVersion(version));
        EXPECT_FALSE(CRC2key::IsValidBits(version) || CRC2key::IsValidVersion(bits));
        EXPECT_EQ(CRC2key::BitsToVersion(bits), version);
        EXPECT_EQ(CRC2key::VersionToBits(version), bits);
    }
    EXPECT_TRUE(CRC2key::VersionToBits(100) == 100 && CRC2key::BitsToVersion(100) == 100);
}

// Serialized forms carry a version and no length: loading keeps the object's length and
// skips the trailer of version 0.
TEST(KeyArchiveTest, SerializedFormsHaveVersionAndNoLength) {
    CDESkey des = MakeKey<CDESkey>(FromHex("0123456789abcdef"));
    EXPECT_EQ(ToHex(Store([&](CArchive& ar) { des.Serialize(ar); })), "010123456789abcdef");
    CRC2key rc2 = MakeKey<CRC2key>(FromHex("1122334455"), 40);
    EXPECT_EQ(ToHex(Store([&](CArchive& ar) { rc2.Serialize(ar); })), "002800011122334455");  // format, bits, version

    CIDEAkey idea;
    Loader in(FromHex("00 000102030405060708090a0b0c0d0e0f 1111111111111111 ee"));
    idea.Serialize(in.ar);
    BYTE next = 0;
    in.ar >> next;
    EXPECT_TRUE(next == 0xee && Hex(idea) == "000102030405060708090a0b0c0d0e0f");

    CRC2key longKey = MakeKey<CRC2key>(Pattern(16), 40), reader = MakeKey<CRC2key>(Pattern(16, 2), 40);
    Loader stored(Store([&](CArchive& ar) { longKey.Serialize(ar); }));
    reader.Serialize(stored.ar);
    EXPECT_EQ(Hex(reader), ToHex(Pattern(16)));
}

TEST(KeyArchiveTest, MalformedOrInvalidKeysRaiseArchiveExceptions) {
    CDESkey broken = MakeKey<CDESkey>(Bytes(8, 0));
    EXPECT_EQ(CauseOf([&] { Store([&](CArchive& ar) { broken.Serialize(ar); }); }), CArchiveException::generic);
    const std::tuple<const char*, bool, int> rows[] = {
        {"02 0101010101010101", false, CArchiveException::generic},  // unknown version
        {"01 0000000000000000", false, CArchiveException::generic},  // loaded octets fail the parity check
        {"01 0101", false, CArchiveException::endOfFile},
        {"01 2800 01 1122334455", true, CArchiveException::generic},                   // format octet not 0
        {"00 6400 01 112233445566778899aabbccdd", true, CArchiveException::generic}};  // 100 bits are not in the table
    for (const auto& [octets, rc2, cause] : rows) {
        Loader in(FromHex(octets));
        CDESkey des;
        CRC2key rc2Key(40);
        EXPECT_EQ(CauseOf([&, rc2 = rc2] { rc2 ? rc2Key.Serialize(in.ar) : des.Serialize(in.ar); }), cause) << octets;
    }
}

}  // namespace
