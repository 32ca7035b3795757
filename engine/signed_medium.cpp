#include "engine/signed_medium.h"

#include <set>

#include "app/MediumTrust.h"
#include "engine/pkg/entry_name.h"
#include "platform/filefind.h"
#include "util/path.h"
#include "util/name_key.h"

namespace signedmedium {

Tally::Tally(const mediumsig::SignedFile* expected) : m_expected(expected) {
    if (expected) m_hash.emplace();
}

void Tally::Add(const void* data, std::size_t size) {
    if (!m_hash) return;
    m_hash->Update(data, size);
    m_size += size;
}

std::string Tally::Mismatch() { return m_hash ? mediumsig::Mismatch(*m_expected, m_size, m_hash->Final()) : ""; }

namespace {

// Walks folder; every file must be signed with its size. Links are never
// followed, and no link is ever signed.
std::string Walk(const CMediumTrust& trust, const std::string& appDir, const std::string& folder,
                 std::set<std::string>& seen) {
    platform::FileFind find;
    BOOL more = find.FindFile(JoinPath(folder, "*.*"));
    while (more) {
        more = find.FindNextFile();
        if (find.IsDots()) continue;
        const std::string path = find.GetFilePath();
        const std::string relative = path.substr(appDir.size());
        if (find.IsReparsePoint()) return relative + ": a link, which is not signed";
        if (find.IsDirectory()) {
            const std::string why = Walk(trust, appDir, path, seen);
            if (!why.empty()) return why;
            continue;
        }
        const mediumsig::SignedFile* f = trust.Files().Find(relative);
        if (!f) return relative + ": not listed in " + mediumsig::kFileName;
        if (f->size != find.GetLength())
            return relative + ": size " + std::to_string(find.GetLength()) + " where " + std::to_string(f->size) +
                   " was signed";
        seen.insert(names::Key(relative));
    }
    return "";
}

}  // namespace

std::string CheckFilesFolder(const CMediumTrust& trust, const std::string& appDir) {
    std::set<std::string> seen;
    const std::string why = Walk(trust, appDir, JoinPath(appDir, mediumsig::kFilesFolder), seen);
    if (!why.empty()) return why;
    for (const auto& [name, file] : trust.Files().AfterIni()) {
        if (!seen.count(names::Key(name))) return name + ": signed, but not on the medium";
    }
    return "";
}

}  // namespace signedmedium
