#include "tools/updpkg/product_view.h"

#include "tools/updpkg/fileio.h"
#include "util/link_at.h"
#include "util/name_key.h"

namespace updpkg {

std::optional<std::string> BelowTarget(const std::string& destination) {
    if (destination.compare(0, sizeof kTargetDir - 1, kTargetDir) != 0) return std::nullopt;
    std::string rest = destination.substr(sizeof kTargetDir - 1);
    if (!rest.empty() && rest[0] != '\\') return std::nullopt;
    while (!rest.empty() && rest[0] == '\\') rest.erase(0, 1);
    return rest;
}

const ProductView::Listing& ProductView::ListingOf(const std::string& folder) {
    auto it = m_listings.find(folder);
    if (it != m_listings.end()) return it->second;
    Listing& listing = m_listings[folder];
    for (const FolderEntry& e : ListFolder(folder))
        listing[names::Key(e.name)].push_back({e.name, JoinNative(folder, e.name), e.kind == FolderEntry::Folder});
    return listing;
}

template <class Visit>
std::optional<ProductView::Entry> ProductView::Walk(const std::string& path, Visit visit) {
    const std::optional<std::string> below = BelowTarget(path);
    if (!below || m_product.empty()) return std::nullopt;
    Entry at{{}, m_product, true};
    std::string part, shown = kTargetDir;
    for (std::size_t i = 0; i <= below->size(); ++i) {
        if (i < below->size() && (*below)[i] != '\\') {
            part += (*below)[i];
            continue;
        }
        if (part.empty()) continue;
        if (!at.folder) return std::nullopt;
        const Listing& listing = ListingOf(at.path);
        const auto found = listing.find(names::Key(part));
        if (found == listing.end()) return std::nullopt;
        at = found->second.front();
        for (const Entry& e : found->second)  // a name spelled exactly wins
            if (e.name == part) at = e;
        shown += "\\" + part;
        if (!visit(at, shown)) return std::nullopt;
        part.clear();
    }
    return at;
}

std::optional<ProductView::Entry> ProductView::Lookup(const std::string& path) {
    return Walk(path, [](const Entry&, const std::string&) { return true; });
}

std::optional<std::string> ProductView::LinkOnTheWay(const std::string& path) {
    std::optional<std::string> link;
    Walk(path, [&](const Entry& e, const std::string& shown) {
        if (IsLinkAt(e.path)) link = shown;
        return !link;
    });
    return link;
}

uint32_t ProductView::Attributes(const std::string& path) {
    const std::optional<Entry> e = Lookup(path);
    if (!e) return plan::kMissing;
    return e->folder ? plan::kFolderAttribute : 0;
}

std::optional<std::string> ProductView::Find(const std::string& path) {
    const std::optional<Entry> e = Lookup(path);
    if (!e) return std::nullopt;
    return e->path;
}

}  // namespace updpkg
