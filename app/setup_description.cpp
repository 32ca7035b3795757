#include "app/setup_description.h"

#include <list>

#include "platform/mbcs.h"
#include "util/path.h"
#include "util/text.h"

namespace setupini {

namespace {

// A key's name for the fault box, whatever its bytes: each byte sequence
// that is no code page 932 character shows as U+FFFD.
std::string ShownName(const std::string& cp932) {
    std::string out, one;
    for (std::size_t i = 0, n; i < cp932.size(); i += n) {
        n = mbcs::Cp932CharLength(cp932, i);
        out += mbcs::Cp932ToUtf8(cp932.substr(i, n), one) ? one : "\xEF\xBF\xBD";
    }
    return out;
}

}  // namespace

Description ReadDescription(const ProfileRead& read) {
    Description d;
    // SETUP.INI is code page 932: each value as it reads, or a fault of its
    // key when its bytes are no code page 932 text.
    auto value = [&read](const char* section, const std::string& key, std::string& out) {
        return mbcs::Cp932ToUtf8(read(section, key.c_str()), out);
    };
    if (!value("PRODUCT", "PRODUCT_NAME", d.productName) || d.productName.empty())
        d.faults += "[PRODUCT] PRODUCT_NAME\r\n";
    if (!value("PRODUCT", "PRODUCT_VERSION", d.productVersion) || d.productVersion.empty())
        d.faults += "[PRODUCT] PRODUCT_VERSION\r\n";
    // Empty: the files lie in FILES.
    if (!value("PRODUCT", "PACKAGE", d.package)) d.faults += "[PRODUCT] PACKAGE\r\n";

    std::list<std::string> names;
    SplitString(read("COMPONENTS", nullptr), '\0', names);
    for (const std::string& name : names) {
        std::list<std::string> parts;
        std::string key, text;
        if (mbcs::Cp932ToUtf8(name, key) && value("COMPONENTS", name, text) && SplitString(text, ',', parts) == 3) {
            auto it = parts.begin();
            Component c;
            c.key = key;
            c.source = *it++;
            c.dest = *it++;
            c.value = ParseLeadingInt(*it);
            d.components.push_back(std::move(c));
        } else {
            d.faults += "[COMPONENTS] " + ShownName(name) + "\r\n";
        }
    }
    return d;
}

void ExpandMacros(std::string& text, const std::string& productName, const std::string& productVersion,
                  const std::string& targetDir, const std::string& systemDir) {
    ReplaceAll(text, "<PRODUCT_NAME>", productName);
    ReplaceAll(text, "<PRODUCT_VERSION>", productVersion);
    ReplaceAll(text, "<TARGETDIR>", targetDir);
    ReplaceAll(text, "<SYSTEMDIR>", systemDir);
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
