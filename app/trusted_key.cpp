#include "app/trusted_key.h"

namespace trustedkey {

namespace {

// Read through volatile accesses: the compiler must not take the zeros of
// the build for the key, which updpkg changes in the file afterwards.
__attribute__((section(".kvkey"), used)) const volatile unsigned char g_slot[kSlotSize] = {
    'K', 'V', 'U', 'P', 'D', ' ', 'K', 'E', 'Y', ' ', 'S', 'L', 'O', 'T', ' ', '1'};

}  // namespace

std::optional<crypto::PublicKey> Trusted() {
    for (std::size_t i = 0; i < sizeof kMagic; ++i) {
        if (g_slot[i] != kMagic[i]) return std::nullopt;
    }
    const unsigned present = g_slot[kPresentAt] | g_slot[kPresentAt + 1] << 8 | g_slot[kPresentAt + 2] << 16 |
                             static_cast<unsigned>(g_slot[kPresentAt + 3]) << 24;
    if (present != 1) return std::nullopt;
    crypto::PublicKey key;
    for (std::size_t i = 0; i < key.size(); ++i) key[i] = g_slot[kPointAt + i];
    return key;
}

}  // namespace trustedkey
