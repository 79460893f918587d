#include <gtest/gtest.h>

#include "vorlan/framework/array.h"
#include "vorlan/framework/bytearray.h"
#include "vorlan/framework/memfile.h"
#include "vorlan/framework/string.h"

// In the global namespace, as the library's element types are: the hooks are found by ADL.
struct Tracked {
    static inline int alive = 0;
    int value = 7;
};

// Element hooks found by overload, as the library's own arrays use them.
void ConstructElements(Tracked* elements, int count) {
    for (int i = 0; i < count; ++i) ::new (static_cast<void*>(elements + i)) Tracked{};
    Tracked::alive += count;
}

void DestructElements(Tracked* elements, int count) {
    for (int i = 0; i < count; ++i) elements[i].~Tracked();
    Tracked::alive -= count;
}

void SerializeElements(CArchive& ar, Tracked* elements, int count) {
    for (int i = 0; i < count; ++i) {
        if (ar.IsStoring())
            ar << static_cast<BYTE>(elements[i].value);
        else {
            BYTE v = 0;
            ar >> v;
            elements[i].value = v;
        }
    }
}

namespace {

TEST(Array, ElementHooksRunForEveryElementCreatedAndDestroyed) {
    {
        CArray<Tracked, const Tracked&> array;
        array.SetSize(5);
        EXPECT_EQ(Tracked::alive, 5);
        array.InsertAt(1, Tracked{9}, 2);
        EXPECT_EQ(Tracked::alive, 7);
        EXPECT_EQ(array[1].value, 9);
        EXPECT_EQ(array[3].value, 7);
        array.RemoveAt(0, 3);
        EXPECT_EQ(Tracked::alive, 4);
        array.Add(Tracked{1});
        EXPECT_EQ(array.GetSize(), 5);

        CMemFile file;
        {
            CArchive ar(&file, CArchive::store);
            array.Serialize(ar);
        }
        file.SeekToBegin();
        CArray<Tracked, const Tracked&> back;
        CArchive ar(&file, CArchive::load);
        back.Serialize(ar);
        ASSERT_EQ(back.GetSize(), 5);
        EXPECT_EQ(back[4].value, 1);
    }
    EXPECT_EQ(Tracked::alive, 0);
}

TEST(ByteArray, SetSizeKeepsOctetsAndCopiesAreDeep) {
    CByteArray a;
    a.SetSize(3);
    a[0] = 1;
    a[1] = 2;
    a[2] = 3;
    a.SetSize(1000);
    EXPECT_EQ(a[2], 3);
    a.SetSize(2);
    CByteArray b = a;
    b[0] = 9;
    EXPECT_EQ(a[0], 1);
    a.Append(a);
    ASSERT_EQ(a.GetSize(), 4);
    EXPECT_EQ(a[3], 2);
    a.InsertAt(1, 0xEE, 2);
    EXPECT_EQ(a.GetSize(), 6);
    EXPECT_EQ(a[2], 0xEE);
    a.RemoveAt(0, 3);
    EXPECT_EQ(a[0], 2);
}

TEST(String, FormatsSlicesComparesAndEditsLikeTheFramework) {
    CString s;
    s.Format("%s-%04X-%d", "ab", 0xBEEF, -3);
    EXPECT_EQ(s, "ab-BEEF--3");
    EXPECT_EQ(s.Mid(3), "BEEF--3");
    EXPECT_EQ(s.Mid(3, 4), "BEEF");
    EXPECT_EQ(s.Mid(50), "");
    EXPECT_EQ(s.Mid(8, 100), "-3");
    EXPECT_EQ(s.Left(2) + "/" + s.Right(2), "ab/-3");
    s.MakeLower();
    EXPECT_EQ(s, "ab-beef--3");
    s.SetAt(0, 'X');
    EXPECT_EQ(s.Find("beef"), 3);
    EXPECT_EQ(s.Find('q'), -1);
    EXPECT_EQ(CString(' ', 3) + "x", "   x");
    EXPECT_EQ(CString("abcdef", 3), "abc");
    char* buffer = s.GetBufferSetLength(2);
    buffer[1] = 'y';
    EXPECT_EQ(s, "Xy");
    EXPECT_LT(CString("a"), CString("b"));
    CString long_text;
    long_text.Format("%0500d", 1);
    EXPECT_EQ(long_text.GetLength(), 500);
}

}  // namespace
