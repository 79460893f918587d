/// \file
/// CUnlockException: the failure of an RSA operation, of padding removal or of a
/// size check of the symmetric ciphers. One shared instance (automatic deletion off)
/// is thrown by pointer; GetErrorMessage gives the reason of the calling thread's last throw.
#pragma once

#include "vorlan/support/sharedexception.h"

/// The failure of an RSA operation, of padding removal or of a cipher's size check. Thrown as
/// one shared instance (auto-delete off); the catcher calls Delete(), which does not free it.
class CUnlockException : public vorlan::detail::ReasonException<CUnlockException> {
    DECLARE_DYNAMIC(CUnlockException)
public:
    /// Auto-delete off, as the shared instance is.
    explicit CUnlockException(BOOL autoDelete = FALSE) : ReasonException(autoDelete) {}
};

/// Throws the shared CUnlockException with `reason`.
[[noreturn]] void AfxThrowUnlockException(const char* reason);

/// The reason of the last CUnlockException raised in the calling thread ("" when none),
/// as its GetErrorMessage gives it.
const char* LastUnlockReason();

namespace vorlan::detail {
/// printf-style reason, then the shared CUnlockException.
[[noreturn]] void ThrowUnlockFormatted(const char* format, ...) __attribute__((format(printf, 1, 2)));
}  // namespace vorlan::detail
