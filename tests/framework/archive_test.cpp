// Archive bytes worked out by hand from the framework's format: integers little-endian,
// counts and string lengths in their escalating forms, object and class tags.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <tuple>
#include <vector>

#include "tests/common/archive_io.h"
#include "vorlan/framework/archive.h"
#include "vorlan/framework/bytearray.h"
#include "vorlan/framework/memfile.h"

namespace {

using namespace testcommon;
using Bytes = std::vector<BYTE>;

class CPoint3 : public CObject {
    DECLARE_SERIAL(CPoint3)
public:
    CPoint3() = default;
    explicit CPoint3(WORD x) : x(x) {}
    void Serialize(CArchive& ar) override { ar.IsStoring() ? void(ar << x) : void(ar >> x); }
    WORD x = 0;
};
IMPLEMENT_SERIAL(CPoint3, CObject, 2)

class CVersioned : public CObject {
    DECLARE_SERIAL(CVersioned)
public:
    void Serialize(CArchive& ar) override { schemaSeen = ar.IsLoading() ? ar.GetObjectSchema() : 0; }
    UINT schemaSeen = 0;
};
IMPLEMENT_SERIAL(CVersioned, CObject, VERSIONABLE_SCHEMA | 0)

TEST(ArchiveFormat, IntegersAreLittleEndianAtTheirWidthsAndDirectionIsEnforced) {
    const Bytes bytes = Store([](CArchive& ar) {
        ar << static_cast<BYTE>(0x01) << static_cast<WORD>(0x0203) << static_cast<DWORD>(0x04050607)
           << static_cast<LONG>(-2);
    });
    EXPECT_EQ(bytes, (Bytes{0x01, 0x03, 0x02, 0x07, 0x06, 0x05, 0x04, 0xFE, 0xFF, 0xFF, 0xFF}));
    std::tuple<BYTE, WORD, DWORD, LONG> back{};
    Loader(bytes).ar >> std::get<0>(back) >> std::get<1>(back) >> std::get<2>(back) >> std::get<3>(back);
    EXPECT_EQ(back, std::make_tuple(BYTE{0x01}, WORD{0x0203}, DWORD{0x04050607}, LONG{-2}));
    // An archive refuses the other direction.
    CMemFile file;
    CArchive storing(&file, CArchive::store), loading(&file, CArchive::load);
    BYTE b = 0;
    EXPECT_EQ(CauseOf([&] { storing >> b; }) * 100 + CauseOf([&] { loading << b; }),
              CArchiveException::writeOnly * 100 + CArchiveException::readOnly);
}

// Counts escalate from sixteen to thirty-two bits, string lengths from eight bits.
TEST(ArchiveFormat, CountsAndStringLengthsEscalate) {
    const std::tuple<bool, DWORD, Bytes> rows[] = {
        {false, 0, {0x00, 0x00}}, {false, 0xFFFE, {0xFE, 0xFF}}, {false, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
        {false, 0x12345678, {0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12}}, {true, 0, {0x00}}, {true, 0xFE, {0xFE}},
        {true, 0xFF, {0xFF, 0xFF, 0x00}}, {true, 0xFFFE, {0xFF, 0xFE, 0xFF}},
        {true, 0x10000, {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}}};
    for (const auto& [string, n, prefix] : rows) {
        const CString text('x', static_cast<int>(n));
        Bytes expected = prefix;
        if (string) expected.insert(expected.end(), n, 'x');
        EXPECT_EQ(Store([&, string = string, n = n](CArchive& ar) { string ? void(ar << text) : ar.WriteCount(n); }),
                  expected)
            << n;
        Loader in(expected);
        CString back;
        if (string) in.ar >> back;
        EXPECT_TRUE(string ? back == text : in.ar.ReadCount() == n) << n;
    }
}

TEST(ArchiveFormat, ObjectsCarryClassOnceThenTagsAndVersionableClassesReadAnySchema) {
    CPoint3 first(0x1111), second(0x2222);
    const Bytes bytes = Store([&](CArchive& ar) {
        ar << &first << &second << &first << static_cast<const CObject*>(nullptr);
    });
    const Bytes expected = {
        0xFF, 0xFF, 0x02, 0x00, 0x07, 0x00, 'C', 'P', 'o', 'i', 'n', 't', '3',  // new class, schema 2
        0x11, 0x11,                                                              // first (index 2)
        0x01, 0x80, 0x22, 0x22,                                                  // class index 1, second
        0x02, 0x00,                                                              // first again
        0x00, 0x00,                                                              // null
    };
    EXPECT_EQ(bytes, expected);
    Loader in(bytes);
    CPoint3 *a = nullptr, *b = nullptr, *c = nullptr, *d = nullptr;
    in.ar >> a >> b >> c >> d;
    const std::unique_ptr<CPoint3> ownA(a), ownB(b);
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(a->x == 0x1111 && b->x == 0x2222 && c == a && d == nullptr);

    Loader versioned({0xFF, 0xFF, 0x05, 0x00, 0x0A, 0x00, 'C', 'V', 'e', 'r', 's', 'i', 'o', 'n', 'e', 'd'});
    CVersioned* v = nullptr;
    versioned.ar >> v;
    const std::unique_ptr<CVersioned> ownV(v);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->schemaSeen, 5u);
}

TEST(ArchiveFormat, LoadingRejectsForeignClassesSchemasIndicesAndTruncation) {
    const std::pair<Bytes, int> rows[] = {
        {{0xFF, 0xFF, 0x02, 0x00, 0x03, 0x00, 'C', 'Z', 'Z'}, CArchiveException::badClass},
        {{0xFF, 0xFF, 0x03, 0x00, 0x07, 0x00, 'C', 'P', 'o', 'i', 'n', 't', '3', 0, 0}, CArchiveException::badSchema},
        {{0x05, 0x80}, CArchiveException::badIndex}, {{0x07, 0x00}, CArchiveException::badIndex},
        {{0xFF, 0xFF, 0x02}, CArchiveException::endOfFile},
        {{0xFF, 0xFF, 0x00, 0x00, 0x0A, 0x00, 'C', 'B', 'y', 't', 'e', 'A', 'r', 'r', 'a', 'y', 0, 0},
         CArchiveException::badClass},
    };
    for (const auto& [bytes, cause] : rows) {
        Loader in(bytes);
        CPoint3* p = nullptr;
        EXPECT_EQ(CauseOf([&] { in.ar >> p; }), cause);
        EXPECT_EQ(p, nullptr);
    }
}

TEST(ArchiveFormat, ByteArrayRoundTripsAndForgedCountsFailWithoutHugeAllocation) {
    CByteArray octets;
    for (int i = 0; i < 70000; ++i) octets.Add(static_cast<BYTE>(i * 7));
    const Bytes bytes = Store([&](CArchive& ar) { octets.Serialize(ar); });
    ASSERT_EQ(bytes.size(), 6u + 70000u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 6), (Bytes{0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));
    Loader in(bytes);
    CByteArray back;
    back.Serialize(in.ar);
    ASSERT_EQ(back.GetSize(), octets.GetSize());
    EXPECT_EQ(0, std::memcmp(back.GetData(), octets.GetData(), 70000));
    // Claims 0x7FFFFFF0 octets but holds four: fails at the end of the data.
    Loader forged({0xFF, 0xFF, 0xF0, 0xFF, 0xFF, 0x7F, 1, 2, 3, 4});
    EXPECT_EQ(CauseOf([&] { back.Serialize(forged.ar); }), CArchiveException::endOfFile);
}

}  // namespace
