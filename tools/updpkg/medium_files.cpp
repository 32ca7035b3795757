#include "tools/updpkg/medium_files.h"

#include <algorithm>
#include <vector>

#include "tools/updpkg/build.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/fileio.h"
#include "tools/updpkg/names.h"
#include "util/name_key.h"

namespace updpkg {

namespace {

// The names of a relative path, split at '\' and '/'.
std::vector<std::string> SplitRelative(const std::string& relative) {
    std::vector<std::string> parts(1);
    for (const char c : relative) {
        if (c == '\\' || c == '/') parts.emplace_back();
        else parts.back() += c;
    }
    return parts;
}

// Our own scratch tree: files and folders only (links are removed, not
// followed).
void RemoveTreeQuietly(const std::string& folder) noexcept {
    try {
        for (const FolderEntry& e : ListFolder(folder)) {
            const std::string child = JoinNative(folder, e.name);
            if (e.kind == FolderEntry::Folder) RemoveTreeQuietly(child);
            else RemoveFileQuietly(child);
        }
    } catch (...) {
    }
    RemoveFolderQuietly(folder);
}

}  // namespace

std::optional<std::string> FindBelow(const std::string& root, const std::string& relative) {
    std::string path = root;
    for (const std::string& part : SplitRelative(relative)) {
        if (part.empty()) continue;
        if (!IsFolder(path)) return std::nullopt;
        const std::string wanted = names::Key(part);
        std::optional<std::string> found;
        for (const FolderEntry& e : ListFolder(path)) {
            if (e.name == part) {
                found = JoinNative(path, e.name);
                break;
            }
            if (!found && names::Key(e.name) == wanted) found = JoinNative(path, e.name);
        }
        if (!found) return std::nullopt;
        path = *found;
    }
    return path;
}

std::string ReadWholeFile(const std::string& path) {
    InputFile in(path);
    constexpr uint64_t kLargest = uint64_t{1} << 30;
    if (in.Size() > kLargest) throw FileError("'" + path + "': too large");
    std::string bytes(static_cast<std::size_t>(in.Size()), '\0');
    bytes.resize(in.ReadFull(bytes.data(), bytes.size()));
    return bytes;
}

void CopyOneFile(const std::string& from, const std::string& to) {
    InputFile in(from);
    OutputFile out(to);
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        const std::size_t got = in.Read(buffer.data(), buffer.size());
        if (got == 0) break;
        out.Write(buffer.data(), got);
    }
    out.Close();
}

void CopyTree(const std::string& from, const std::string& to) {
    MakeFolders(to);
    for (const SourceFile& f : CollectFiles(from)) {
        const std::string dest = JoinNative(to, EntryNameToPath(f.entryName));
        MakeFolders(ParentOf(dest));
        CopyOneFile(f.path, dest);
    }
}

bool SameBytes(const std::string& a, const std::string& b) {
    InputFile fa(a), fb(b);
    if (fa.Size() != fb.Size()) return false;
    std::vector<unsigned char> ba(1 << 16), bb(1 << 16);
    for (;;) {
        const std::size_t na = fa.ReadFull(ba.data(), ba.size());
        const std::size_t nb = fb.ReadFull(bb.data(), bb.size());
        if (na != nb || !std::equal(ba.begin(), ba.begin() + static_cast<std::ptrdiff_t>(na), bb.begin())) return false;
        if (na == 0) return true;
    }
}

ScratchFolder::ScratchFolder(const std::string& prefix) {
    m_path = MakeUniqueFolder(TempFolder(), prefix);
}

ScratchFolder::~ScratchFolder() { RemoveTreeQuietly(m_path); }

}  // namespace updpkg
