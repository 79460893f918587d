// Shared exception instances carry the reason of the throwing thread.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "vorlan/support/unlockexception.h"

namespace {

struct Caught {
    CException* exception = nullptr;
    std::string message;
};

template <class Action>
Caught Catch(Action&& action) {
    Caught caught;
    try {
        action();
    } catch (CUnlockException* e) {
        char text[1024] = {};
        if (e->GetErrorMessage(text, sizeof text)) caught.message = text;
        caught.exception = e;
        e->Delete();  // a no-op on the shared instance
    }
    return caught;
}

TEST(SharedException, UnlockMessageIsTheReasonOfTheThrowingThread) {
    const Caught mine = Catch([] { AfxThrowUnlockException("main thread"); });
    Caught other;
    std::thread([&] { other = Catch([] { vorlan::detail::ThrowUnlockFormatted("worker %d", 7); }); }).join();
    EXPECT_EQ(mine.exception, other.exception);  // one instance
    EXPECT_EQ(other.message, "worker 7");
    char text[64];
    ASSERT_TRUE(mine.exception->GetErrorMessage(text, sizeof text));
    EXPECT_STREQ(text, "main thread");
    EXPECT_STREQ(LastUnlockReason(), "main thread");
    EXPECT_STREQ(mine.exception->GetRuntimeClass()->m_lpszClassName, "CUnlockException");
}

TEST(SharedException, OverlongReasonIsCutNotOverrun) {
    const std::string longReason(2000, 'x');
    const Caught caught = Catch([&] { AfxThrowUnlockException(longReason.c_str()); });
    EXPECT_EQ(caught.message, longReason.substr(0, 511));
    char tiny[4];
    caught.exception->GetErrorMessage(tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "xxx");
}

}  // namespace
