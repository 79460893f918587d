#include "vorlan/support/textformat.h"

#include <cstdarg>

#include "vorlan/framework/exception.h"

void vorlan::detail::ThrowTextFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    CString reason;
    reason.FormatV(format, args);
    va_end(args);
    AfxThrowFileException(CFileException::invalidFile, -1, reason);
}
