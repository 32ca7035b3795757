// libFuzzer target: the package reader over an in-memory package. Whatever
// the bytes, the reader must end with a clean end or a FormatError, and what
// it hands to the sink must keep the reader's own promises.
#include <cstdlib>
#include <cstdio>

#include "engine/pkg/entry_name.h"
#include "engine/pkg/memory.h"
#include "fuzz_key.h"

namespace {

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "reader broke a promise: %s\n", what);
    std::abort();
}

class CheckingSink : public pkg::EntrySink {
public:
    void BeginEntry(const pkg::EntryInfo& info) override {
        if (m_open) Broken("BeginEntry inside an entry");
        if (!pkg::IsSafeEntryName(info.name)) Broken("unsafe name handed to the sink");
        if (info.name.size() > pkg::kMaxNameLength) Broken("name longer than the limit");
        if (info.index != m_verified) Broken("entry index out of order");
        m_open = true;
        m_dataEnded = false;
        m_written = 0;
    }
    void Write(const unsigned char* data, std::size_t size) override {
        if (!m_open || m_dataEnded) Broken("Write outside an entry's data");
        if (size == 0 || size > pkg::kBufferSize) Broken("piece size out of range");
        volatile unsigned char sum = 0;  // touch every byte for the sanitizers
        for (std::size_t i = 0; i < size; ++i) sum = sum + data[i];
        m_written += size;
    }
    void EndData(const pkg::EntryInfo& info) override {
        if (!m_open || m_dataEnded) Broken("EndData out of order");
        if (info.uncompressedSize != m_written) Broken("uncompressed size differs from bytes written");
        m_dataEnded = true;
    }
    void EntryVerified(const pkg::EntryInfo& info) override {
        if (!m_open || !m_dataEnded) Broken("EntryVerified before the data ended");
        if (info.end <= info.start) Broken("entry end not after its start");
        m_open = false;
        ++m_verified;
        m_lastEnd = info.end;
    }
    uint64_t verified() const { return m_verified; }
    uint64_t lastEnd() const { return m_lastEnd; }

private:
    bool m_open = false;
    bool m_dataEnded = false;
    uint64_t m_written = 0;
    uint64_t m_verified = 0;
    uint64_t m_lastEnd = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pkg::MemorySource source(data, size);
    CheckingSink sink;
    pkg::PackageReader reader(source, fuzzing::kKey);
    try {
        reader.ReadHeader();
        while (reader.ReadEntry(sink)) {
            if (reader.Position() != sink.lastEnd()) Broken("position differs from the entry's end");
        }
        // A clean end: every byte was consumed.
        if (reader.Position() != size || source.Offset() != size) Broken("clean end before the last byte");
    } catch (const pkg::FormatError& e) {
        if (e.position() > size) Broken("error position beyond the package");
    }
    return 0;
}
