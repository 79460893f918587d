// Key classes: parity, validity rules, the RC2 version table and archive forms.
#include <gtest/gtest.h>

#include <memory>

#include "tests/cipher/cipher_test_util.h"
#include "vorlan/cipher/key.h"
#include "vorlan/framework/archive.h"
#include "vorlan/framework/memfile.h"

using namespace cipher_test;

namespace {

TEST(KeyParityTest, AdjustSetsMostSignificantBitForOddParity) {
    const std::pair<unsigned char, unsigned char> rows[] = {{0x00, 0x80}, {0x01, 0x01}, {0x03, 0x83}, {0xFF, 0x7F},
                                                            {0x80, 0x80}, {0xFE, 0xFE}, {0x7F, 0x7F}};
    for (auto [in, expected] : rows) {
        unsigned char octet = in;
        AdjustDESKeyParity(&octet, 1);
        EXPECT_EQ(octet, expected) << int{in};
    }
}

TEST(KeyParityTest, CheckAcceptsOddParityInEitherEndBit) {
    for (unsigned char ok : {0x01, 0x80, 0x7F, 0xFE, 0x13})
        EXPECT_TRUE(IsDESKeyParityOK(&ok, 1)) << int{ok};
    for (unsigned char bad : {0x00, 0x03, 0xFF, 0x81})
        EXPECT_FALSE(IsDESKeyParityOK(&bad, 1)) << int{bad};
    EXPECT_TRUE(IsDESKeyParityOK(nullptr, 0));
    const Bytes mixed = Hex("0180fe0101010100");
    EXPECT_FALSE(IsDESKeyParityOK(mixed.data(), mixed.size()));
}

TEST(KeyTest, NewKeysHaveTheirSizesRandomNonZeroOctetsAndAreValid) {
    const CDESkey des;
    const CTripleDESkey des3;
    const CIDEAkey idea;
    const CRC2key rc2(128);
    const CRC5key rc5;
    const CKey plain(300);
    const std::pair<const CKey*, unsigned long> rows[] = {{&des, 8}, {&des3, 24}, {&idea, 16},
                                                          {&rc2, 16}, {&rc5, 5},  {&plain, 300}};
    for (auto [key, size] : rows) {
        EXPECT_EQ(key->Size(), size);
        EXPECT_TRUE(key->IsValid());
        for (unsigned long i = 0; i < key->Size(); ++i) EXPECT_NE(key->Data()[i], 0) << size;
    }
    EXPECT_TRUE(IsDESKeyParityOK(des3.Data(), 24));
    const CDESkey other;
    EXPECT_NE(ToHex(Bytes(des.Data(), des.Data() + 8)), ToHex(Bytes(other.Data(), other.Data() + 8)));
}

TEST(KeyTest, SetReplacesOctetsEvenWhenInvalid) {
    const Bytes zeros(24, 0);
    CTripleDESkey des3;
    EXPECT_TRUE(des3.Set(zeros.data(), 24));  // parity is not checked for triple DES
    CDESkey des;
    EXPECT_FALSE(des.Set(zeros.data(), 8));
    EXPECT_EQ(ToHex(Bytes(des.Data(), des.Data() + des.Size())), "0000000000000000");
    EXPECT_FALSE(des.Set(Hex("0101").data(), 2));
    EXPECT_EQ(des.Size(), 2u);
    CIDEAkey idea;
    EXPECT_FALSE(idea.Set(zeros.data(), 15));
    CRC5key rc5;
    EXPECT_TRUE(rc5.Set(Pattern(255).data(), 255));
    EXPECT_FALSE(rc5.Set(Pattern(256).data(), 256));
    EXPECT_TRUE(rc5.Set(nullptr, 0));
}

TEST(KeyTest, Rc2ValidityNeedsTabledBitsAndEnoughOctets) {
    EXPECT_EQ(CRC2key(128).Size(), 16u);
    EXPECT_TRUE(CRC2key(40).IsValid());
    EXPECT_TRUE(CRC2key(64).IsValid());
    EXPECT_FALSE(CRC2key(100).IsValid());
    // 255 effective bits need 32 octets; a new key gets them.
    EXPECT_EQ(CRC2key(255).Size(), 32u);
    EXPECT_TRUE(CRC2key(255).IsValid());
    CRC2key key(64);
    EXPECT_FALSE(key.Set(Pattern(7).data(), 7));
    EXPECT_TRUE(key.Set(Pattern(16).data(), 16));  // longer keys than the effective bits are fine
}

TEST(KeyTest, Rc2VersionTable) {
    const std::pair<unsigned short, unsigned short> table[] = {{40, 160}, {64, 120}, {128, 58}, {255, 171}};
    for (auto [bits, version] : table) {
        EXPECT_TRUE(CRC2key::IsValidBits(bits));
        EXPECT_TRUE(CRC2key::IsValidVersion(version));
        EXPECT_FALSE(CRC2key::IsValidBits(version));
        EXPECT_FALSE(CRC2key::IsValidVersion(bits));
        EXPECT_EQ(CRC2key::BitsToVersion(bits), version);
        EXPECT_EQ(CRC2key::VersionToBits(version), bits);
    }
    EXPECT_EQ(CRC2key::VersionToBits(100), 100);
    EXPECT_EQ(CRC2key::BitsToVersion(100), 100);
}

Bytes Store(CObject* object, bool asObject) {
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        if (asObject)
            ar << object;
        else
            object->Serialize(ar);
        ar.Close();
    }
    const Bytes out(file.GetBuffer(), file.GetBuffer() + file.GetLength());
    return out;
}

