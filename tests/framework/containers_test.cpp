#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/common/archive_io.h"
#include "vorlan/framework/array.h"
#include "vorlan/framework/bytearray.h"
#include "vorlan/framework/file.h"
#include "vorlan/framework/memfile.h"
#include "vorlan/framework/string.h"

// In the global namespace, as the library's element types are: the hooks are found by overload.
struct Tracked {
    static inline int alive = 0;
    int value = 7;
};

void ConstructElements(Tracked* elements, int count) {
    for (int i = 0; i < count; ++i) ::new (static_cast<void*>(elements + i)) Tracked{};
    Tracked::alive += count;
}

void DestructElements(Tracked* elements, int count) {
    for (int i = 0; i < count; ++i) elements[i].~Tracked();
    Tracked::alive -= count;
}

bool operator==(const Tracked& a, const Tracked& b) { return a.value == b.value; }

namespace {

using testcommon::CauseOf;

// A copy of the array through its archive form.
template <class Array>
void ExpectArchivedCopyEqual(Array& array) {
    testcommon::Loader in(testcommon::Store([&](CArchive& ar) { array.Serialize(ar); }));
    Array back;
    back.Serialize(in.ar);
    ASSERT_EQ(back.GetSize(), array.GetSize());
    for (int i = 0; i < array.GetSize(); ++i) EXPECT_TRUE(back[i] == array[i]) << i;
}

TEST(Array, ElementHooksRunForEveryElementCreatedAndDestroyed) {
    {
        CArray<Tracked, const Tracked&> array;
        array.SetSize(5);
        array.InsertAt(1, Tracked{9}, 2);
        EXPECT_TRUE(Tracked::alive == 7 && array[1].value == 9 && array[3].value == 7);
        array.RemoveAt(0, 3);
        EXPECT_EQ(Tracked::alive, 4);
        array.Add(Tracked{1});
        ExpectArchivedCopyEqual(array);  // plain values archive as their octets
    }
    EXPECT_EQ(Tracked::alive, 0);
}

// Strings short enough to live inside the object and long ones on the heap: a bitwise move of
// either into other storage leaves a dangling or doubly-owned buffer that AddressSanitizer reports.
TEST(Array, StringElementsSurviveEveryOperationThatMovesThem) {
    using Strings = CArray<CString, CString&>;
    using Model = std::vector<std::string>;
    using A = Strings&;
    using M = Model&;
    const std::string longText(100, 'L');
    // What each step does to the array and to a model of it: grows, shifts within the capacity,
    // inserts past the end, removes, appends to itself.
    const std::pair<std::function<void(A)>, std::function<void(M)>> steps[] = {
        {[](A a) { for (int i = 0; i < 9; ++i) { CString s(std::to_string(i)); a.Add(s); } },
         [](M m) { for (int i = 0; i < 9; ++i) m.push_back(std::to_string(i)); }},
        {[](A a) { a.SetSize(40); }, [](M m) { m.resize(40); }},
        {[&](A a) { CString s(longText); a.InsertAt(1, s, 3); }, [&](M m) { m.insert(m.begin() + 1, 3, longText); }},
        {[](A a) { CString s("s"); a.InsertAt(0, s, 2000); }, [](M m) { m.insert(m.begin(), 2000, "s"); }},
        {[](A a) { CString s("end"); a.InsertAt(2100, s); }, [](M m) { m.resize(2100), m.push_back("end"); }},
        {[](A a) { a.RemoveAt(0, 1999); }, [](M m) { m.erase(m.begin(), m.begin() + 1999); }},
        {[](A a) { a.FreeExtra(), a.SetAtGrow(a.GetSize(), a[2]); }, [](M m) { m.push_back(m[2]); }},
        {[](A a) { a.FreeExtra(), a.Append(a); }, [](M m) { Model c = m; m.insert(m.end(), c.begin(), c.end()); }},
        {[](A a) { a.SetSize(5), a.FreeExtra(); }, [](M m) { m.resize(5); }},
        {[](A a) { a.InsertAt(0, a[3], 2); }, [](M m) { const auto v = m[3]; m.insert(m.begin(), 2, v); }},
    };
    Strings array;
    Model model;
    for (size_t step = 0; step < std::size(steps); ++step) {
        steps[step].first(array);
        steps[step].second(model);
        ASSERT_EQ(array.GetSize(), static_cast<int>(model.size())) << "step " << step;
        for (size_t i = 0; i < model.size(); ++i)
            ASSERT_EQ(array[static_cast<int>(i)].str(), model[i]) << "step " << step << ", " << i;
    }
    Strings copy;
    copy.Copy(array);
    ExpectArchivedCopyEqual(copy);
}

TEST(ByteArray, SetSizeKeepsOctetsAndCopiesAreDeep) {
    CByteArray a;
    a.SetSize(3);
    a[0] = 1, a[1] = 2, a[2] = 3;
    a.SetSize(1000);
    EXPECT_EQ(a[2], 3);  // kept when growing
    a.SetSize(2);
    CByteArray b = a;
    b[0] = 9;
    a.Append(a);
    a.InsertAt(1, 0xEE, 2);
    const BYTE expected[] = {1, 0xEE, 0xEE, 2, 1, 2};
    EXPECT_TRUE(a.GetSize() == 6 && std::memcmp(a.GetData(), expected, 6) == 0);
    a.RemoveAt(0, 3);
    EXPECT_EQ(a[0], 2);
}

// Slices clamp to the text; formatting has no length limit.
TEST(String, FormatsSlicesComparesAndEditsLikeTheFramework) {
    CString s;
    s.Format("%s-%04X-%d", "ab", 0xBEEF, -3);
    EXPECT_EQ(s.Mid(3) + "|" + s.Mid(3, 4) + "|" + s.Mid(50) + "|" + s.Mid(8, 100), "BEEF--3|BEEF||-3");
    EXPECT_EQ(s.Left(2) + "/" + s.Right(2) + "/" + s.Right(50) + "/" + CString(' ', 2) + CString("abc", 2),
              "ab/-3/ab-BEEF--3/  ab");
    s.MakeLower();
    s.SetAt(0, 'X');
    EXPECT_TRUE(s == "Xb-beef--3" && s.Find("beef") == 3 && s.Find('q') == -1 && CString("a") < CString("b"));
    s.GetBufferSetLength(2)[1] = 'y';
    EXPECT_EQ(s, "Xy");
    s.Format("%0500d", 1);
    EXPECT_EQ(s.GetLength(), 500);
}

TEST(File, PosixFilesWriteReadSeekAndDuplicateMemoryFilesGrowSeekWithinBoundsAndKeepCallerBuffers) {
    const std::string path = testing::TempDir() + "vorlan_file" + std::to_string(getpid());
    {
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        file.Write("hello world", 11);
        EXPECT_TRUE(file.GetLength() == 11u && file.Seek(-5, CFile::end) == 6);
        file.Write("there", 5);
    }
    CFile file(path.c_str(), CFile::modeRead);
    char text[16] = {};
    EXPECT_TRUE(file.Read(text, sizeof text) == 11u && std::string(text) == "hello there" && file.Read(text, 1) == 0u);
    file.Seek(6, CFile::begin);
    const std::unique_ptr<CFile> copy(file.Duplicate());
    char word[6] = {};
    EXPECT_TRUE(copy->Read(word, 5) == 5u && std::string(word) == "there");
    file.Close();
    CFile::Remove(path.c_str());
    // Failures carry their cause and the system's error.
    EXPECT_EQ(CauseOf<CFileException>([&] { CFile::Remove(path.c_str()); }), CFileException::fileNotFound);
    EXPECT_EQ(CauseOf<CFileException>([&] { CFile f(path.c_str(), CFile::modeRead); }), CFileException::fileNotFound);
    CFileException error;
    EXPECT_FALSE(file.Open("/nonexistent/dir/x", CFile::modeRead, &error));
    EXPECT_TRUE(error.m_cause == CFileException::fileNotFound && error.m_lOsError == ENOENT);
    // A memory file grows, writes past its end as zeros and checks seeks.
    CMemFile memory(16);
    memory.Write("abc", 3);
    memory.Seek(10, CFile::begin);
    memory.Write("z", 1);
    EXPECT_TRUE(memory.GetLength() == 11u && std::memcmp(memory.GetBuffer(), "abc\0\0\0\0\0\0\0z", 11) == 0);
    EXPECT_EQ(CauseOf<CFileException>([&] { memory.Seek(-1, CFile::begin); }), CFileException::badSeek);
    std::string big(100000, 'q');
    memory.Write(big.data(), static_cast<UINT>(big.size()));
    EXPECT_EQ(memory.GetLength(), 11u + 100000u);
    memory.SetLength(4);
    EXPECT_EQ(memory.GetPosition(), 4u);

    // A caller's buffer is the file's data and is never reallocated.
    BYTE buffer[4] = {1, 2, 3, 4};
    CMemFile fixed(buffer, sizeof buffer);
    EXPECT_EQ(fixed.GetLength(), 4u);
    fixed.SeekToEnd();
    EXPECT_NE(testcommon::MessageOf<CMemoryException>([&] { fixed.Write("x", 1); }), testcommon::kNoException);

    // With a grow step the file starts empty; growing copies out of the caller's buffer.
    CMemFile growing(buffer, sizeof buffer, 8);
    EXPECT_EQ(growing.GetLength(), 0u);
    growing.Write("abcdefgh", 8);
    EXPECT_TRUE(buffer[0] == 1 && growing.GetLength() == 8u);

    CMemFile attached;
    attached.Attach(buffer, sizeof buffer);
    EXPECT_TRUE(attached.Detach() == buffer && attached.GetLength() == 0u);
}

}  // namespace
