/// \file
/// Exceptions that end a comparison or validation walk early, and an exception holder.
#pragma once

#include <utility>

#include "vorlan/framework/exception.h"

/// Ends a comparison walk early; one shared instance, auto-delete off.
class CTerminateCompareException : public CException {
public:
    /// Auto-delete off, as the shared instance is.
    explicit CTerminateCompareException(BOOL autoDelete = FALSE) : CException(autoDelete) {}
};

/// Ends a validation walk early; one shared instance, auto-delete off.
class CTerminateValidationException : public CException {
public:
    /// Auto-delete off, as the shared instance is.
    explicit CTerminateValidationException(BOOL autoDelete = FALSE) : CException(autoDelete) {}
};

/// Throw the shared instance (auto-delete off); the argument is not used.
[[noreturn]] void ___throwTerminateCompareException(int);
/// Throws the shared CTerminateValidationException; the argument is not used.
[[noreturn]] void ___throwTerminateValidationException(int);

/// Holds a caught exception and releases it with Delete() when it goes out of scope. One holder
/// owns it: moving transfers it, so it is never released twice.
struct SAutoException {
    SAutoException() = default;
    /// Takes over `e` (may be null).
    explicit SAutoException(CException* e) : m_pException(e) {}
    /// Takes over the exception of `other`.
    SAutoException(SAutoException&& other) noexcept : m_pException(std::exchange(other.m_pException, nullptr)) {}
    /// Releases the exception held and takes over that of `other`.
    SAutoException& operator=(SAutoException&& other) noexcept {
        if (this != &other) {
            if (m_pException) m_pException->Delete();
            m_pException = std::exchange(other.m_pException, nullptr);
        }
        return *this;
    }
    ~SAutoException() {
        if (m_pException) m_pException->Delete();
    }

    CException* m_pException = nullptr;  ///< the exception held, null for none
};
