#pragma once
// The byte buffer of updpkg's whole-file and whole-entry work.

#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace updpkg {

// Leaves new elements uninitialised: buffers that are sized first and filled
// afterwards (whole files, compressed output) skip a pass of zeroes.
template <class T>
struct UninitAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitAllocator<U>;
    };
    UninitAllocator() = default;
    template <class U>
    UninitAllocator(const UninitAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... A>
    void construct(U* p, A&&... a) {
        ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
    }
};
using Bytes = std::vector<unsigned char, UninitAllocator<unsigned char>>;

}  // namespace updpkg
