/// \file
/// __LString: a CString with formatting and length constructors and line access.
#pragma once

#include <cstdarg>

#include "vorlan/framework/string.h"

/// A CString with formatting and length constructors and line access.
class __LString : public CString {
public:
    __LString() = default;
    /// Formatted from `format` and an argument list (printf conventions).
    __LString(const char* format, va_list arguments);
    /// The first `length` characters of `text`.
    __LString(const char* text, int length) : CString(text, length) {}

    /// The line that starts at `start`: up to and including the next line feed;
    /// a carriage return before it comes back as a blank.
    CString GetLine(int start) const;
};
