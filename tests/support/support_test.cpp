#include <gtest/gtest.h>

#include <cstring>
#include <type_traits>
#include <utility>

#include "vorlan/framework/memfile.h"
#include "vorlan/support/bytearraypro.h"
#include "vorlan/support/diagnostics.h"
#include "vorlan/support/hex.h"
#include "vorlan/support/lstring.h"
#include "vorlan/support/memfilepro.h"
#include "vorlan/support/terminate.h"

namespace {

TEST(Hex, ConvertsBothWaysWithRightAlignment) {
    const unsigned char octets[] = {0x0A, 0xFF};
    EXPECT_EQ(OctetsToHexChars(octets, 2), "0AFF");
    EXPECT_EQ(OctetsToHexChars(octets, 0), "");

    struct Row {
        const char* hex;
        int length;
        std::vector<unsigned char> out;
    };
    const Row rows[] = {
        {"ABC", 3, {0x00, 0x0A, 0xBC}},
        {"ABCDEF", 2, {0xCD, 0xEF}},
        {"abcdef", 3, {0xAB, 0xCD, 0xEF}},
        {"", 2, {0x00, 0x00}},
    };
    for (const Row& row : rows) {
        std::vector<unsigned char> out(row.out.size(), 0x55);
        HexCharsToOctets(row.hex, out.data(), row.length);
        EXPECT_EQ(out, row.out) << row.hex;
    }
    EXPECT_EQ(IsHexCharsString(CString("")), 0);
    EXPECT_EQ(IsHexCharsString(CString("12g4")), 0);
    EXPECT_EQ(IsHexCharsString(CString("09afAF")), 1);
    EXPECT_EQ(IsHexCharsString(reinterpret_cast<const unsigned char*>("zz"), 0), 0);
    EXPECT_EQ(HexCharToDigit('b'), 11);
    EXPECT_EQ(HexCharToDigit('F'), 15);
}

TEST(LString, GetLineEndsAtLineFeedWithCarriageReturnAsBlank) {
    const __LString text("ab\r\ncd\nef", 9);
    EXPECT_EQ(text.GetLine(0), "ab \n");
    EXPECT_EQ(text.GetLine(4), "cd\n");
    EXPECT_EQ(text.GetLine(7), "ef");
    EXPECT_EQ(text.GetLine(9), "");
    EXPECT_EQ(__LString("abc", 2), "ab");
}

TEST(MemFilePro, WholeBufferIsDataAndOwnershipFollowsAutoDelete) {
    auto* owned = new unsigned char[4]{1, 2, 3, 4};
    {
        CMemFilePro file(owned, 4, 1024, TRUE);
        EXPECT_EQ(file.GetLength(), 4u);
        file.SeekToEnd();
        file.Write("more than four octets", 21);  // grows the adopted buffer
        EXPECT_EQ(file.GetLength(), 25u);
    }  // frees the grown buffer; the sanitizer build catches a mismatched or double free

    unsigned char borrowed[3] = {7, 8, 9};
    {
        CMemFilePro file(borrowed, 3, 0, FALSE);
        unsigned char out[3];
        EXPECT_EQ(file.Read(out, 3), 3u);
        EXPECT_EQ(out[2], 9);
        file.SetFilePath("name only");
        EXPECT_EQ(file.GetFilePath(), "name only");
    }
    EXPECT_EQ(borrowed[0], 7);
}

TEST(ByteArrayPro, DetachHandsOverTheBufferAndEmptiesTheArray) {
    CByteArrayPro octets;
    octets.Add(5);
    octets.Add(6);
    unsigned char* buffer = octets.Detach();
    EXPECT_EQ(octets.GetSize(), 0);
    EXPECT_EQ(buffer[1], 6);
    delete[] buffer;
    octets.Add(1);  // usable again after Detach
    EXPECT_EQ(octets.GetSize(), 1);
}

TEST(Diagnostics, WriteFormattedGoesToTheFileOnly) {
    CMemFile file;
    ___WriteFormatted(&file, "%s=%02X", "k", 0x0B);
    ___WriteFormatted(nullptr, "dropped");
    EXPECT_EQ(file.GetLength(), 4u);
    char text[5] = {};
    file.SeekToBegin();
    file.Read(text, 4);
    EXPECT_STREQ(text, "k=0B");
}

TEST(Terminate, SharedInstancesSurviveDeleteAndHoldersReleaseOwnedOnes) {
    CException* caught[2] = {};
    for (CException*& slot : caught) {
        try {
            ___throwTerminateCompareException(0);
        } catch (CTerminateCompareException* e) {
            slot = e;
            e->Delete();  // a no-op on the shared instance
        }
    }
    EXPECT_EQ(caught[0], caught[1]);
    EXPECT_THROW(___throwTerminateValidationException(0), CTerminateValidationException*);
    SAutoException holder(new CMemoryException);  // freed by the holder; a leak shows under the sanitizer
}

// A copied holder would release one exception twice; the sanitizers report a double free or a leak.
TEST(Terminate, ExceptionHolderReleasesEachExceptionOnce) {
    static_assert(!std::is_copy_constructible_v<SAutoException> && !std::is_copy_assignable_v<SAutoException>);
    SAutoException first(new CMemoryException);
    CException* const held = first.m_pException;
    SAutoException second(std::move(first));
    EXPECT_EQ(first.m_pException, nullptr);
    EXPECT_EQ(second.m_pException, held);
    SAutoException third(new CNotSupportedException);
    third = std::move(second);  // releases the one third held
    EXPECT_EQ(third.m_pException, held);
    auto& alias = third;
    third = std::move(alias);
    EXPECT_EQ(third.m_pException, held);
}

}  // namespace
