#pragma once
// A product folder on disk as the plan sees the destinations below
// "<TARGETDIR>": each folder listed once, names matched as Windows matches
// them. Destinations elsewhere (<SYSTEMDIR>, a drive) show nothing.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/plan/plan.h"

namespace updpkg {

inline constexpr char kTargetDir[] = "<TARGETDIR>";
inline constexpr char kSystemDir[] = "<SYSTEMDIR>";

// A destination written with "<TARGETDIR>" first: the rest of it below the
// product's folder ("" for the folder itself).
std::optional<std::string> BelowTarget(const std::string& destination);

class ProductView : public plan::DestinationView {
public:
    // product: the product's folder, the system's path; "" for none.
    explicit ProductView(std::string product) : m_product(std::move(product)) {}
    uint32_t Attributes(const std::string& path) override;
    // The system's path of what stands at a destination below <TARGETDIR>.
    std::optional<std::string> Find(const std::string& path);
    // The first link (IsLinkAt) on the way from the product's folder down
    // to path, itself included, as far as the way exists: its destination
    // form ("<TARGETDIR>\BIN"); nothing where there is none, or path does
    // not lie below <TARGETDIR>.
    std::optional<std::string> LinkOnTheWay(const std::string& path);

private:
    struct Entry {
        std::string name, path;  // as listed; the system's path
        bool folder = false;
    };
    // By the name's key: more than one where the file system tells case apart.
    using Listing = std::map<std::string, std::vector<Entry>>;
    const Listing& ListingOf(const std::string& folder);
    // From the product's folder down to path: visit(entry, its destination
    // form) for each part of the way that exists, outermost first, while
    // visit is true; what stands at path when the whole way was walked.
    template <class Visit>
    std::optional<Entry> Walk(const std::string& path, Visit visit);
    std::optional<Entry> Lookup(const std::string& path);

    std::string m_product;
    std::map<std::string, Listing> m_listings;  // by the folder's system path
};

}  // namespace updpkg
