// The key files' text form (updpkg alone reads and writes them).
#include <vector>

#include "util/crypto.h"

namespace crypto {

namespace {

const char kPrivateForm[] = "KVKEY PRIVATE P-256 1";
const char kPublicForm[] = "KVKEY PUBLIC P-256 1";

// The file's lines without their ends ("\n" or "\r\n"); a last line without
// an end counts too.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// "name value" lines after the first, each name once, in this order.
bool Fields(const std::vector<std::string>& lines, const std::vector<std::string>& names,
            std::vector<std::string>& values, std::string& why) {
    if (lines.size() != names.size() + 1) {
        why = "expected " + std::to_string(names.size() + 1) + " lines";
        return false;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& line = lines[i + 1];
        if (line.compare(0, names[i].size() + 1, names[i] + " ") != 0) {
            why = "line " + std::to_string(i + 2) + " is not '" + names[i] + " ...'";
            return false;
        }
        values.push_back(line.substr(names[i].size() + 1));
    }
    return true;
}

bool ReadPoint(const std::string& hex, const std::string& id, PublicKey& point, std::string& why) {
    if (!FromHex(hex, point)) {
        why = "the public key is not 128 lower-case hexadecimal digits";
        return false;
    }
    if (id != KeyId(point)) {
        why = "its key ID " + id + " is not the ID of its public key (" + KeyId(point) + ")";
        return false;
    }
    return true;
}

}  // namespace

std::string FormatPrivateKeyFile(const PrivateKey& key) {
    return std::string(kPrivateForm) + "\nid " + KeyId(key.point) + "\nprivate " + ToHex(key.scalar) +
           "\npublic " + ToHex(key.point) + "\n";
}

std::string FormatPublicKeyFile(const PublicKey& key) {
    return std::string(kPublicForm) + "\nid " + KeyId(key) + "\npublic " + ToHex(key) + "\n";
}

std::optional<PrivateKey> ParsePrivateKeyFile(const std::string& text, std::string& why) {
    const std::vector<std::string> lines = Lines(text);
    if (lines.empty() || lines[0] != kPrivateForm) {
        why = std::string("not a private key file (its first line is not '") + kPrivateForm + "')";
        return std::nullopt;
    }
    std::vector<std::string> v;
    if (!Fields(lines, {"id", "private", "public"}, v, why)) return std::nullopt;
    PrivateKey key;
    if (!FromHex(v[1], key.scalar)) {
        why = "the private key is not 64 lower-case hexadecimal digits";
        return std::nullopt;
    }
    if (!ReadPoint(v[2], v[0], key.point, why)) return std::nullopt;
    // A scalar that does not belong to the point would sign media that no
    // SETUP.EXE holding this public key accepts: proven here, once.
    Digest probe{};
    probe[0] = 1;
    bool pairs = false;
    try {
        pairs = Verify(key.point, probe, Sign(key, probe));
    } catch (const Error&) {
    }
    if (!pairs) {
        why = "its private key does not belong to its public key";
        return std::nullopt;
    }
    return key;
}

std::optional<PublicKey> ParsePublicKeyFile(const std::string& text, std::string& why) {
    const std::vector<std::string> lines = Lines(text);
    if (lines.empty() || lines[0] != kPublicForm) {
        why = std::string("not a public key file (its first line is not '") + kPublicForm + "')";
        return std::nullopt;
    }
    std::vector<std::string> v;
    if (!Fields(lines, {"id", "public"}, v, why)) return std::nullopt;
    PublicKey point;
    if (!ReadPoint(v[1], v[0], point, why)) return std::nullopt;
    return point;
}

}  // namespace crypto
