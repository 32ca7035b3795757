#pragma once
// One owning wrapper for every kind of Windows handle the program holds,
// with its kernel, search, local-memory, module and hook kinds.

#include <windows.h>

#include <utility>

#include "platform/last_error.h"

namespace platform {

inline bool IsValidHandle(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

// Owns one handle of the kind Traits describes:
//   using Type = ...;              the handle type
//   static Type None();            the value held when nothing is
//   static bool IsValid(Type h);   whether h is something to close
//   static void Close(Type h);     closes it
// Move-only. Closing keeps the last error, so that an owner going out of
// scope on a failure path never changes the error its caller reports.
// The kinds: below; RegKey in regkey.h; Bitmap and MemoryDC in gdi.h;
// WindowHandle in window.h.
template <class Traits>
class Owned {
public:
    using Type = typename Traits::Type;

    Owned() = default;
    explicit Owned(Type h) : m_h(h) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& o) noexcept : m_h(o.release()) {}
    Owned& operator=(Owned&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    ~Owned() { reset(); }

    Type get() const { return m_h; }
    bool valid() const { return Traits::IsValid(m_h); }
    explicit operator bool() const { return valid(); }
    // Gives the handle up to the caller; nothing is held afterwards.
    Type release() { return std::exchange(m_h, Traits::None()); }
    // Closes what is held and takes h instead.
    void reset(Type h = Traits::None()) {
        if (valid()) {
            LastErrorKeeper keep;
            Traits::Close(m_h);
        }
        m_h = h;
    }
    // For functions that return a handle through a pointer (RegOpenKeyExW,
    // FormatMessageW's buffer): closes what is held, then gives the slot.
    Type* out() {
        reset();
        return &m_h;
    }

private:
    Type m_h = Traits::None();
};

// The common case of the traits: a null handle is none.
template <class T>
struct NullIsNone {
    using Type = T;
    static Type None() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
};

// Kernel handles closed with CloseHandle (files, threads, processes,
// events, ...); NULL and INVALID_HANDLE_VALUE alike mean "none".
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type None() { return nullptr; }
    static bool IsValid(Type h) { return IsValidHandle(h); }
    static void Close(Type h) { ::CloseHandle(h); }
};
using Handle = Owned<KernelHandleTraits>;

// Directory searches of FindFirstFileW, closed with FindClose.
// (what FindFirstFileW returns when it fails is the "none").
struct FindHandleTraits : KernelHandleTraits {
    static Type None() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::FindClose(h); }
};
using FindHandle = Owned<FindHandleTraits>;

// Memory the system allocated with LocalAlloc for the caller (a message
// text, a security descriptor), freed with LocalFree.
template <class T>
struct LocalMemoryTraits : NullIsNone<T*> {
    static void Close(T* p) { ::LocalFree(p); }
};
template <class T>
using LocalMemory = Owned<LocalMemoryTraits<T>>;

// A loaded DLL, freed with FreeLibrary.
struct ModuleTraits : NullIsNone<HMODULE> {
    static void Close(HMODULE h) { ::FreeLibrary(h); }
};
using Module = Owned<ModuleTraits>;

// A hook of SetWindowsHookExA, removed with UnhookWindowsHookEx.
struct HookTraits : NullIsNone<HHOOK> {
    static void Close(HHOOK h) { ::UnhookWindowsHookEx(h); }
};
using WindowsHook = Owned<HookTraits>;

}  // namespace platform
