// A long ModExp in a worker stops quickly when the client asks that thread to stop,
// and only that thread.
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <ctime>
#include <thread>

#include "bn_oracle.h"
#include "vorlan/support/progress.h"

namespace {

// Processor time of a thread in microseconds: unlike wall time, it does not count
// the time the thread waits for a core on a loaded machine.
long long CpuMicroseconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

// Operands of a 2,048-bit exponentiation with a full-size exponent.
struct CExponentiation {
    CHugeDigit base, exponent, modulus;
    CExponentiation() {
        CRandomOperands random(5);
        base = random.Exactly(2048);
        exponent = random.Exactly(2048);
        modulus = random.Exactly(2048);
        exponent[63] |= 0x80000000;
        modulus[63] |= 0x80000000;
        modulus[0] |= 1;
    }
    CHugeDigit Run() const { return CHugeDigit::ModExp(base, exponent, modulus); }
};

// Repeats the exponentiation until it is cancelled; reports when the exception came.
struct CWorker {
    std::atomic<DWORD> threadId{0};
    std::atomic<bool> cancelled{false};
    std::atomic<int> rounds{0};
    clockid_t cpuClock{};
    long long caughtAt = 0;  // processor time of the worker

    void operator()(const CExponentiation& work) {
        pthread_getcpuclockid(pthread_self(), &cpuClock);
        threadId = GetCurrentThreadId();
        try {
            for (;;) {
                work.Run();
                ++rounds;
            }
        } catch (CKillThreadException*) {
            caughtAt = CpuMicroseconds(CLOCK_THREAD_CPUTIME_ID);
            cancelled = true;
        }
    }
};

class CancellationTest : public ::testing::Test {
protected:
    void TearDown() override {
        ThreadKillFlag = 0;
        ThreadToKill = nullptr;
    }
};

TEST_F(CancellationTest, KillFlagStopsModExpInTargetThreadOnly) {
    const CExponentiation work;
    const CHugeDigit expected = work.Run();

    CWorker target;
    std::atomic<int> bystanderRounds{0};
    std::thread targetThread([&] { target(work); });
    std::atomic<bool> stopBystander{false};
    CHugeDigit bystanderResult;
    std::thread bystanderThread([&] {
        // Keeps computing while the flag is set for the other thread.
        while (!stopBystander) {
            bystanderResult = work.Run();
            ++bystanderRounds;
        }
    });
    while (target.threadId == 0 || target.rounds < 1 || bystanderRounds < 1) std::this_thread::yield();

    CWinThread victim;
    victim.m_nThreadID = target.threadId;
    ThreadToKill = &victim;
    const long long raised = CpuMicroseconds(target.cpuClock);
    ThreadKillFlag = 1;
    targetThread.join();
    const int bystanderRoundsAtKill = bystanderRounds;
    while (bystanderRounds < bystanderRoundsAtKill + 2) std::this_thread::yield();
    ThreadKillFlag = 0;
    stopBystander = true;
    bystanderThread.join();

    EXPECT_TRUE(target.cancelled);
    // Less than a millisecond of work after the request; one ModExp takes several.
    EXPECT_LT(target.caughtAt - raised, 1000);
    EXPECT_TRUE(CHugeDigit::IsEqual(bystanderResult, expected));
    // The calling thread is unaffected once the flag is cleared.
    EXPECT_TRUE(CHugeDigit::IsEqual(work.Run(), expected));
}

TEST_F(CancellationTest, EveryLongOperationChecksTheFlag) {
    CWinThread self;  // the calling thread
    ThreadToKill = &self;
    ThreadKillFlag = 1;
    CRandomOperands random(9);
    CHugeDigit a = random.Exactly(2048);
    CHugeDigit b = random.Exactly(1024);
    a[63] |= 0x80000000;
    b[31] |= 0x80000001;
    CHugeDigit q, r;
    EXPECT_THROW(CHugeDigit::Add(a, b), CKillThreadException*);
    EXPECT_THROW(CHugeDigit::Sub(a, b), CKillThreadException*);
    EXPECT_THROW(CHugeDigit::Mult(a, b), CKillThreadException*);
    EXPECT_THROW(CHugeDigit::Div(q, r, a, b), CKillThreadException*);
    EXPECT_THROW(CHugeDigit::ModMult(a, a, b), CKillThreadException*);
    EXPECT_THROW(CHugeDigit::ModExp(a, a, b), CKillThreadException*);
    EXPECT_THROW(CHugeDigit::Gcd(a, b), CKillThreadException*);
    EXPECT_THROW(CHugeDigit::ModInv(a, b), CKillThreadException*);
    EXPECT_THROW(a.IsProbablePrime(), CKillThreadException*);
}

}  // namespace
