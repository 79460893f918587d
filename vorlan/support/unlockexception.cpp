#include "vorlan/support/unlockexception.h"

#include <cstdarg>
#include <cstdio>
#include <string>

IMPLEMENT_DYNAMIC(CUnlockException, CException)

namespace {
// Shared by every thread; it holds no state, so sharing it is safe.
CUnlockException g_unlockException(FALSE);
thread_local std::string t_lastReason;
}  // namespace

void AfxThrowUnlockException(const char* reason) {
    t_lastReason = reason ? reason : "";
    throw &g_unlockException;
}

namespace detail {

void ThrowUnlockFormatted(const char* format, ...) {
    char reason[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(reason, sizeof reason, format, args);
    va_end(args);
    AfxThrowUnlockException(reason);
}

}  // namespace detail

const char* LastUnlockReason() { return t_lastReason.c_str(); }
