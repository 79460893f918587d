/// \file
/// CProgress drives a progress-bar window with window messages; cancellation lets a
/// client stop a computation in one worker thread by an exception that unwinds it.
#pragma once

#include <atomic>

#include "vorlan/framework/exception.h"
#include "vorlan/framework/thread.h"

/// Progress-bar messages: set range, set position, step it, set step.
inline constexpr UINT PBM_SETRANGE = WM_USER + 1;
inline constexpr UINT PBM_SETPOS = WM_USER + 2;  ///< set position: wParam the position
inline constexpr UINT PBM_DELTAPOS = WM_USER + 3;  ///< advance: wParam the amount
inline constexpr UINT PBM_SETSTEP = WM_USER + 4;  ///< set step: wParam the step

/// Drives a progress-bar window: sends or posts PBM_ messages to it. A plain value; the window
/// is the client's and must outlive the work. Long operations take a `const CProgress*` that may
/// be null for no reports.
class CProgress {
public:
    CProgress() = default;
    /// Reports to `hwnd`, posting (post non-zero) or sending the messages.
    CProgress(HWND hwnd, int post) : hwnd(hwnd), post(post) {}

    /// Range (max and min as two 16-bit halves), step and position, in that order.
    void SetUp(int max, int min, unsigned short step, unsigned short pos) const;
    /// Advance the position by n.
    void Hint(unsigned short n) const;

    HWND hwnd = nullptr;  ///< the progress bar, null for none (nothing is reported)
    int post = 1;  ///< 1: PostMessageA, 0: SendMessageA

private:
    void Notify(UINT message, WPARAM wParam, LPARAM lParam) const;
};

/// Cancellation state set by the client. ThreadKillFlag is read by the worker while
/// another thread writes it, hence atomic; it behaves as an int otherwise.
extern std::atomic<int> ThreadKillFlag;
/// the thread to cancel: the one whose m_nThreadID matches the running thread
extern std::atomic<CWinThread*> ThreadToKill;
extern int ThreadCannotBeKilled;  ///< the client's own bookkeeping; never read here

/// Cancellation: thrown, as one shared instance, in the thread ThreadToKill names when
/// ThreadKillFlag is set; the catcher calls Delete(), which does not free it.
class CKillThreadException : public CException {
public:
    /// Auto-delete off: the library throws one shared instance.
    explicit CKillThreadException(BOOL autoDelete = FALSE) : CException(autoDelete) {}
};

namespace vorlan::detail {
[[noreturn]] void ThrowKillThread();
}

/// Throws the shared CKillThreadException when ThreadKillFlag is set and the calling
/// thread is ThreadToKill. Cheap enough for every outer loop of the arithmetic.
inline void __checkKillThreadFlag() {
    if (ThreadKillFlag.load(std::memory_order_relaxed) != 0) {
        CWinThread* target = ThreadToKill.load(std::memory_order_acquire);
        if (target && target->m_nThreadID == GetCurrentThreadId()) vorlan::detail::ThrowKillThread();
    }
}

/// Handles the calling thread's waiting messages one at a time through the application's
/// message pump (surviving framework exceptions from handlers), then runs one idle pass.
void __freshenThreadQueue();
