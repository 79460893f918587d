// Clearing of secrets (key octets, chaining values, private temporaries) in a way
// the optimiser cannot drop as a dead store, and buffers that clear themselves.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

inline void SecureWipe(void* data, std::size_t size) {
    std::memset(data, 0, size);
    // The empty statement claims to read the memory, so the stores must happen.
    __asm__ __volatile__("" : : "r"(data) : "memory");
}

namespace vorlan::detail {

// A fixed buffer that is wiped when it dies, however its scope is left.
template <class T, std::size_t N>
struct CWipedArray {
    T data[N];
    CWipedArray() = default;
    CWipedArray(const CWipedArray&) = delete;
    CWipedArray& operator=(const CWipedArray&) = delete;
    ~CWipedArray() { SecureWipe(data, sizeof data); }
};

template <std::size_t N>
using CWipedOctets = CWipedArray<unsigned char, N>;

// Wipes every block before giving it back, so a growing or dying vector leaves no copy behind.
template <class T>
struct CWipingAllocator {
    using value_type = T;
    CWipingAllocator() = default;
    template <class U>
    CWipingAllocator(const CWipingAllocator<U>&) noexcept {}  // NOLINT: rebinding is implicit
    T* allocate(std::size_t n) { return std::allocator<T>().allocate(n); }
    void deallocate(T* p, std::size_t n) noexcept {
        SecureWipe(p, n * sizeof(T));
        std::allocator<T>().deallocate(p, n);
    }
    template <class U>
    bool operator==(const CWipingAllocator<U>&) const noexcept {
        return true;
    }
};

// A growable buffer of secrets.
template <class T>
using CWipedVector = std::vector<T, CWipingAllocator<T>>;

}  // namespace vorlan::detail
