// libFuzzer target: the journal reader as the next run reads a journal it
// finds (Parse, then Validate against the update's destinations). Whatever
// the bytes, it refuses with a short reason, or its records read the same
// from their own text form and, once validated, lie in the destinations.
#include <cstdio>
#include <cstdlib>

#include "engine/install_journal.h"
#include "util/name_key.h"

namespace {

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "journal reader broke a promise: %s\n", what);
    std::abort();
}

const std::vector<std::string> kRoots = {"C:\\Zomi7", "C:\\WINDOWS\\system32", "\\\\host\\share\\Z"};

// Every path the update writes is in its full form already.
std::string SameForm(const std::string& path) { return path; }

bool InTheDestinations(const std::string& path) {
    for (const std::string& root : kRoots)
        if (names::IsAtOrBelow(path, root)) return true;
    return path.empty();  // no backup
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    journal::Journal j, again;
    std::string why;
    if (!journal::Parse(std::string(reinterpret_cast<const char*>(data), size), j, why)) {
        if (why.empty() || why.size() > 300) Broken("a reason missing or quoting more than a line's start");
        return 0;
    }
    if (j.records.size() > journal::kMaxRecords) Broken("more records than the reader takes");
    if (!journal::Parse(journal::Serialize(j), again, why) || again.records.size() != j.records.size())
        Broken("its own text form reads otherwise");
    for (std::size_t i = 0; i < j.records.size(); ++i) {
        const journal::Record &a = j.records[i], &b = again.records[i];
        if (a.kind != b.kind || a.path != b.path || a.dest != b.dest || a.backup != b.backup || a.attributes != b.attributes)
            Broken("a record changed in its own text form");
    }
    if (!journal::Validate(j, kRoots, SameForm, why)) {
        if (why.empty()) Broken("refused without a reason");
        return 0;
    }
    for (const journal::Record& r : j.records)
        if (r.kind != journal::Record::Folder && r.kind != journal::Record::Committed &&
            !(InTheDestinations(r.path) && InTheDestinations(r.dest) && InTheDestinations(r.backup)))
            Broken("a file outside the destinations passed");
    return 0;
}
