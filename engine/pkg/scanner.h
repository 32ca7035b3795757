#pragma once
// The entries' length words: read at the head of each entry, and walked
// from one entry to the next without reading names or inflating, so that
// entries can be handed to readers working side by side.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "engine/pkg/source.h"

namespace pkg {

// The two plain length words at the head of an entry.
enum class LengthWords { End, Complete, Short };

// Reads the 8 length bytes into words: End when the source gave no byte at
// all (the clean end of a package), Short for 1 to 7 bytes. *count receives
// the number of bytes read.
LengthWords ReadLengthWords(ByteSource& source, unsigned char words[8], std::size_t* count);

// The entry's remaining length (the count of bytes after the length words).
uint64_t RemainingLength(const unsigned char words[8]);

// Where an entry lies, as its length words say.
struct EntrySpan {
    uint64_t index = 0;   // 0-based, in package order
    uint64_t offset = 0;  // package offset of its first length word
    uint64_t end = 0;     // offset + 8 + remaining length; 0 when last
    // Its length words are cut or count past the end of the package (or no
    // byte was there any more): no later entry can be found. A reader of
    // the entry reports what is wrong with it.
    bool last = false;
};

// Hands out the entries of a package of size bytes, one span at a time, in
// package order; reads only the 8 length bytes of each.
class EntryScanner {
public:
    EntryScanner(SeekableSource& source, uint64_t size, uint64_t firstOffset);

    // The next entry, or nullopt once the package has been walked.
    std::optional<EntrySpan> Next();

private:
    SeekableSource& m_source;
    const uint64_t m_size;
    uint64_t m_next;
    uint64_t m_index = 0;
    bool m_done = false;
};

}  // namespace pkg
