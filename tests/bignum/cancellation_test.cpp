// A long ModExp in a worker stops within a millisecond when the client asks that
// thread to stop, and only that thread; every long operation checks the request.
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <ctime>
#include <functional>
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

TEST(HugeDigitCancellation, KillFlagStopsLongOperationsOfTheTargetThreadOnly) {
    // A 2,048-bit exponentiation with a full-size exponent takes several milliseconds.
    CRandomOperands random(5);
    CHugeDigit base = random.Exactly(2048), exponent = random.Exactly(2048), modulus = random.Exactly(2048);
    exponent[63] |= 0x80000000;
    modulus[63] |= 0x80000000;
    modulus[0] |= 1;
    const auto run = [&] { return CHugeDigit::ModExp(base, exponent, modulus); };
    const CHugeDigit expected = run();

    std::atomic<DWORD> targetId{0};
    std::atomic<int> targetRounds{0}, bystanderRounds{0};
    std::atomic<bool> cancelled{false}, stopBystander{false};
    clockid_t targetClock{};
    long long caughtAt = 0;
    std::thread target([&] {
        pthread_getcpuclockid(pthread_self(), &targetClock);
        targetId = GetCurrentThreadId();
        try {
            for (;; ++targetRounds) run();
        } catch (CKillThreadException*) {
            caughtAt = CpuMicroseconds(CLOCK_THREAD_CPUTIME_ID);
            cancelled = true;
        }
    });
    CHugeDigit bystanderResult;
    std::thread bystander([&] {
        for (; !stopBystander; ++bystanderRounds) bystanderResult = run();
    });
    while (targetRounds < 1 || bystanderRounds < 1) std::this_thread::yield();

    CWinThread victim;
    victim.m_nThreadID = targetId;
    ThreadToKill = &victim;
    const long long raised = CpuMicroseconds(targetClock);
    ThreadKillFlag = 1;
    target.join();
    // The other thread keeps computing while the flag is set.
    const int bystanderAtKill = bystanderRounds;
    while (bystanderRounds < bystanderAtKill + 2) std::this_thread::yield();
    stopBystander = true;
    bystander.join();
    EXPECT_TRUE(cancelled);
    EXPECT_LT(caughtAt - raised, 1000) << "microseconds of work after the request";
    EXPECT_TRUE(CHugeDigit::IsEqual(bystanderResult, expected));

    // With the calling thread as the target, each long operation stops.
    CWinThread self;
    ThreadToKill = &self;
    CHugeDigit half = random.Exactly(1024), q, r;
    half[31] |= 0x80000001;
    const std::function<void()> operations[] = {[&] { CHugeDigit::Add(base, half); },
                                                [&] { CHugeDigit::Sub(base, half); },
                                                [&] { CHugeDigit::Mult(base, half); },
                                                [&] { CHugeDigit::Div(q, r, base, half); },
                                                [&] { CHugeDigit::ModMult(base, base, half); },
                                                [&] { CHugeDigit::ModExp(base, base, half); },
                                                [&] { CHugeDigit::Gcd(base, half); },
                                                [&] { CHugeDigit::ModInv(base, half); },
                                                [&] { base.IsProbablePrime(); }};
    for (std::size_t i = 0; i < std::size(operations); ++i) EXPECT_THROW(operations[i](), CKillThreadException*) << i;
    ThreadKillFlag = 0;
    ThreadToKill = nullptr;
    EXPECT_TRUE(CHugeDigit::IsEqual(run(), expected)) << "unaffected once the flag is cleared";
}

}  // namespace
