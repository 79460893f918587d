#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>

#include "tests/common/progress_recorder.h"
#include "vorlan/framework/memfile.h"
#include "vorlan/support/bytearraypro.h"
#include "vorlan/support/endian.h"
#include "vorlan/support/hex.h"
#include "vorlan/support/lstring.h"
#include "vorlan/support/memfilepro.h"
#include "vorlan/support/terminate.h"
#include "vorlan/support/unlockexception.h"

namespace {

using namespace vorlan::detail;

// Every width in both orders, also at an unaligned address (the 32-bit ones are also checked by
// the digests and ciphers against OpenSSL).
TEST(Endian, WordsReadAndWriteInTheStatedOrderAtEveryWidth) {
    const unsigned char octets[] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x10};
    const auto check = [&](auto big, decltype(big) little, int offset) {
        using Word = decltype(big);
        EXPECT_TRUE(LoadBigEndian<Word>(octets + offset) == big && LoadLittleEndian<Word>(octets + offset) == little);
        unsigned char out[2 * sizeof(Word)];
        StoreBigEndian(big, out);
        StoreLittleEndian(little, out + sizeof(Word));
        EXPECT_TRUE(std::equal(out, out + sizeof(Word), octets + offset) &&
                    std::equal(out + sizeof(Word), out + sizeof out, octets + offset))
            << sizeof(Word);
    };
    check(std::uint8_t{0x01}, 0x01, 0), check(std::uint16_t{0x0123}, 0x2301, 0);
    check(std::uint32_t{0x23456789}, 0x89674523, 1), check(std::uint64_t{0x0123456789ABCDEF}, 0xEFCDAB8967452301, 0);
}

TEST(TextHelpers, HexConvertsBothWaysRightAlignedAndGetLineEndsAtLineFeedWithCarriageReturnAsBlank) {
    const unsigned char octets[] = {0x0A, 0xFF};
    EXPECT_EQ(OctetsToHexChars(octets, 2) + "|" + OctetsToHexChars(octets, 0), "0AFF|");
    const std::pair<const char*, std::vector<unsigned char>> rows[] = {
        {"ABC", {0x00, 0x0A, 0xBC}}, {"ABCDEF", {0xCD, 0xEF}}, {"abcdef", {0xAB, 0xCD, 0xEF}}, {"", {0x00, 0x00}}};
    for (const auto& [hex, expected] : rows) {
        std::vector<unsigned char> out(expected.size(), 0x55);
        HexCharsToOctets(hex, out.data(), static_cast<int>(out.size()));
        EXPECT_EQ(out, expected) << hex;
    }
    const auto* zz = reinterpret_cast<const unsigned char*>("zz");
    EXPECT_TRUE(!IsHexCharsString(CString("")) && !IsHexCharsString(CString("12g4")) &&
                IsHexCharsString(CString("09afAF")) && !IsHexCharsString(zz, 0));
    EXPECT_EQ(HexCharToDigit('b') + HexCharToDigit('F'), 26);
    // GetLine ends at a line feed; a carriage return reads as a blank.
    const __LString text("ab\r\ncd\nef", 9);
    EXPECT_EQ(text.GetLine(0) + text.GetLine(4) + text.GetLine(7) + text.GetLine(9), "ab \ncd\nef");
    EXPECT_EQ(__LString("abc", 2), "ab");
}

TEST(Buffers, MemFileProOwnsOnlyWhenAskedAndByteArrayProDetaches) {
    {
        CMemFilePro owned(new unsigned char[4]{1, 2, 3, 4}, 4, 1024, TRUE);  // whole buffer is data
        owned.SeekToEnd();
        owned.Write("more than four octets", 21);  // grows the adopted buffer; the sanitizers check the free
        EXPECT_EQ(owned.GetLength(), 25u);
    }
    unsigned char borrowed[3] = {7, 8, 9}, out[3];
    EXPECT_TRUE(CMemFilePro(borrowed, 3, 0, FALSE).Read(out, 3) == 3u && out[2] == 9);
    CByteArrayPro octets;
    octets.Add(5);
    octets.Add(6);
    unsigned char* buffer = octets.Detach();
    EXPECT_TRUE(octets.GetSize() == 0 && buffer[1] == 6);
    delete[] buffer;
    octets.Add(1);  // usable again after Detach
    EXPECT_EQ(octets.GetSize(), 1);
}

// The instance of E an action throws (released: a no-op on a shared instance) and its message.
template <class E, class Action>
std::pair<CException*, std::string> Thrown(Action action, UINT size = 1024) {
    std::string text(size, '\0');
    try {
        action();
    } catch (E* e) {
        e->GetErrorMessage(text.data(), size);
        e->Delete();
        return {e, text.c_str()};
    }
    return {nullptr, "nothing thrown"};
}

