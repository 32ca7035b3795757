// libFuzzer target: the same bytes through updpkg's reading of a package
// file (entries found by their length words and read by several workers)
// and through one streaming reader from start to end with the placement
// check, as SETUP.EXE reads and places them. Any difference in the verdict (reason, zlib code, entry, position)
// or in the entries found sound aborts.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "engine/pkg/entry_name.h"
#include "engine/pkg/memory.h"
#include "fuzz_key.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/read.h"

namespace {

struct Verdict {
    std::optional<pkg::FormatError> error;
    std::vector<pkg::EntryInfo> entries;
};

class Collect : public pkg::EntrySink {
public:
    explicit Collect(std::vector<pkg::EntryInfo>& out) : m_out(out) {}
    void BeginEntry(const pkg::EntryInfo&) override {}
    void Write(const unsigned char*, std::size_t) override {}
    // SETUP.EXE's copy to the FILES folder fails where Windows cannot place
    // the entry after the earlier ones.
    void EntryVerified(const pkg::EntryInfo& info) override {
        m_layout.Place(info.name, info.index, info.end);
        m_out.push_back(info);
    }

private:
    std::vector<pkg::EntryInfo>& m_out;
    pkg::PlacementCheck m_layout;
};

Verdict BySetup(const uint8_t* data, size_t size) {
    Verdict v;
    pkg::MemorySource source(data, size);
    Collect sink(v.entries);
    try {
        pkg::ReadPackage(source, fuzzing::kKey, sink);
    } catch (const pkg::FormatError& e) {
        v.error = e;
    }
    return v;
}

const std::string& PackagePath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/updpkg_read_fuzz." + std::to_string(getpid()) + ".kvub";
    }();
    return path;
}

Verdict ByUpdpkg(const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(PackagePath().c_str(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) {
        std::fprintf(stderr, "cannot write %s\n", PackagePath().c_str());
        std::abort();
    }
    Verdict v;
    updpkg::ReadOptions o;
    o.package = PackagePath();
    o.key = fuzzing::kKey;
    o.jobs = 3;  // more workers than entries in most inputs: the order must still hold
    o.onEntry = [&](const pkg::EntryInfo& e) { v.entries.push_back(e); };
    try {
        updpkg::ReadPackageFile(o);
    } catch (const pkg::FormatError& e) {
        v.error = e;
    } catch (const updpkg::FileError& e) {
        std::fprintf(stderr, "file error on a package at rest: %s\n", e.what());
        std::abort();
    }
    return v;
}

[[noreturn]] void Differ(const char* what) {
    std::fprintf(stderr, "updpkg and the streaming reader differ: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Verdict want = BySetup(data, size);
    const Verdict got = ByUpdpkg(data, size);
    if (want.error.has_value() != got.error.has_value()) Differ(want.error ? "updpkg accepts" : "updpkg refuses");
    if (want.error) {
        const pkg::FormatError& a = *want.error;
        const pkg::FormatError& b = *got.error;
        if (a.reason() != b.reason()) Differ("reason");
        if (a.zlibCode() != b.zlibCode()) Differ("zlib code");
        if (a.entryIndex() != b.entryIndex()) Differ("entry");
        if (a.position() != b.position()) Differ("position");
        if (a.entryName() != b.entryName()) Differ("entry name");
    }
    if (want.entries.size() != got.entries.size()) Differ("number of sound entries");
    for (std::size_t i = 0; i < want.entries.size(); ++i) {
        const pkg::EntryInfo& a = want.entries[i];
        const pkg::EntryInfo& b = got.entries[i];
        if (a.name != b.name || a.start != b.start || a.end != b.end || a.checksum != b.checksum ||
            a.compressedSize != b.compressedSize || a.uncompressedSize != b.uncompressedSize)
            Differ("a sound entry");
    }
    return 0;
}
