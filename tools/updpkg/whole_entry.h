#pragma once
// A quicker way through an entry that is held whole in memory: libdeflate
// inflates it in one call, about twice as fast as zlib's streaming
// inflate. It only ever says yes: an entry it does not find plainly sound is
// left to the shared streaming reader, whose verdict is the one reported,
// so list, verify and extract judge a package as SETUP.EXE does.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/package_reader.h"
#include "tools/updpkg/buffer.h"

namespace updpkg {

// Entries whose bytes after the length words are at most this many go this
// way when the build has libdeflate; larger ones are always streamed.
constexpr uint64_t kWholeEntryLimit = 4ull << 20;
// The inflated bytes of such an entry are held up to this many; an entry
// that inflates to more is streamed.
constexpr std::size_t kWholeOutputLimit = 32u << 20;

// One per thread: libdeflate's state and the buffers, reused.
class WholeEntryDecoder {
public:
    WholeEntryDecoder();
    ~WholeEntryDecoder();
    WholeEntryDecoder(const WholeEntryDecoder&) = delete;
    WholeEntryDecoder& operator=(const WholeEntryDecoder&) = delete;

    // Whether this build can decode entries whole at all.
    static bool Available();

    // entry: the whole entry from its length words on, as stored; it is
    // unmasked in place, so it is of no further use. On true, info
    // is complete (start and index as given) and data() holds the inflated
    // bytes.
    bool Decode(unsigned char* entry, std::size_t size, uint32_t key, uint64_t start, uint64_t index,
                pkg::EntryInfo& info);

    const unsigned char* data() const { return m_out.data(); }
    std::size_t size() const { return m_size; }

private:
    bool Inflate(const unsigned char* data, std::size_t size);

    void* m_decompressor = nullptr;
    Bytes m_out;
    std::size_t m_size = 0;
};

}  // namespace updpkg
