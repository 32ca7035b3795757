#include "engine/install_journal.h"

#include <cstdio>
#include <cstdlib>

#include "platform/utf.h"
#include "util/name_key.h"
#include "util/path.h"

namespace journal {

namespace {

constexpr char kHeader[] = "KVJOURNAL\t2";
constexpr char kEnd[] = "END";
constexpr char kStagedSuffix[] = ".~kvs";
constexpr char kBackupSuffix[] = ".~kvb";

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);  // a tab is never a second byte
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

bool ParseHex32(const std::string& s, std::uint32_t& value) {
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

bool ParseCount(const std::string& s, std::size_t& value) {
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
    std::size_t pos = 0;
    bool header = false;
    while (pos < text.size()) {
        const std::size_t eol = text.find("\r\n", pos);
        if (eol == std::string::npos) {
            why = "a line without its CRLF ending";
            return false;
        }
        const std::string line = text.substr(pos, eol - pos);
        pos = eol + 2;
        if (!header) {
            if (line != kHeader) {
                why = "no journal header";
                return false;
            }
            header = true;
            continue;
        }
        const std::vector<std::string> f = SplitFields(line);
        if (f[0] == kEnd) {
            std::size_t count = 0;
            if (f.size() != 2 || !ParseCount(f[1], count)) {
                why = "a malformed END line";
                return false;
            }
            if (count != journal.records.size()) {
                why = "END counts " + std::to_string(count) + " records, the journal holds " +
                      std::to_string(journal.records.size());
                return false;
            }
            if (pos != text.size()) {
                why = "text after the END line";
                return false;
            }
            return true;
        }
        Record r;
        if (f[0] == "D" && f.size() == 2) {
            r.kind = Record::Folder;
            r.path = f[1];
        } else if (f[0] == "S" && f.size() == 3) {
            r.kind = Record::Staged;
            r.path = f[1];
            r.dest = f[2];
        } else if (f[0] == "C" && f.size() == 5 && ParseHex32(f[4], r.attributes)) {
            r.kind = Record::Commit;
            r.path = f[1];
            r.dest = f[2];
            r.backup = f[3];
        } else if (f[0] == "K" && f.size() == 1) {
            r.kind = Record::Committed;
        } else {
            why = "an unknown or malformed record: " + line;
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
