// Clearing of secrets (key octets, chaining values, private temporaries) in a way
// the optimiser cannot drop as a dead store.
#pragma once

#include <cstddef>
#include <cstring>

inline void SecureWipe(void* data, std::size_t size) {
    std::memset(data, 0, size);
    // The empty statement claims to read the memory, so the stores must happen.
    __asm__ __volatile__("" : : "r"(data) : "memory");
}

// A fixed octet buffer that is wiped when it dies, however its scope is left.
template <std::size_t N>
struct CWipedOctets {
    unsigned char data[N];
    CWipedOctets() = default;
    CWipedOctets(const CWipedOctets&) = delete;
    CWipedOctets& operator=(const CWipedOctets&) = delete;
    ~CWipedOctets() { SecureWipe(data, N); }
};
