/// \file
/// Buffers of secrets (key octets, chaining values, private temporaries) that clear themselves.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "vorlan/framework/securewipe.h"

namespace vorlan::detail {

/// A fixed buffer that is wiped when it dies, however its scope is left.
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

/// Wipes every block before giving it back, so a growing or dying vector leaves no copy behind.
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

/// A growable buffer of secrets.
template <class T>
using CWipedVector = std::vector<T, CWipingAllocator<T>>;

}  // namespace vorlan::detail
