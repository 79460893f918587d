#include "vorlan/framework/thread.h"

#include <atomic>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::atomic<CWinApp*> g_app{nullptr};

}  // namespace

void CMessageQueue::Post(const MSG& msg) {
    std::lock_guard lock(m_mutex);
    m_messages.push_back(msg);
}

BOOL CMessageQueue::Peek(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    std::lock_guard lock(m_mutex);
    for (auto it = m_messages.begin(); it != m_messages.end(); ++it) {
        const bool matches = (filterMin == 0 && filterMax == 0) ||
                             (it->message >= filterMin && it->message <= filterMax);
        if (!matches || (hwnd && it->hwnd != hwnd)) continue;
        if (msg) *msg = *it;
        if (removeFlags & PM_REMOVE) m_messages.erase(it);
        return TRUE;
    }
    return FALSE;
}

CMessageQueue& CMessageQueue::Current() {
    static thread_local CMessageQueue queue;
    return queue;
}

CQueuedWindow::CQueuedWindow() : m_queue(CMessageQueue::Current()) {}

LRESULT CQueuedWindow::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return OnMessage(message, wParam, lParam);
}

BOOL CQueuedWindow::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    m_queue.Post({this, message, wParam, lParam});
    return TRUE;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return hwnd ? hwnd->SendMessage(message, wParam, lParam) : 0;
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return hwnd ? hwnd->PostMessage(message, wParam, lParam) : FALSE;
}

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    return CMessageQueue::Current().Peek(msg, hwnd, filterMin, filterMax, removeFlags);
}

void PostQuitMessage(int exitCode) {
    CMessageQueue::Current().Post({nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0});
}

DWORD GetCurrentThreadId() {
    static thread_local const DWORD id = static_cast<DWORD>(::syscall(SYS_gettid));
    return id;
}

CWinThread::CWinThread() : m_nThreadID(GetCurrentThreadId()) {}

BOOL CWinThread::PumpMessage() {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return FALSE;
    if (msg.message == WM_QUIT) return FALSE;
    SendMessageA(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    return TRUE;
}

BOOL CWinThread::OnIdle(LONG) { return FALSE; }

CWinApp::CWinApp() { g_app.store(this); }

CWinApp::~CWinApp() {
    CWinApp* self = this;
    g_app.compare_exchange_strong(self, nullptr);
}

CWinApp* AfxGetApp() { return g_app.load(); }
