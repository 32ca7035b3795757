#pragma once
// The vendor's public key inside SETUP.EXE. The build leaves the place for
// it empty; updpkg writes the key into the copy of SETUP.EXE on a medium
// (so a vendor needs no build of their own), and from then on that
// SETUP.EXE installs only media signed with the key (SETUP.SIG).
//
// The place is a section of its own, ".kvkey", found by updpkg through the
// PE section table. It holds kSlotSize bytes:
//     0  16  the marker kMagic
//    16   4  1 (little-endian) when a key is written, 0 in the build
//    20  12  zero
//    32  64  the public key, X || Y (zero in the build)
//    96  32  zero
// scripts/repro-check.sh sets bytes 16 to 96 aside when it compares a
// published SETUP.EXE with its build.

#include <cstddef>
#include <optional>

#include "util/crypto.h"

namespace trustedkey {

constexpr char kSectionName[] = ".kvkey";
constexpr std::size_t kSlotSize = 128;
constexpr unsigned char kMagic[16] = {'K', 'V', 'U', 'P', 'D', ' ', 'K', 'E', 'Y', ' ', 'S', 'L', 'O', 'T', ' ', '1'};
constexpr std::size_t kPresentAt = 16;
constexpr std::size_t kPointAt = 32;

// SETUP.EXE: the key written into its own slot, or nothing.
std::optional<crypto::PublicKey> Trusted();

}  // namespace trustedkey
