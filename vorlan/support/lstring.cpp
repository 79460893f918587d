#include "vorlan/support/lstring.h"

#include <cstring>

__LString::__LString(const char* format, va_list arguments) { FormatV(format, arguments); }

CString __LString::GetLine(int start) const {
    if (start < 0 || start >= GetLength()) return CString();
    const CString rest = Mid(start);
    const int crlf = rest.Find("\r\n");
    if (crlf >= 0) {
        // The line with its carriage return turned into a blank, up to the line feed.
        CString line = rest.Left(crlf + 2);
        line.SetAt(crlf, ' ');
        return line;
    }
    const int lf = rest.Find('\n');
    return lf >= 0 ? rest.Left(lf + 1) : rest;
}
