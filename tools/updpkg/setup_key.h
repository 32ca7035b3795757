#pragma once
// The vendor's key in a SETUP.EXE image: the place the build reserves for
// it (app/trusted_key.h), found through the PE section table, and whether
// the image is already signed with Authenticode.

#include <cstdint>
#include <optional>
#include <string>

#include "util/crypto.h"

namespace updpkg {

struct KeySlot {
    uint64_t offset = 0;                  // of the slot in the file
    std::optional<crypto::PublicKey> key;  // the key written there, if any
};

// nullopt when the image has no such place (not a SETUP.EXE, or one built
// before there were signed media).
std::optional<KeySlot> FindKeySlot(const std::string& image);

// The image carries a certificate table (an Authenticode signature), which
// writing the key would break.
bool IsAuthenticodeSigned(const std::string& image);

// Writes key into the slot and marks it present.
void PutKey(std::string& image, const KeySlot& slot, const crypto::PublicKey& key);

}  // namespace updpkg
