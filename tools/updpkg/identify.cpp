#include "tools/updpkg/identify.h"

#include "product/identity.h"
#include "res/version_names.h"
#include "tools/updpkg/fileio.h"
#include "tools/updpkg/medium_files.h"
#include "tools/updpkg/medium_check.h"
#include "tools/updpkg/names.h"
#include "tools/updpkg/pe_version.h"

namespace updpkg {

namespace {

// A text of a version resource for the terminal.
std::string Shown(const std::string& utf8) { return ShownText(utf8); }

std::string Quoted(const std::optional<std::string>& text) { return text ? "'" + Shown(*text) + "'" : "none"; }

bool SameAsciiName(std::string a, std::string b) {
    for (std::string* s : {&a, &b}) {
        for (char& c : *s) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    }
    return a == b;
}

}  // namespace

std::optional<std::string> WhyNotSetupExe(const std::string& path) {
    if (IsFolder(path)) return "it is a folder";
    const std::string bytes = ReadWholeFile(path);
    const auto product = ReadPeVersionString(bytes, "ProductName");
    const auto internal = ReadPeVersionString(bytes, "InternalName");
    // Either name will do: a later SETUP.EXE may be given another product
    // name (a translated one, say) while its internal name stays.
    if ((product && *product == UPD_SETUP_PRODUCT_NAME) || (internal && *internal == UPD_SETUP_INTERNAL_NAME)) {
        return std::nullopt;
    }
    const std::string wanted = "(SETUP.EXE's are '" + Shown(UPD_SETUP_PRODUCT_NAME) + "' and '" +
                               UPD_SETUP_INTERNAL_NAME + "')";
    if (!product && !internal) return "it has no version resource that gives a product or internal name " + wanted;
    return "its version resource gives product name " + Quoted(product) + " and internal name " + Quoted(internal) +
           " " + wanted;
}

// Doubts, not refusals: the key is the CRC-32 of the library's bytes, whatever
// the file is called, and a vendor may well keep each build's library under
// a name of its own (kvp2lib-7.5.1.0.dll). But a wrong file makes a package
// that every customer's SETUP.EXE refuses as damaged, so it is said each time.
std::vector<std::string> KeyFileDoubts(const std::string& path) {
    std::vector<std::string> doubts;
    if (!IsPeLibrary(ReadWholeFile(path))) {
        doubts.push_back("'" + path + "' is no Windows library (DLL); the package key is the CRC-32 of the product's " +
                         product::kZomi7.libraryName);
    }
#ifdef _WIN32
    const std::size_t slash = path.find_last_of("\\/:");
#else
    const std::size_t slash = path.rfind('/');
#endif
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!SameAsciiName(name, product::kZomi7.libraryName)) {
        doubts.push_back("'" + path + "' is not named " + product::kZomi7.libraryName +
                         "; the package is keyed to its bytes, right only if it is a copy of the product's " +
                         product::kZomi7.libraryName);
    }
    return doubts;
}

}  // namespace updpkg
