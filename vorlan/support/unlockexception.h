// CUnlockException: the failure of an RSA operation, of padding removal or of a
// size check of the symmetric ciphers. One shared instance (automatic deletion off)
// is thrown by pointer; the reason text is not carried by it.
#pragma once

#include "vorlan/framework/exception.h"

class CUnlockException : public CException {
    DECLARE_DYNAMIC(CUnlockException)
public:
    explicit CUnlockException(BOOL autoDelete = FALSE) : CException(autoDelete) {}
};

// Throws the shared CUnlockException. The reason is kept only as the calling
// thread's last reason (see LastUnlockReason) for diagnostics.
[[noreturn]] void AfxThrowUnlockException(const char* reason);

// The reason of the last CUnlockException raised in the calling thread ("" when none),
// for the caller's diagnostics.
const char* LastUnlockReason();

namespace detail {
// printf-style reason, formatted and then passed to AfxThrowUnlockException.
[[noreturn]] void ThrowUnlockFormatted(const char* format, ...) __attribute__((format(printf, 1, 2)));
}  // namespace detail
