#include "vorlan/support/progress.h"

#include "vorlan/support/sharedexception.h"

std::atomic<int> ThreadKillFlag{0};
std::atomic<CWinThread*> ThreadToKill{nullptr};
int ThreadCannotBeKilled = 0;

void vorlan::detail::ThrowKillThread() { vorlan::detail::ThrowShared<CKillThreadException>(); }

void CProgress::Notify(UINT message, WPARAM wParam, LPARAM lParam) const {
    if (post)
        PostMessageA(hwnd, message, wParam, lParam);
    else
        SendMessageA(hwnd, message, wParam, lParam);
}

void CProgress::SetUp(int max, int min, unsigned short step, unsigned short pos) const {
    // The range travels as two 16-bit halves of one 32-bit value.
    const auto range = (static_cast<std::uint32_t>(max) << 16) | (static_cast<std::uint32_t>(min) & 0xFFFFu);
    Notify(PBM_SETRANGE, 0, static_cast<LPARAM>(range));
    Notify(PBM_SETSTEP, step, 0);
    Notify(PBM_SETPOS, pos, 0);
}

void CProgress::Hint(unsigned short n) const { Notify(PBM_DELTAPOS, n, 0); }

void __freshenThreadQueue() {
    CWinApp* app = AfxGetApp();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        BOOL running = FALSE;
        try {
            running = app ? app->PumpMessage() : FALSE;
        } catch (CException* e) {
            e->Delete();
            running = TRUE;
        }
        if (!running) break;
    }
    if (app) app->OnIdle(-1);
}
