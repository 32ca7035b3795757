#pragma once
// Adler-32 (RFC 1950) of the inflated bytes: the sum that ends every zlib
// stream, computed by the reader itself (see the reader's Inflate) because
// zlib's own loop costs a tenth of an extraction.

#include <cstddef>
#include <cstdint>

namespace pkg {

// The running sum after size more bytes; 1 starts a stream. Equal to zlib's
// adler32(adler, data, size) for every adler below 65521 in both halves.
uint32_t Adler32(uint32_t adler, const unsigned char* data, std::size_t size);

}  // namespace pkg