template <class Load>
void LoadFrom(const Bytes& stored, Load load) {
    Bytes copy = stored;
    CMemFile file(copy.data(), static_cast<UINT>(copy.size()));
    CArchive ar(&file, CArchive::load);
    load(ar);
}

// Every key class stored as an object and read back through the archive's object
// creation, and through Serialize into an object of the right shape.
template <class Key>
void ExpectObjectRoundTrip(Key& key) {
    const Bytes stored = Store(&key, true);
    Key* loaded = nullptr;
    LoadFrom(stored, [&](CArchive& ar) { ar >> loaded; });
    std::unique_ptr<Key> owner(loaded);
    ASSERT_NE(loaded, nullptr);
    EXPECT_STREQ(loaded->GetRuntimeClass()->m_lpszClassName, key.GetRuntimeClass()->m_lpszClassName);
    EXPECT_EQ(ToHex(Bytes(loaded->Data(), loaded->Data() + loaded->Size())),
              ToHex(Bytes(key.Data(), key.Data() + key.Size())));
}

TEST(KeyArchiveTest, EveryKeyClassRoundTripsAsObject) {
    CDESkey des;
    CTripleDESkey des3;
    CIDEAkey idea;
    CRC2key rc2(40), rc2Long(128);
    CRC5key rc5;
    ExpectObjectRoundTrip(des);
    ExpectObjectRoundTrip(des3);
    ExpectObjectRoundTrip(idea);
    ExpectObjectRoundTrip(rc2);
    ExpectObjectRoundTrip(rc2Long);  // created for 40 bits, it takes the stored bits' length
    ExpectObjectRoundTrip(rc5);
    CKey empty;
    ExpectObjectRoundTrip(empty);
}

TEST(KeyArchiveTest, SerializedFormsHaveVersionAndNoLength) {
    CDESkey des;
    des.Set(Hex("0123456789abcdef").data(), 8);
    EXPECT_EQ(ToHex(Store(&des, false)), "010123456789abcdef");
    CRC2key rc2(40);
    rc2.Set(Hex("1122334455").data(), 5);
    EXPECT_EQ(ToHex(Store(&rc2, false)), "00" "2800" "01" "1122334455");
}

TEST(KeyArchiveTest, LoadingKeepsTheObjectsLengthAndSkipsVersionZeroTrailer) {
    CIDEAkey idea;
    LoadFrom(Hex("00 000102030405060708090a0b0c0d0e0f 1111111111111111 ee"), [&](CArchive& ar) {
        idea.Serialize(ar);
        BYTE next = 0;
        ar >> next;
        EXPECT_EQ(next, 0xee);
    });
    EXPECT_EQ(ToHex(Bytes(idea.Data(), idea.Data() + 16)), "000102030405060708090a0b0c0d0e0f");

    CRC2key longKey(40);
    longKey.Set(Pattern(16).data(), 16);  // 40 effective bits, 16 octets: read by an object of that length
    const Bytes stored = Store(&longKey, false);
    CRC2key reader(40);
    reader.Set(Pattern(16, 2).data(), 16);
    LoadFrom(stored, [&](CArchive& ar) { reader.Serialize(ar); });
    EXPECT_EQ(ToHex(Bytes(reader.Data(), reader.Data() + 16)), ToHex(Pattern(16)));
}

int ArchiveCause(const std::function<void()>& f) {
    try {
        f();
    } catch (CArchiveException* e) {
        const int cause = e->m_cause;
        e->Delete();
        return cause;
    } catch (CException* e) {
        e->Delete();
        return -2;
    }
    return -1;
}

TEST(KeyArchiveTest, MalformedOrInvalidKeysRaiseGenericArchiveException) {
    CDESkey broken;
    broken.Set(Hex("0000000000000000").data(), 8);
    EXPECT_EQ(ArchiveCause([&] { Store(&broken, false); }), CArchiveException::generic);
    CDESkey des;
    EXPECT_EQ(ArchiveCause([&] { LoadFrom(Hex("02 0101010101010101"), [&](CArchive& ar) { des.Serialize(ar); }); }),
              CArchiveException::generic);  // unknown version
    EXPECT_EQ(ArchiveCause([&] { LoadFrom(Hex("01 0000000000000000"), [&](CArchive& ar) { des.Serialize(ar); }); }),
              CArchiveException::generic);  // loaded octets fail the parity check
    CRC2key rc2(40);
    EXPECT_EQ(ArchiveCause([&] { LoadFrom(Hex("01 2800 01 1122334455"), [&](CArchive& ar) { rc2.Serialize(ar); }); }),
              CArchiveException::generic);  // format octet not 0
    EXPECT_EQ(ArchiveCause([&] { LoadFrom(Hex("00 6400 01 112233445566778899aabbccdd"),
                                          [&](CArchive& ar) { rc2.Serialize(ar); }); }),
              CArchiveException::generic);  // 100 effective bits are not in the table
    EXPECT_EQ(ArchiveCause([&] { LoadFrom(Hex("01 0101"), [&](CArchive& ar) { des.Serialize(ar); }); }),
              CArchiveException::endOfFile);
}

}  // namespace
