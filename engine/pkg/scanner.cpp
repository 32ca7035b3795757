#include "engine/pkg/scanner.h"

#include "engine/pkg/bytes.h"

namespace pkg {

LengthWords ReadLengthWords(ByteSource& source, unsigned char words[8], std::size_t* count) {
    *count = ReadFully(source, words, 8);
    if (*count == 0) return LengthWords::End;
    return *count == 8 ? LengthWords::Complete : LengthWords::Short;
}

uint64_t RemainingLength(const unsigned char words[8]) {
    return static_cast<uint64_t>(LoadLE32(words + 4)) << 32 | LoadLE32(words);
}

EntryScanner::EntryScanner(SeekableSource& source, uint64_t size, uint64_t firstOffset)
    : m_source(source), m_size(size), m_next(firstOffset) {}

std::optional<EntrySpan> EntryScanner::Next() {
    if (m_done || m_next >= m_size) return std::nullopt;
    EntrySpan span;
    span.index = m_index++;
    span.offset = m_next;
    m_source.Seek(span.offset);
    unsigned char words[8];
    std::size_t count = 0;
    span.last = true;
    if (ReadLengthWords(m_source, words, &count) == LengthWords::Complete) {
        // Counted against what is left after the words, so a huge length
        // cannot wrap; a file grown since its size was taken is no excuse.
        const uint64_t left = m_size - span.offset;
        const uint64_t remaining = RemainingLength(words);
        if (left >= 8 && remaining <= left - 8) {
            span.end = span.offset + 8 + remaining;
            span.last = false;
            m_next = span.end;
        }
    }
    m_done = span.last;
    return span;
}

}  // namespace pkg
