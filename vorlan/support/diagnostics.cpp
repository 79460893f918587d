#include "vorlan/support/diagnostics.h"

#include <cstdarg>
#include <cstdio>

#include "vorlan/framework/file.h"

int g_bDumpToConsole = 0;

void ___WriteFormatted(CFile* file, const char* format, ...) {
    if (!file && !g_bDumpToConsole) return;
    CString text;
    va_list args;
    va_start(args, format);
    text.FormatV(format, args);
    va_end(args);
    if (file) file->Write(static_cast<const char*>(text), static_cast<UINT>(text.GetLength()));
    if (g_bDumpToConsole) std::puts(text);
}
