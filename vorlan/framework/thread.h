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

inline constexpr UINT WM_QUIT = 0x0012;  ///< the message that ends a message pump
/// the first message number of applications (the progress messages start here)
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT PM_NOREMOVE = 0x0000;  ///< PeekMessageA leaves the message in the queue
inline constexpr UINT PM_REMOVE = 0x0001;  ///< PeekMessageA takes the message out of the queue

/// A window as the library sees it: what receives sent and posted messages. The client
/// implements it (a progress bar, say) and keeps it alive while the library may send to it.
class CMessageReceiver {
public:
    virtual ~CMessageReceiver() = default;
    /// Handles a message at once, in the sending thread; its result.
    virtual LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    /// Accepts a message for later handling; FALSE when it cannot.
    virtual BOOL PostMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
};
using HWND = CMessageReceiver*;  ///< a window handle: a pointer to a receiver, not owned

/// A queued message.
struct MSG {
    HWND hwnd = nullptr;  ///< the receiver, null for a thread message
    UINT message = 0;  ///< the message number
    WPARAM wParam = 0;  ///< its first parameter
    LPARAM lParam = 0;  ///< its second parameter
};

/// A thread's queue of posted messages; any thread may post into it.
class CMessageQueue {
public:
    /// Appends a message (from any thread).
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
    ///@{
    /// Sends go to OnMessage at once; posts are queued in the creating thread's queue.
    LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL PostMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    ///@}

protected:
    /// Handles a sent or dispatched message.
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

private:
    CMessageQueue& m_queue;
};

/// hwnd->SendMessage(...); 0 for a null hwnd.
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
/// hwnd->PostMessage(...); FALSE for a null hwnd.
BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
/// CMessageQueue::Current().Peek(...): whether the calling thread's queue holds a message for
/// `hwnd` in the filter range, copied into `*msg` and removed with PM_REMOVE.
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
/// Posts WM_QUIT into the calling thread's queue.
void PostQuitMessage(int exitCode);

/// The calling thread's kernel id.
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

    DWORD m_nThreadID;  ///< the thread this object stands for
};

/// The application object: the one whose message pump and idle handler long work
/// in the user-interface thread calls. Constructing one makes it the application.
class CWinApp : public CWinThread {
public:
    CWinApp();
    ~CWinApp() override;
};

/// The application object, null when none was constructed.
CWinApp* AfxGetApp();
