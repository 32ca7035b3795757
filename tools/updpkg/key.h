#pragma once
// The package key: the CRC-32 of the product's library file.

#include <cstdint>
#include <string>

namespace updpkg {

// product::PackageKey of the file. Throws FileError when it cannot be read
// (SETUP.EXE would fall back to key 0 there; a vendor wants to know).
uint32_t LibraryKey(const std::string& path);

}  // namespace updpkg
