#pragma once
// SHA-256 and ECDSA over the curve P-256, done by the system's library:
// CNG (bcrypt.dll, taken from the system folder by its full path) on
// Windows, OpenSSL's libcrypto elsewhere (crypto_win.cpp, crypto_posix.cpp).
// Nothing here hashes or signs by itself; the portable part only carries
// bytes: hexadecimal text, key IDs and the key files' text form.
//
// A signature is r || s (32 bytes each, big-endian) over the SHA-256 of the
// signed bytes; a public key is the point's X || Y (32 bytes each).

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace crypto {

using Digest = std::array<unsigned char, 32>;
using PublicKey = std::array<unsigned char, 64>;
using Signature = std::array<unsigned char, 64>;

struct PrivateKey {
    std::array<unsigned char, 32> scalar{};
    PublicKey point{};
};

// The library is missing or refused an operation that cannot fail on sound
// input (hashing, signing, making a key).
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Sha256 {
public:
    Sha256();  // throws Error
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, std::size_t size);  // throws Error
    Digest Final();                                   // once; throws Error

private:
    struct State;
    std::unique_ptr<State> m_state;
};

Digest Sha256Of(const void* data, std::size_t size);

// Whether signature is key's over digest. false for anything that is not a
// good signature: a point off the curve, r or s out of range, a library
// that is missing.
bool Verify(const PublicKey& key, const Digest& digest, const Signature& signature);

// The vendor's side (updpkg). Both throw Error.
PrivateKey GenerateKey();
Signature Sign(const PrivateKey& key, const Digest& digest);

// --- Encoding (portable) ---------------------------------------------------

// Lower-case hexadecimal, two digits a byte.
std::string ToHex(const unsigned char* bytes, std::size_t size);
template <std::size_t N>
std::string ToHex(const std::array<unsigned char, N>& bytes) {
    return ToHex(bytes.data(), N);
}
// Exactly 2 * size lower-case hexadecimal digits; false for anything else
// (upper case too: one value, one spelling, so a changed byte of a signed
// text never reads as the same value).
bool FromHex(const std::string& text, unsigned char* out, std::size_t size);
template <std::size_t N>
bool FromHex(const std::string& text, std::array<unsigned char, N>& out) {
    return FromHex(text, out.data(), N);
}

// The key's ID: the first 8 bytes of the SHA-256 of the uncompressed point
// (04 || X || Y), as 16 hexadecimal digits.
std::string KeyId(const PublicKey& key);

// The key files. vendor.key:
//     KVKEY PRIVATE P-256 1
//     id <key ID>
//     private <scalar, 64 hex digits>
//     public <X || Y, 128 hex digits>
// vendor.pub the same without the private line and with PUBLIC in the
// first line. Lines end in LF or CRLF.
std::string FormatPrivateKeyFile(const PrivateKey& key);
std::string FormatPublicKeyFile(const PublicKey& key);
// nullopt with why set when the text is not that form, its ID does not
// match, or (private) the scalar does not belong to the point.
std::optional<PrivateKey> ParsePrivateKeyFile(const std::string& text, std::string& why);
std::optional<PublicKey> ParsePublicKeyFile(const std::string& text, std::string& why);

}  // namespace crypto
