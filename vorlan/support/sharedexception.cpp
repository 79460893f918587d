#include "vorlan/support/sharedexception.h"

#include <cstdio>
#include <cstring>

namespace vorlan::detail {

void FormatReason(char (&reason)[kReasonSize], bool append, const char* format, va_list args) {
    const std::size_t used = append ? std::strlen(reason) : 0;
    // The format may name the reason itself (a wrapped message): write through a copy.
    char text[kReasonSize];
    std::vsnprintf(text, sizeof text, format, args);
    std::snprintf(reason + used, kReasonSize - used, "%s", text);
}

BOOL CopyReason(const char* reason, char* buffer, UINT maxLength) {
    if (buffer && maxLength) std::snprintf(buffer, maxLength, "%s", reason);
    return reason[0] != '\0';
}

}  // namespace vorlan::detail