// Shared instances survive Delete; a copied holder would release one exception twice (the
// sanitizers report a double free or a leak).
TEST(SharedException, InstancesSurviveDeleteHoldersReleaseOnceAndUnlockMessagesAreTheThreadsReasonCut) {
    const auto compare = [] {
        return Thrown<CTerminateCompareException>([] { ___throwTerminateCompareException(0); });
    };
    EXPECT_TRUE(compare().first && compare().first == compare().first);
    EXPECT_NE(Thrown<CTerminateValidationException>([] { ___throwTerminateValidationException(0); }).first, nullptr);
    static_assert(!std::is_copy_constructible_v<SAutoException> && !std::is_copy_assignable_v<SAutoException>);
    SAutoException first(new CMemoryException);
    CException* const held = first.m_pException;
    SAutoException second(std::move(first));
    EXPECT_EQ(first.m_pException, nullptr);
    SAutoException third(new CNotSupportedException);
    third = std::move(second);  // releases the one third held
    auto& alias = third;
    third = std::move(alias);
    EXPECT_EQ(third.m_pException, held);
    // The unlock failure is one shared instance; its message is the reason of the throwing thread, cut to fit.
    const auto mine = Thrown<CUnlockException>([] { AfxThrowUnlockException("main thread"); });
    std::pair<CException*, std::string> other;
    std::thread([&] { other = Thrown<CUnlockException>([] { ThrowUnlockFormatted("worker %d", 7); }); }).join();
    EXPECT_TRUE(mine.second == "main thread" && other.second == "worker 7" && mine.first == other.first);
    EXPECT_STREQ(LastUnlockReason(), "main thread");
    char text[64];
    EXPECT_TRUE(mine.first->GetErrorMessage(text, sizeof text) && std::string(text) == "main thread" &&
                std::string(mine.first->GetRuntimeClass()->m_lpszClassName) == "CUnlockException");
    const std::string longReason(2000, 'x');
    const auto throwLong = [&] { AfxThrowUnlockException(longReason.c_str()); };
    EXPECT_TRUE(Thrown<CUnlockException>(throwLong).second == longReason.substr(0, 511) &&
                Thrown<CUnlockException>(throwLong, 4).second == "xxx");
}

TEST(Progress, SetUpSendsRangeStepPositionInOrderWithSixteenBitHalves) {
    testcommon::CMessageRecorder bar;
    CProgress(&bar, 0).SetUp(70000, 0, 1, 0);
    CProgress(&bar, 1).Hint(3);
    CProgress(&bar, 0).SetUp(10, -1, 2, 5);
    CProgress().SetUp(1, 0, 1, 0);  // null window: nothing is delivered anywhere
    auto expected = testcommon::SetUpMessages(70000, 0, 1, 0);
    expected.push_back({PBM_DELTAPOS, 3, 0, true});
    for (const auto& message : testcommon::SetUpMessages(10, -1, 2, 5)) expected.push_back(message);
    EXPECT_EQ(bar.messages, expected);
}

struct App : CWinApp {
    BOOL OnIdle(LONG count) override { return idleCounts.push_back(count), FALSE; }
    std::vector<LONG> idleCounts;
};

// Handles every message, throwing at WM_USER + 50.
struct ThrowingWindow : CQueuedWindow {
    LRESULT OnMessage(UINT message, WPARAM, LPARAM) override {
        if (++handled && message == WM_USER + 50) AfxThrowNotSupportedException();
        return 0;
    }
    int handled = 0;
};

TEST(FreshenQueue, HandlesWaitingMessagesSurvivesHandlerExceptionsThenIdlesOnce) {
    App app;
    ThrowingWindow window;
    PostMessageA(&window, WM_USER + 50, 0, 0);
    PostMessageA(&window, WM_USER + 51, 0, 0);
    __freshenThreadQueue();
    EXPECT_TRUE(window.handled == 2 && app.idleCounts == std::vector<LONG>{-1});
    MSG left;
    EXPECT_FALSE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));
    // A quit message stops the pump; what follows it waits for the application's own loop.
    PostQuitMessage(0);
    PostMessageA(&window, WM_USER + 51, 0, 0);
    __freshenThreadQueue();
    EXPECT_TRUE(window.handled == 2 && app.idleCounts.size() == 2u);
    while (PeekMessageA(&left, nullptr, 0, 0, PM_REMOVE)) {
    }
}

}  // namespace
