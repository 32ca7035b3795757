#include "util/crypto.h"

namespace crypto {

namespace {

const char kDigits[] = "0123456789abcdef";

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string ToHex(const unsigned char* bytes, std::size_t size) {
    std::string out;
    out.reserve(2 * size);
    for (std::size_t i = 0; i < size; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

bool FromHex(const std::string& text, unsigned char* out, std::size_t size) {
    if (text.size() != 2 * size) return false;
    for (std::size_t i = 0; i < size; ++i) {
        const int hi = DigitValue(text[2 * i]), lo = DigitValue(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        out[i] = static_cast<unsigned char>(hi << 4 | lo);
    }
    return true;
}

Digest Sha256Of(const void* data, std::size_t size) {
    Sha256 hash;
    hash.Update(data, size);
    return hash.Final();
}

std::string KeyId(const PublicKey& key) {
    unsigned char uncompressed[65];
    uncompressed[0] = 0x04;
    for (std::size_t i = 0; i < key.size(); ++i) uncompressed[i + 1] = key[i];
    return ToHex(Sha256Of(uncompressed, sizeof uncompressed).data(), 8);
}

}  // namespace crypto
