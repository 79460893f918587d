#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "tests/common/exceptions.h"
#include "vorlan/framework/file.h"
#include "vorlan/framework/memfile.h"

namespace {

using testcommon::CauseOf;

std::string TempPath(const char* name) { return testing::TempDir() + "vorlan_" + name + std::to_string(getpid()); }

TEST(File, WritesReadsSeeksAndDuplicatesOverPosixFiles) {
    const std::string path = TempPath("file");
    {
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        file.Write("hello world", 11);
        EXPECT_EQ(file.GetLength(), 11u);
        EXPECT_EQ(file.Seek(-5, CFile::end), 6);
        file.Write("there", 5);
    }
    CFile file(path.c_str(), CFile::modeRead);
    char text[16] = {};
    EXPECT_EQ(file.Read(text, sizeof text), 11u);
    EXPECT_STREQ(text, "hello there");
    EXPECT_EQ(file.Read(text, 1), 0u);
    file.Seek(6, CFile::begin);
    CFile* copy = file.Duplicate();
    char word[6] = {};
    EXPECT_EQ(copy->Read(word, 5), 5u);
    EXPECT_STREQ(word, "there");
    delete copy;
    file.Close();
    CFile::Remove(path.c_str());
    EXPECT_EQ(CauseOf<CFileException>([&] { CFile::Remove(path.c_str()); }), CFileException::fileNotFound);
}

TEST(File, OpenFailuresCarryCauseAndOsError) {
    CFileException error;
    CFile file;
    EXPECT_FALSE(file.Open("/nonexistent/dir/x", CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(error.m_lOsError, ENOENT);
    EXPECT_EQ(CauseOf<CFileException>([] { CFile f("/nonexistent/x", CFile::modeRead); }), CFileException::fileNotFound);
}

TEST(MemFile, GrowsWritesPastEndAsZerosAndSeeksCheckBounds) {
    CMemFile file(16);
    file.Write("abc", 3);
    file.Seek(10, CFile::begin);
    file.Write("z", 1);
    EXPECT_EQ(file.GetLength(), 11u);
    BYTE all[11];
    file.SeekToBegin();
    ASSERT_EQ(file.Read(all, 11), 11u);
    const BYTE expected[11] = {'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0, 'z'};
    EXPECT_EQ(0, std::memcmp(all, expected, 11));
    EXPECT_EQ(CauseOf<CFileException>([&] { file.Seek(-1, CFile::begin); }), CFileException::badSeek);
    std::string big(100000, 'q');
    file.Write(big.data(), static_cast<UINT>(big.size()));
    EXPECT_EQ(file.GetLength(), 11u + 100000u);
    file.SetLength(4);
    EXPECT_EQ(file.GetPosition(), 4u);
}

TEST(MemFile, CallerBufferIsFileDataAndNeverReallocated) {
    BYTE buffer[4] = {1, 2, 3, 4};
    CMemFile fixed(buffer, sizeof buffer);
    EXPECT_EQ(fixed.GetLength(), 4u);
    fixed.SeekToEnd();
    bool threw = false;
    try {
        fixed.Write("x", 1);
    } catch (CMemoryException* e) {
        threw = true;
        e->Delete();
    }
    EXPECT_TRUE(threw);

    // With a grow step the file starts empty; growing copies out of the caller's buffer.
    CMemFile growing(buffer, sizeof buffer, 8);
    EXPECT_EQ(growing.GetLength(), 0u);
    growing.Write("abcdefgh", 8);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(growing.GetLength(), 8u);

    CMemFile attached;
    attached.Attach(buffer, sizeof buffer);
    EXPECT_EQ(attached.Detach(), buffer);
    EXPECT_EQ(attached.GetLength(), 0u);
}

}  // namespace
