#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

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

// Strings short enough to live inside the object and long ones on the heap: a bitwise move of
// either into other storage leaves a dangling or doubly-owned buffer that AddressSanitizer reports.
TEST(Array, StringElementsSurviveEveryOperationThatMovesThem) {
    using Strings = CArray<CString, CString&>;
    const std::string longText(100, 'L');
    struct Step {
        const char* what;
        std::function<void(Strings&)> apply;
        std::function<void(std::vector<std::string>&)> model;
    };
    const Step steps[] = {
        {"Add grows", [](Strings& a) { for (int i = 0; i < 9; ++i) { CString s(std::to_string(i)); a.Add(s); } },
         [](auto& m) { for (int i = 0; i < 9; ++i) m.push_back(std::to_string(i)); }},
        {"SetSize grows", [](Strings& a) { a.SetSize(40); }, [](auto& m) { m.resize(40); }},
        {"InsertAt shifts within capacity",
         [&](Strings& a) { CString s(longText); a.InsertAt(1, s, 3); },
         [&](auto& m) { m.insert(m.begin() + 1, 3, longText); }},
        {"InsertAt shifts into fresh storage",
         [](Strings& a) { CString s("s"); a.InsertAt(0, s, 2000); },
         [](auto& m) { m.insert(m.begin(), 2000, "s"); }},
        {"InsertAt past the end", [](Strings& a) { CString s("end"); a.InsertAt(2100, s); },
         [](auto& m) { m.resize(2100); m.push_back("end"); }},
        {"RemoveAt closes the gap", [](Strings& a) { a.RemoveAt(0, 1999); },
         [](auto& m) { m.erase(m.begin(), m.begin() + 1999); }},
        {"SetAtGrow from an element of the array", [](Strings& a) { a.FreeExtra(); a.SetAtGrow(a.GetSize(), a[2]); },
         [](auto& m) { m.push_back(m[2]); }},
        {"Append to itself", [](Strings& a) { a.FreeExtra(); a.Append(a); },
         [](auto& m) { const auto copy = m; m.insert(m.end(), copy.begin(), copy.end()); }},
        {"FreeExtra after shrinking", [](Strings& a) { a.SetSize(5); a.FreeExtra(); }, [](auto& m) { m.resize(5); }},
        {"InsertAt an element of the array", [](Strings& a) { a.InsertAt(0, a[3], 2); },
         [](auto& m) { const auto v = m[3]; m.insert(m.begin(), 2, v); }},
    };
    Strings array;
    std::vector<std::string> model;
    for (const Step& step : steps) {
        step.apply(array);
        step.model(model);
        ASSERT_EQ(array.GetSize(), static_cast<int>(model.size())) << step.what;
        for (size_t i = 0; i < model.size(); ++i) ASSERT_EQ(array[static_cast<int>(i)].str(), model[i]) << step.what << " at " << i;
    }

    Strings copy;
    copy.Copy(array);
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        copy.Serialize(ar);
    }
    file.SeekToBegin();
    Strings back;
    CArchive ar(&file, CArchive::load);
    back.Serialize(ar);
    ASSERT_EQ(back.GetSize(), array.GetSize());
    for (int i = 0; i < array.GetSize(); ++i) EXPECT_EQ(back[i], array[i]) << i;
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
