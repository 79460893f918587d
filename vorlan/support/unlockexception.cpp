#include "vorlan/support/unlockexception.h"

IMPLEMENT_DYNAMIC(CUnlockException, CException)

void AfxThrowUnlockException(const char* reason) { CUnlockException::Throw("%s", reason ? reason : ""); }

void vorlan::detail::ThrowUnlockFormatted(const char* format, ...) {
    va_list args;
    va_start(args, format);
    CUnlockException::SetReasonV(format, args);
    va_end(args);
    vorlan::detail::ThrowShared<CUnlockException>();
}

const char* LastUnlockReason() { return CUnlockException::LastReason(); }
