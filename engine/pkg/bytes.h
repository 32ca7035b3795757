#pragma once
// Byte-level rules of the package format: the 64-bit countdown of an
// entry's declared length, the key stream that masks it, little-endian words.

#include <cstddef>
#include <cstdint>

namespace pkg {

// Adds delta to the signed 64-bit count held as (high, low), with carry into
// or borrow from the high half.
void AddToPosition64(int32_t* high, uint32_t* low, int32_t delta);

// XORs buffer with the 4-byte key stream (key bytes least significant first)
// aligned to the stream position *position of buffer[0], a word at a time,
// and advances *position by length. Applying it twice restores the bytes.
void XorWithKey(uint32_t key, void* buffer, std::size_t length, uint32_t* position);

// Little-endian 32-bit load and store.
inline uint32_t LoadLE32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline void StoreLE32(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

}  // namespace pkg
