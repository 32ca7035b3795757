#pragma once
// updpkg list, verify and extract: every entry checked by the shared package
// reader, several entries at once (ordered_pool.h). The entries' length words
// let a scan find where each entry starts without inflating it; each thread
// reads one entry at a time with its own file handle and its own reader
// (fixed buffers), and the results are taken in package order, so the
// outcome is the one a single reader from start to end would give: the first
// damaged entry is the one reported, and nothing after it is placed. Every
// entry goes through the shared reader, with the zlib SETUP.EXE uses, so the
// verdict is SETUP.EXE's. Extraction holds a small entry in memory until its
// turn and a large one in a scratch file, places the entries as Windows would
// (placement.h) and never writes through a link.

#include <cstdint>
#include <functional>
#include <string>

#include "engine/pkg/reader.h"

namespace updpkg {

struct ReadOptions {
    std::string package;
    uint32_t key = 0;
    unsigned jobs = 1;
    // Extract below this folder; empty: check only.
    std::string extractTo;
    // Called for every sound entry, in package order.
    std::function<void(const pkg::EntryInfo&)> onEntry;
};

struct ReadSummary {
    uint64_t entries = 0;
    uint64_t bytes = 0;  // inflated
};

// Throws pkg::FormatError for a damaged package (after placing the entries
// before the damaged one) and FileError for a file that cannot be read or
// written.
ReadSummary ReadPackageFile(const ReadOptions& options);

}  // namespace updpkg
