#include "engine/pkg/bytes.h"

namespace pkg {

void AddToPosition64(int32_t* high, uint32_t* low, int32_t delta) {
    const uint32_t old = *low;
    *low = old + static_cast<uint32_t>(delta);
    // The high half is a two's-complement word; unsigned arithmetic keeps a
    // borrow below INT32_MIN from being undefined.
    uint32_t h = static_cast<uint32_t>(*high);
    if (delta > 0 && *low < old) ++h;
    if (delta < 0 && *low > old) --h;
    *high = static_cast<int32_t>(h);
}

void XorWithKey(uint32_t key, void* buffer, std::size_t length, uint32_t* position) {
    const unsigned s = (*position % 4) * 8;
    const uint32_t rotated = s ? (key >> s) | (key << (32 - s)) : key;
    unsigned char* p = static_cast<unsigned char*>(buffer);
    std::size_t words = length / 4;
    for (std::size_t i = 0; i < words; ++i, p += 4) {
        StoreLE32(p, LoadLE32(p) ^ rotated);
    }
    for (std::size_t i = 0; i < length % 4; ++i) {
        p[i] ^= static_cast<unsigned char>(rotated >> (8 * i));
    }
    *position += static_cast<uint32_t>(length);
}

}  // namespace pkg
