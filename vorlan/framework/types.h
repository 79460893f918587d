/// \file
/// Fixed-width stand-ins for the desktop framework's basic types.
#pragma once

#include <cstddef>
#include <cstdint>

/// The framework's truth value: 0 false, anything else true.
using BOOL = int;
inline constexpr BOOL TRUE = 1;  ///< true
inline constexpr BOOL FALSE = 0;  ///< false

using BYTE = std::uint8_t;  ///< an octet
using WORD = std::uint16_t;  ///< 16 bits
using DWORD = std::uint32_t;  ///< 32 bits
using UINT = unsigned int;  ///< unsigned, at least 32 bits
using LONG = std::int32_t;  ///< 32 bits, signed
using ULONG = std::uint32_t;  ///< 32 bits

using LPCSTR = const char*;  ///< a zero-terminated text
using LPSTR = char*;  ///< a changeable zero-terminated text
using LPCTSTR = const char*;  ///< a zero-terminated text (8-bit characters only)
using LPTSTR = char*;  ///< a changeable zero-terminated text
using LPVOID = void*;  ///< an untyped pointer
using LPCVOID = const void*;  ///< an untyped pointer to constant data
using LPBYTE = BYTE*;  ///< a pointer to octets

using WPARAM = std::uintptr_t;  ///< the first parameter of a window message
using LPARAM = std::intptr_t;  ///< the second parameter of a window message
using LRESULT = std::intptr_t;  ///< the result of a sent window message
