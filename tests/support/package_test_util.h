#pragma once
// Helpers of the package tests: an encoder written apart from PackageWriter
// (so the two cannot share a mistake) that can also build the faulty entries
// the writer refuses to make, and a sink that records what the reader hands
// over.

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/pkg/format.h"
#include "engine/pkg/memory.h"
#include "engine/pkg/reader.h"

namespace testsupport {

using Bytes = std::vector<unsigned char>;

inline Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline Bytes Header() { return {'K', 'V', 'U', 'B', 0, 0, 0, 1}; }

inline Bytes Zlib(const Bytes& plain, int level = 6) {
    uLongf size = compressBound(static_cast<uLong>(plain.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, plain.data(), static_cast<uLong>(plain.size()), level) != Z_OK) {
        throw std::runtime_error("compress2");
    }
    out.resize(size);
    return out;
}

// Bytes that deflate cannot shrink, so their stream spans many pieces.
inline Bytes Noise(std::size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(size);
    for (auto& x : b) x = static_cast<unsigned char>(rng());
    return b;
}

// One entry, byte by byte as the format lays it out. nameBytes are written as
// given (the caller adds the terminating zero or leaves it out); the length
// and the checksum are the right ones unless overridden.
struct RawEntry {
    Bytes nameBytes;
    Bytes data;  // the compressed bytes, and anything after the stream
    std::optional<uint64_t> remaining;
    std::optional<uint32_t> checksum;

    static RawEntry Of(const std::string& name, const Bytes& compressed) {
        RawEntry e;
        e.nameBytes = ToBytes(name);
        e.nameBytes.push_back(0);
        e.data = compressed;
        return e;
    }

    Bytes Encode(uint32_t key) const {
        Bytes masked = nameBytes;
        masked.insert(masked.end(), data.begin(), data.end());
        uLong crc = crc32(0, nullptr, 0);
        crc = crc32(crc, masked.data(), static_cast<uInt>(masked.size()));
        const uint32_t sum = checksum.value_or(static_cast<uint32_t>(crc));
        for (int i = 0; i < 4; ++i) masked.push_back(static_cast<unsigned char>(sum >> (8 * i)));
        for (std::size_t k = 0; k < masked.size(); ++k) {
            masked[k] ^= static_cast<unsigned char>(key >> (8 * (k % 4)));
        }
        const uint64_t length = remaining.value_or(masked.size());
        Bytes out;
        for (int i = 0; i < 8; ++i) out.push_back(static_cast<unsigned char>(length >> (8 * i)));
        out.insert(out.end(), masked.begin(), masked.end());
        return out;
    }
};

inline Bytes Package(const std::vector<RawEntry>& entries, uint32_t key) {
    Bytes out = Header();
    for (const RawEntry& e : entries) {
        Bytes b = e.Encode(key);
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

// Records every call of the reader, and checks the order of the calls.
class RecordingSink : public pkg::EntrySink {
public:
    struct Entry {
        std::string name;
        Bytes data;
        bool ended = false;
        bool verified = false;
        pkg::EntryInfo info;
    };
    std::vector<Entry> entries;
    std::size_t largestPiece = 0;
    std::string protocolFault;  // empty while the calls come in the documented order

    void BeginEntry(const pkg::EntryInfo& info) override {
        if (!entries.empty() && !entries.back().verified) protocolFault = "BeginEntry after a failed entry";
        entries.push_back({info.name, {}, false, false, info});
    }
    void Write(const unsigned char* data, std::size_t size) override {
        if (entries.empty() || entries.back().ended) protocolFault = "Write outside an entry";
        if (size == 0 || size > pkg::kBufferSize) protocolFault = "piece of " + std::to_string(size);
        largestPiece = std::max(largestPiece, size);
        entries.back().data.insert(entries.back().data.end(), data, data + size);
    }
    void EndData(const pkg::EntryInfo& info) override {
        if (entries.empty() || entries.back().ended) protocolFault = "EndData twice";
        if (info.uncompressedSize != entries.back().data.size()) protocolFault = "EndData size";
        entries.back().ended = true;
    }
    void EntryVerified(const pkg::EntryInfo& info) override {
        if (entries.empty() || !entries.back().ended) protocolFault = "EntryVerified before EndData";
        entries.back().verified = true;
        entries.back().info = info;
    }

    std::size_t VerifiedCount() const {
        std::size_t n = 0;
        for (const Entry& e : entries) n += e.verified;
        return n;
    }
};

// Reads a whole package; the FormatError, if any, is returned.
inline std::optional<pkg::FormatError> Read(const Bytes& package, uint32_t key, RecordingSink& sink) {
    pkg::MemorySource source(package);
    try {
        pkg::ReadPackage(source, key, sink);
    } catch (const pkg::FormatError& e) {
        return e;
    }
    return std::nullopt;
}

}  // namespace testsupport
