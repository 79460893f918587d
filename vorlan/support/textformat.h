// The failure of a text encoding (base64, PEM): the framework's file exception, since such
// text is the content of certificate, request and key files. Its message carries the reason.
#pragma once

namespace vorlan::detail {

// Throws a new CFileException (invalidFile) naming the printf-formatted reason.
[[noreturn]] void ThrowTextFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace vorlan::detail
