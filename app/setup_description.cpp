#include "app/setup_description.h"

#include <list>
#include <string_view>

#include "engine/pkg/entry_name.h"
#include "platform/mbcs.h"
#include "util/path.h"
#include "util/text.h"

namespace setupini {

namespace {

void AddFault(Description& d, const std::string& line, const std::string& reason) {
    d.faults += line + "\r\n";
    d.reasons.push_back(reason);
}

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

constexpr char kNotCp932[] = "its bytes are no code page 932 text";

// Why name cannot stand as one file or folder name on Windows, or "". Every
// caller has dealt with an empty name already. The name came from SETUP.INI's
// code page 932, so it has a code page 932 form for the entry-name rule.
std::string NameFault(const std::string& name) {
    std::string cp932;
    const auto reason = mbcs::Utf8ToCp932(name, cp932) ? pkg::EntryNamePartFault(cp932)
                                                       : std::optional(pkg::FormatReason::NameNotCp932);
    if (!reason) return "";
    const char* what;
    switch (*reason) {
        case pkg::FormatReason::NameNotCp932: what = "no code page 932 text"; break;
        case pkg::FormatReason::NameControlByte: what = "a control character"; break;
        case pkg::FormatReason::NameReservedChar: what = "one of < > \" | ? *"; break;
        case pkg::FormatReason::NameTrailingDot: what = "a dot or a blank at its end"; break;
        case pkg::FormatReason::NameDevice: what = "a device name: CON, PRN, AUX, NUL, COM1, LPT1, CONIN$ ..."; break;
        default: what = "\".\" or \"..\", or a ':', '/' or '\\'"; break;
    }
    return "'" + name + "' is no name Windows writes as it stands (" + what + ")";
}

// Calls part(name) for each part of text between separators, trailing empty
// one included, until it returns false; false then. A part at a time: a
// value of a million separators makes no list of a million names.
template <class Part>
bool EachPart(std::string_view text, char separator, Part part) {
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        if (!part(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start)))
            return false;
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

// How many parts SplitString makes of a value at its commas (a trailing
// empty one is not counted), without making them.
std::size_t CommaParts(std::string_view text) {
    std::size_t commas = 0;
    for (char c : text) commas += c == ',';
    return commas + (text.empty() || text.back() == ',' ? 0 : 1);
}

}  // namespace

std::string DestinationFault(const std::string& dest) {
    if (dest.empty()) return "the destination is empty";
    std::size_t folders = 0;  // where the folder names begin
    for (const std::string macro : {"<TARGETDIR>", "<SYSTEMDIR>"}) {
        if (dest.compare(0, macro.size(), macro) != 0) continue;
        // "<TARGETDIR>X" would name a sibling of the product's folder.
        if (dest.size() > macro.size() && dest[macro.size()] != '\\')
            return "the destination goes on after " + macro + " without a backslash";
        folders = macro.size();
    }
    if (folders == 0) {
        const char letter = static_cast<char>(dest[0] & ~0x20);
        const bool drive = dest.size() >= 3 && letter >= 'A' && letter <= 'Z' && dest[1] == ':' && dest[2] == '\\';
        if (!drive) return "the destination begins with neither <TARGETDIR>, <SYSTEMDIR> nor a drive (X:\\)";
        folders = 3;
    }
    std::string fault;
    EachPart(std::string_view(dest).substr(folders), '\\', [&fault](std::string_view part) {
        if (part.empty()) return true;  // a doubled backslash: Windows reads one
        fault = NameFault(std::string(part));
        return fault.empty();
    });
    return fault.empty() ? "" : "destination folder " + fault;
}

std::string SourceFault(const std::string& source) {
    if (source.empty() || EndsWithBackslash(source)) return "the source is empty or ends in a backslash";
    std::string fault;
    EachPart(source, '\\', [&fault](std::string_view part) {
        fault = part.empty() ? "the source begins with a backslash or holds a doubled one"
                             : NameFault(std::string(part));
        if (!part.empty() && !fault.empty()) fault = "source folder " + fault;
        return fault.empty();
    });
    return fault;
}

std::string PackageFault(const std::string& package) {
    if (package.empty()) return "";
    const std::string fault = NameFault(package);
    return fault.empty() ? "" : "PACKAGE " + fault + "; it must be a file name beside SETUP.EXE";
}

Description ReadDescription(const ProfileRead& read) {
    Description d;
    // SETUP.INI is code page 932: each value is taken as it reads (UTF-8),
    // or is a fault of its key when its bytes are no code page 932 text.
    auto value = [&read](const char* section, const std::string& key, std::string& out) {
        return mbcs::Cp932ToUtf8(read(section, key.c_str()), out);
    };
    if (!value("PRODUCT", "PRODUCT_NAME", d.productName)) AddFault(d, "[PRODUCT] PRODUCT_NAME", kNotCp932);
    else if (d.productName.empty()) AddFault(d, "[PRODUCT] PRODUCT_NAME", "missing or empty");
    if (!value("PRODUCT", "PRODUCT_VERSION", d.productVersion)) AddFault(d, "[PRODUCT] PRODUCT_VERSION", kNotCp932);
    else if (d.productVersion.empty()) AddFault(d, "[PRODUCT] PRODUCT_VERSION", "missing or empty");
    // Empty: the files lie in FILES.
    const std::string packageFault = value("PRODUCT", "PACKAGE", d.package) ? PackageFault(d.package) : kNotCp932;
    if (!packageFault.empty()) AddFault(d, "[PRODUCT] PACKAGE", packageFault);

    // The key list is walked in place: the names end at the first empty one.
    const std::string names = read("COMPONENTS", nullptr);
    EachPart(names, '\0', [&](std::string_view nameView) {
        if (nameView.empty()) return false;
        const std::string name(nameView);
        std::string key, text;
        if (!mbcs::Cp932ToUtf8(name, key) || !value("COMPONENTS", name, text)) {
            AddFault(d, "[COMPONENTS] " + ShownName(name), kNotCp932);
            return true;
        }
        const std::size_t count = CommaParts(text);
        if (count != 3) {
            AddFault(d, "[COMPONENTS] " + key,
                     "the value has " + std::to_string(count) + " part(s), not three: source, destination, number");
            return true;
        }
        std::list<std::string> parts;
        SplitString(text, ',', parts);
        auto it = parts.begin();
        Component c;
        c.key = key;
        c.source = *it++;
        c.dest = *it++;
        c.value = ParseLeadingInt(*it);
        std::string fault = SourceFault(c.source);
        if (fault.empty()) fault = DestinationFault(c.dest);
        if (fault.empty()) d.components.push_back(std::move(c));
        else AddFault(d, "[COMPONENTS] " + key, fault);
        return true;
    });
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
