#include "engine/install_journal.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/utf.h"
#include "util/name_key.h"
#include "util/path.h"

namespace journal {

namespace {

constexpr char kHeader[] = "KVJOURNAL\t2";
constexpr char kEnd[] = "END";
constexpr char kStagedSuffix[] = ".~kvs";
constexpr char kBackupSuffix[] = ".~kvb";

// The most fields a record has (C: the kind, three paths, attributes).
constexpr std::size_t kMaxFields = 5;
// How much of a refused line its reason quotes.
constexpr std::size_t kQuoted = 200;

// A line cut at its tabs into at most kMaxFields fields; count is one more
// than that when there are more (the rest is not looked at).
struct Fields {
    std::string_view at[kMaxFields];
    std::size_t count = 0;
};

Fields SplitFields(std::string_view line) {
    Fields f;
    for (std::size_t start = 0;;) {
        if (f.count == kMaxFields) {
            ++f.count;
            return f;
        }
        const std::size_t tab = line.find('\t', start);  // a tab is never a byte of a longer character
        f.at[f.count++] = line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
        if (tab == std::string_view::npos) return f;
        start = tab + 1;
    }
}

// The start of a refused line, for its reason: never a character cut in two.
std::string Quoted(std::string_view line) {
    if (line.size() <= kQuoted) return std::string(line);
    std::size_t n = kQuoted;
    while (n > 0 && (static_cast<unsigned char>(line[n]) & 0xC0) == 0x80) --n;
    return std::string(line.substr(0, n)) + "...";
}

bool ParseHex32(std::string_view s, std::uint32_t& value) {
    if (s.size() != 8) return false;
    value = 0;
    for (char c : s) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return false;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return true;
}

bool ParseCount(std::string_view s, std::size_t& value) {
    if (s.empty() || s.size() > 9) return false;
    value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::size_t>(c - '0');
    }
    return true;
}

// A rooted path as the system's full form of a path has it: a drive or UNC
// root, then names, none empty, "." or "..", no forward slash, no character
// cut in two, no length limit. Whatever else a name holds is the file
// system's to refuse: the journal keeps what the update tried, and the next
// run must be able to read it.
bool IsRootedPath(const std::string& path) {
    const std::size_t start = RootLength(path);
    if (start == 0 || start >= path.size()) return false;
    if (path.find('/') != std::string::npos || !utf::IsValid(path)) return false;
    for (std::size_t partStart = start;;) {
        const std::size_t slash = path.find('\\', partStart);
        const std::string part =
            path.substr(partStart, slash == std::string::npos ? std::string::npos : slash - partStart);
        if (part.empty() || part == "." || part == "..") return false;
        if (slash == std::string::npos) return true;
        partStart = slash + 1;
    }
}

// name == dest + suffix + decimal number
bool IsNumberedName(const std::string& name, const std::string& dest, const char* suffix) {
    const std::string head = dest + suffix;
    if (name.size() <= head.size() || name.compare(0, head.size(), head) != 0) return false;
    for (std::size_t i = head.size(); i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return name.size() - head.size() <= 9;
}

}  // namespace

bool Journal::IsCommitted() const {
    for (const Record& r : records)
        if (r.kind == Record::Committed) return true;
    return false;
}

std::string Serialize(const Journal& journal) {
    std::string out = std::string(kHeader) + "\r\n";
    for (const Record& r : journal.records) {
        out += static_cast<char>(r.kind);
        switch (r.kind) {
        case Record::Folder:
            out += "\t" + r.path;
            break;
        case Record::Staged:
            out += "\t" + r.path + "\t" + r.dest;
            break;
        case Record::Commit: {
            char hex[9];
            std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(r.attributes));
            out += "\t" + r.path + "\t" + r.dest + "\t" + r.backup + "\t" + hex;
            break;
        }
        case Record::Committed:
            break;
        }
        out += "\r\n";
    }
    out += std::string(kEnd) + "\t" + std::to_string(journal.records.size()) + "\r\n";
    return out;
}

