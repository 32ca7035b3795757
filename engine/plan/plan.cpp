#include "engine/plan/plan.h"

#include <map>
#include <set>

#include "util/name_key.h"
#include "util/path.h"

namespace plan {

namespace {

using journal::Record;

// The names this plan gives, beside what the view shows.
class Names {
public:
    explicit Names(DestinationView& view) : m_view(view) {}
    bool Taken(const std::string& path) { return m_taken.count(names::Key(path)) || m_view.Exists(path); }
    void Take(const std::string& path) { m_taken.insert(names::Key(path)); }

    // name(dest, n) for the first n of first, first + step, ... that names
    // nothing yet; false (out the last tried) after kNameTries.
    bool FreeNumber(std::string (*name)(const std::string&, unsigned), const std::string& dest, unsigned first,
                    unsigned step, std::string& out) {
        unsigned n = first;
        for (unsigned tries = 0; tries < kNameTries; ++tries, n += step) {
            out = name(dest, n);
            if (!Taken(out)) return true;
        }
        return false;
    }

private:
    DestinationView& m_view;
    std::set<std::string> m_taken;
};

}  // namespace

bool DestinationView::IsFolder(const std::string& path) {
    const uint32_t a = Attributes(path);
    return a != kMissing && (a & kFolderAttribute);
}

std::string DestinationOf(const std::string& folder, const std::string& relative) {
    return relative.empty() ? folder : JoinPath(folder, relative);
}

std::string ParentFolder(const std::string& path) {
    std::string folder = PathBeforeLastBackslash(path);
    if (folder.size() == 2 && folder[1] == ':') folder += '\\';
    return folder;
}

bool ForEachLinkCheck(const Plan& plan, const std::function<bool(const std::string& path, bool isFolder)>& visit) {
    std::set<std::string> folders;  // by key
    for (const File& f : plan.files) {
        const std::string folder = ParentFolder(f.dest);
        if (folders.insert(names::Key(folder)).second && !visit(folder, true)) return false;
        if (!visit(f.dest, false)) return false;
    }
    return true;
}

Plan Build(const std::vector<Component>& components, const Product& product, DestinationView& view) {
    // The update's own files go away afterwards: each is moved into place
    // for its last use, and copied for every use before it, when components
    // share a source folder.
    Plan p;
    std::map<std::string, std::size_t> lastUse;  // by the source's key
    for (const Component& c : components) {
        for (const ListedFile& f : c.files) {
            if (f.own) lastUse[names::Key(f.source)] = p.files.size();
            File file;
            file.source = f.source;
            file.dest = DestinationOf(c.destination, f.relative);
            p.files.push_back(std::move(file));
        }
    }
    for (const auto& use : lastUse) p.files[use.second].move = true;

    // Staged names beside each destination; the folders above it that are
    // missing, outermost first (a missing root is no folder to make: the
    // staging will say so).
    Names taken(view);
    std::set<std::string> planned;  // folders' keys
    const unsigned step = static_cast<unsigned>(p.files.size());
    for (unsigned i = 0; i < p.files.size(); ++i) {
        File& f = p.files[i];
        if (!taken.FreeNumber(journal::StagedName, f.dest, i, step, f.staged)) {
            if (p.blocked.empty()) p.blocked = f.dest;
            f.staged.clear();
        }
        taken.Take(f.staged);
        p.stagingRecords.push_back({Record::Staged, f.staged, f.dest, {}, 0});
        std::vector<std::string> missing;
        for (std::string folder = ParentFolder(f.dest);
             !folder.empty() && !journal::IsRoot(folder) && !view.IsFolder(folder); folder = ParentFolder(folder)) {
            if (!planned.insert(names::Key(folder)).second) break;
            missing.push_back(folder);
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
            p.folders.push_back(*it);
            p.stagingRecords.push_back({Record::Folder, *it, {}, {}, 0});
        }
    }

    // One commit per destination: when two components bring the same file,
    // the later one is what the product gets. The product's executable
    // comes last, so that until every other file is in place the product
    // still reads as needing the update.
    const std::string exeKey = names::Key(JoinPath(product.installFolder, product.exeName));
    std::map<std::string, std::size_t> last;
    for (std::size_t i = 0; i < p.files.size(); ++i) last[names::Key(p.files[i].dest)] = i;
    std::vector<std::size_t> exe;
    for (std::size_t i = 0; i < p.files.size(); ++i) {
        const std::string key = names::Key(p.files[i].dest);
        if (last[key] != i) {
            p.files[i].superseded = true;
            continue;
        }
        (key == exeKey ? exe : p.commits).push_back(i);
    }
    if (!exe.empty()) p.productExe = exe.back();
    p.commits.insert(p.commits.end(), exe.begin(), exe.end());
    for (std::size_t i : p.commits) {
        File& f = p.files[i];
        const uint32_t a = view.Attributes(f.dest);
        if (a != kMissing) {
            // With no free name the commit's move reports the clash.
            taken.FreeNumber(journal::BackupName, f.dest, static_cast<unsigned>(i), step, f.backup);
            f.attributes = a;
        }
        p.commitRecords.push_back({Record::Commit, f.staged, f.dest, f.backup, f.attributes});
    }
    return p;
}

}  // namespace plan
