#include "app/setup_description.h"

#include <list>

#include "platform/mbcs.h"
#include "util/path.h"

namespace setupini {

Description ReadDescription(const ProfileRead& read) {
    Description d;
    d.productName = read("PRODUCT", "PRODUCT_NAME");
    if (d.productName.empty()) d.faults += "[PRODUCT] PRODUCT_NAME\r\n";
    d.productVersion = read("PRODUCT", "PRODUCT_VERSION");
    if (d.productVersion.empty()) d.faults += "[PRODUCT] PRODUCT_VERSION\r\n";
    d.package = read("PRODUCT", "PACKAGE");  // empty: the files lie in FILES

    std::list<std::string> names;
    SplitString(read("COMPONENTS", nullptr), '\0', names);
    for (const std::string& name : names) {
        std::list<std::string> parts;
        if (SplitString(read("COMPONENTS", name.c_str()), ',', parts) == 3) {
            auto it = parts.begin();
            Component c;
            c.key = name;
            c.source = *it++;
            c.dest = *it++;
            c.value = ParseLeadingInt(*it);
            d.components.push_back(std::move(c));
        } else {
            d.faults += "[COMPONENTS] " + name + "\r\n";
        }
    }
    return d;
}

void ExpandMacros(std::string& text, const std::string& productName, const std::string& productVersion,
                  const std::string& targetDir, const std::string& systemDir) {
    mbcs::ReplaceAll(text, "<PRODUCT_NAME>", productName);
    mbcs::ReplaceAll(text, "<PRODUCT_VERSION>", productVersion);
    mbcs::ReplaceAll(text, "<TARGETDIR>", targetDir);
    mbcs::ReplaceAll(text, "<SYSTEMDIR>", systemDir);
}

std::vector<std::string> FaultLines(const std::string& faults) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < faults.size()) {
        std::size_t end = faults.find("\r\n", start);
        if (end == std::string::npos) end = faults.size();
        lines.push_back(faults.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

}  // namespace setupini
