/// \file
/// Shared exception instances. The library's failure classes thrown without allocation have
/// one object each, auto-delete off, thrown by pointer from every thread, so Delete() on a
/// caught pointer does nothing. Those that carry a reason keep it per thread: the instance
/// is shared, the text belongs to the thread that threw it.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "vorlan/framework/exception.h"

namespace vorlan::detail {

/// The one instance of E, created on first use.
template <class E>
E& SharedInstance() {
    static E instance(FALSE);
    return instance;
}

template <class E>
[[noreturn]] void ThrowShared() {
    throw &SharedInstance<E>();
}

inline constexpr std::size_t kReasonSize = 512;

/// printf-style into a reason buffer, replacing or appending; cut at the buffer's end.
void FormatReason(char (&reason)[kReasonSize], bool append, const char* format, va_list args)
    __attribute__((format(printf, 3, 0)));
/// The reason as a framework error message: FALSE when there is none.
BOOL CopyReason(const char* reason, char* buffer, UINT maxLength);

/// Base of a shared exception E whose GetErrorMessage gives the reason of the calling thread's
/// last throw of E.
template <class E>
class ReasonException : public CException {
public:
    /// The calling thread's last reason, "" when none.
    static const char* LastReason() { return t_reason; }
    /// Counts the reasons set on the calling thread (appending to one does not count): a
    /// reason that is still the same one has the same count.
    static unsigned ReasonCount() { return t_count; }

    [[noreturn]] static void Throw(const char* format, ...) __attribute__((format(printf, 1, 2))) {
        va_list args;
        va_start(args, format);
        SetReasonV(format, args);
        va_end(args);
        ThrowShared<E>();
    }
    /// The reason alone, for a variadic thrower that ends its arguments before throwing.
    static void SetReasonV(const char* format, va_list args) __attribute__((format(printf, 1, 0))) {
        FormatReason(t_reason, false, format, args);
        ++t_count;
    }
    /// Adds to the reason of a throw in flight (where it happened, what it wrapped).
    static void Append(const char* format, ...) __attribute__((format(printf, 1, 2))) {
        va_list args;
        va_start(args, format);
        FormatReason(t_reason, true, format, args);
        va_end(args);
    }

    BOOL GetErrorMessage(char* buffer, UINT maxLength, UINT* = nullptr) const override {
        return CopyReason(t_reason, buffer, maxLength);
    }

protected:
    explicit ReasonException(BOOL autoDelete) : CException(autoDelete) {}

private:
    /// Constant-initialised: no per-thread construction on the throwing path.
    static inline thread_local char t_reason[kReasonSize] = {};
    static inline thread_local unsigned t_count = 0;
};

}  // namespace vorlan::detail
