/// \file
/// Exceptions that end a comparison or validation walk early, and an exception holder.
#pragma once

#include <utility>

#include "vorlan/framework/exception.h"

class CTerminateCompareException : public CException {
public:
    explicit CTerminateCompareException(BOOL autoDelete = FALSE) : CException(autoDelete) {}
};

class CTerminateValidationException : public CException {
public:
    explicit CTerminateValidationException(BOOL autoDelete = FALSE) : CException(autoDelete) {}
};

/// Throw the shared instance (auto-delete off); the argument is not used.
[[noreturn]] void ___throwTerminateCompareException(int);
[[noreturn]] void ___throwTerminateValidationException(int);

/// Holds a caught exception and releases it with Delete() when it goes out of scope. One holder
/// owns it: moving transfers it, so it is never released twice.
struct SAutoException {
    SAutoException() = default;
    explicit SAutoException(CException* e) : m_pException(e) {}
    SAutoException(SAutoException&& other) noexcept : m_pException(std::exchange(other.m_pException, nullptr)) {}
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

    CException* m_pException = nullptr;
};
