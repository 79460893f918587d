/// \file
/// Threads and window messages. A window handle is a pointer to a receiver object
/// whose send and post operations the caller implements (a progress bar, a test
/// recorder). Each thread has a message queue that PeekMessageA looks into and
/// that a CWinApp's PumpMessage drains, so long work in a user-interface thread
/// can keep its messages serviced.
#pragma once

#include <deque>
#include <mutex>

#include "vorlan/framework/object.h"
#include "vorlan/framework/types.h"

inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;

class CMessageReceiver {
public:
    virtual ~CMessageReceiver() = default;
    virtual LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual BOOL PostMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
};
using HWND = CMessageReceiver*;

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

/// A thread's queue of posted messages; any thread may post into it.
class CMessageQueue {
public:
    void Post(const MSG& msg);
    /// The first message for hwnd (any window when null) within the filter range (all when both 0).
    BOOL Peek(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
    /// The queue of the calling thread.
    static CMessageQueue& Current();

private:
    std::mutex m_mutex;
    std::deque<MSG> m_messages;
};

/// A receiver that queues posted messages in the queue of the thread that created it
/// and hands sent messages (and dispatched ones) to OnMessage.
class CQueuedWindow : public CMessageReceiver {
public:
    CQueuedWindow();
    LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL PostMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

private:
    CMessageQueue& m_queue;
};

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
/// Posts WM_QUIT into the calling thread's queue.
void PostQuitMessage(int exitCode);

DWORD GetCurrentThreadId();

/// Identifies a thread: the one that constructed the object, unless m_nThreadID is set.
class CWinThread : public CObject {
public:
    CWinThread();
    /// Handles one message of the calling thread's queue (sends it to its window);
    /// FALSE when the message is WM_QUIT or the queue was empty.
    virtual BOOL PumpMessage();
    /// Idle-time processing; count -1 asks for one pass. TRUE asks for more idle time.
    virtual BOOL OnIdle(LONG count);

    DWORD m_nThreadID;
};

/// The application object: the one whose message pump and idle handler long work
/// in the user-interface thread calls. Constructing one makes it the application.
class CWinApp : public CWinThread {
public:
    CWinApp();
    ~CWinApp() override;
};

CWinApp* AfxGetApp();
