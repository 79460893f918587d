/// \file
/// Formatted diagnostic output of the dumps.
#pragma once

class CFile;

/// Non-zero: diagnostic output is also printed on standard output.
extern int g_bDumpToConsole;

/// Writes the formatted text to `file` when given, and to the console when g_bDumpToConsole is set.
void ___WriteFormatted(CFile* file, const char* format, ...) __attribute__((format(printf, 2, 3)));