bool Parse(const std::string& text, Journal& journal, std::string& why) {
    journal.records.clear();
    if (text.size() > kMaxBytes) {
        why = "larger than " + std::to_string(kMaxBytes) + " bytes";
        return false;
    }
    const std::string_view all(text);
    // The records are counted before any is made: no more than the lines.
    std::size_t lines = 0;
    for (std::size_t at = all.find("\r\n"); at != std::string_view::npos; at = all.find("\r\n", at + 2))
        if (++lines > kMaxRecords + 2) {  // with the header and the END line
            why = "more than " + std::to_string(kMaxRecords) + " records";
            return false;
        }
    journal.records.reserve(lines > 1 ? lines - 1 : 0);  // every line but the header, at most
    std::size_t pos = 0;
    bool header = false;
    while (pos < all.size()) {
        // A line is looked for no further than the longest a record has.
        const std::size_t eol = all.substr(pos, kMaxLine + 2).find("\r\n");
        if (eol == std::string_view::npos) {
            why = all.size() - pos > kMaxLine + 1 ? "a line longer than " + std::to_string(kMaxLine) + " bytes"
                                                   : "a line without its CRLF ending";
            return false;
        }
        const std::string_view line = all.substr(pos, eol);
        pos += eol + 2;
        if (!header) {
            if (line != kHeader) {
                why = "no journal header";
                return false;
            }
            header = true;
            continue;
        }
        const Fields f = SplitFields(line);
        const std::string_view kind = f.at[0];
        if (kind == kEnd) {
            std::size_t count = 0;
            if (f.count != 2 || !ParseCount(f.at[1], count)) {
                why = "a malformed END line";
                return false;
            }
            if (count != journal.records.size()) {
                why = "END counts " + std::to_string(count) + " records, the journal holds " +
                      std::to_string(journal.records.size());
                return false;
            }
            if (pos != all.size()) {
                why = "text after the END line";
                return false;
            }
            return true;
        }
        Record r;
        if (kind == "D" && f.count == 2) {
            r.kind = Record::Folder;
            r.path = f.at[1];
        } else if (kind == "S" && f.count == 3) {
            r.kind = Record::Staged;
            r.path = f.at[1];
            r.dest = f.at[2];
        } else if (kind == "C" && f.count == 5 && ParseHex32(f.at[4], r.attributes)) {
            r.kind = Record::Commit;
            r.path = f.at[1];
            r.dest = f.at[2];
            r.backup = f.at[3];
        } else if (kind == "K" && f.count == 1) {
            r.kind = Record::Committed;
        } else {
            why = "an unknown or malformed record: " + Quoted(line);
            return false;
        }
        journal.records.push_back(std::move(r));
    }
    why = header ? "no END line" : "no journal header";
    return false;
}

std::string StagedName(const std::string& dest, unsigned number) {
    return dest + kStagedSuffix + std::to_string(number);
}

std::string BackupName(const std::string& dest, unsigned number) {
    return dest + kBackupSuffix + std::to_string(number);
}

std::size_t RootLength(const std::string& path) {
    const char drive = path.empty() ? '\0' : path[0];
    if (path.size() >= 3 && ((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) &&
        path[1] == ':' && path[2] == '\\')
        return 3;
    if (path.size() < 3 || path[0] != '\\' || path[1] != '\\') return 0;
    const std::size_t server = path.find('\\', 2);
    if (server == std::string::npos || server == 2) return 0;
    const std::string name = path.substr(2, server - 2);
    if (name == "?" || name == ".") return 0;  // the device and "as it stands" forms
    const std::size_t share = path.find('\\', server + 1);
    if (share == server + 1) return 0;
    return share == std::string::npos ? path.size() : share + 1;
}

bool IsRoot(const std::string& folder) {
    const std::size_t n = RootLength(folder);
    return n != 0 && n >= folder.size() - (EndsWithBackslash(folder) ? 1 : 0);
}

bool Validate(const Journal& journal, const std::vector<std::string>& roots, FullPathOf fullPath,
              std::string& why) {
    // folderOnTheWay: a folder the update created above a destination that
    // did not exist yet (only an empty folder is ever removed).
    auto allowed = [&](const std::string& path, bool folderOnTheWay) {
        if (!IsRootedPath(path)) {
            why = "not a full path: " + path;
            return false;
        }
        if (fullPath(path) != path) {
            why = "not in its full form: " + path;
            return false;
        }
        for (const std::string& root : roots)
            if (names::IsAtOrBelow(path, root) || (folderOnTheWay && names::IsAtOrBelow(root, path))) return true;
        why = "outside the update's destinations: " + path;
        return false;
    };
    for (const Record& r : journal.records) {
        switch (r.kind) {
        case Record::Folder:
            if (!allowed(r.path, true)) return false;
            break;
        case Record::Staged:
        case Record::Commit:
            if (!allowed(r.dest, false)) return false;
            if (!IsNumberedName(r.path, r.dest, kStagedSuffix)) {
                why = "not a staged name of its destination: " + r.path;
                return false;
            }
            if (r.kind == Record::Commit && !r.backup.empty() &&
                !IsNumberedName(r.backup, r.dest, kBackupSuffix)) {
                why = "not a backup name of its destination: " + r.backup;
                return false;
            }
            break;
        case Record::Committed:
            break;
        }
    }
    return true;
}

}  // namespace journal
