/// \file
/// Clearing of secrets in a way the optimiser cannot drop as a dead store.
#pragma once

#include <cstddef>
#include <cstring>

/// Sets `size` octets at `data` to zero, also when they are never read again.
inline void SecureWipe(void* data, std::size_t size) {
    std::memset(data, 0, size);
    // The empty statement claims to read the memory, so the stores must happen.
    __asm__ __volatile__("" : : "r"(data) : "memory");
}
