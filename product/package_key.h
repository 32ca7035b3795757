#pragma once
// The package key: the CRC-32 (zlib's) of every byte of the product's
// library, which the package is masked with. The one computation, for
// SETUP.EXE's product check, updpkg and the tests alike.

#include <cstdint>

#include "engine/pkg/source.h"

namespace product {

// Reads library to its end. A read that fails throws the source's own
// exception, which passes through.
uint32_t PackageKey(pkg::ByteSource& library);

}  // namespace product
