#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/common/progress_recorder.h"
#include "vorlan/support/progress.h"

namespace {

using testcommon::CMessageRecorder;
using testcommon::Message;

TEST(Progress, SetUpSendsRangeStepPositionInOrderWithSixteenBitHalves) {
    CMessageRecorder bar;
    CProgress(&bar, 0).SetUp(70000, 0, 1, 0);
    CProgress(&bar, 1).Hint(3);
    const std::vector<Message> expected = {
        {0x401, 0, static_cast<LPARAM>((70000u % 65536u) << 16), false},
        {0x404, 1, 0, false},
        {0x402, 0, 0, false},
        {0x403, 3, 0, true},
    };
    EXPECT_EQ(bar.messages, expected);
    CProgress(&bar, 0).SetUp(10, -1, 2, 5);
    EXPECT_EQ(bar.messages[4].lParam, static_cast<LPARAM>((10u << 16) | 0xFFFFu));

    CProgress().SetUp(1, 0, 1, 0);  // null window: nothing is delivered anywhere
}

struct KillFlagReset {
    ~KillFlagReset() {
        ThreadKillFlag = 0;
        ThreadToKill = nullptr;
    }
};

TEST(Cancellation, StopsOnlyTheTargetThread) {
    KillFlagReset reset;
    std::atomic<bool> targetReady{false};
    std::atomic<bool> targetKilled{false};
    std::atomic<bool> bystanderDone{false};
    CWinThread target;  // outlives every thread that reads ThreadToKill

    std::thread worker([&] {
        target.m_nThreadID = GetCurrentThreadId();
        targetReady = true;
        try {
            for (;;) __checkKillThreadFlag();
        } catch (CKillThreadException* e) {
            e->Delete();
            targetKilled = true;
        }
    });
    while (!targetReady) std::this_thread::yield();

    ThreadToKill = &target;
    ThreadKillFlag = 1;
    std::thread bystander([&] {
        for (int i = 0; i < 100000; ++i) __checkKillThreadFlag();  // other threads are not cancelled
        bystanderDone = true;
    });
    EXPECT_NO_THROW(__checkKillThreadFlag());  // nor is the calling thread
    worker.join();
    bystander.join();
    EXPECT_TRUE(targetKilled);
    EXPECT_TRUE(bystanderDone);
}

class App : public CWinApp {
public:
    BOOL OnIdle(LONG count) override {
        idleCounts.push_back(count);
        return FALSE;
    }
    std::vector<LONG> idleCounts;
};

class ThrowingWindow : public CQueuedWindow {
public:
    int handled = 0;

protected:
    LRESULT OnMessage(UINT message, WPARAM, LPARAM) override {
        ++handled;
        if (message == WM_USER + 50) AfxThrowNotSupportedException();
        return 0;
    }
};

TEST(FreshenQueue, HandlesWaitingMessagesSurvivesHandlerExceptionsThenIdlesOnce) {
    App app;
    ThrowingWindow window;
    PostMessageA(&window, WM_USER + 50, 0, 0);
    PostMessageA(&window, WM_USER + 51, 0, 0);
    __freshenThreadQueue();
    EXPECT_EQ(window.handled, 2);
    EXPECT_EQ(app.idleCounts, std::vector<LONG>{-1});
    MSG left;
    EXPECT_FALSE(PeekMessageA(&left, nullptr, 0, 0, PM_NOREMOVE));

    // A quit message stops the pump; what follows it waits for the application's own loop.
    PostQuitMessage(0);
    PostMessageA(&window, WM_USER + 51, 0, 0);
    __freshenThreadQueue();
    EXPECT_EQ(window.handled, 2);
    EXPECT_EQ(app.idleCounts.size(), 2u);
    while (PeekMessageA(&left, nullptr, 0, 0, PM_REMOVE)) {
    }
}

}  // namespace
