#pragma once
// updpkg build: a folder tree into a package.

#include <cstdint>
#include <string>
#include <vector>

namespace updpkg {

struct SourceFile {
    std::string entryName;  // code page 932, '\\' separators
    std::string path;       // as the system names it
    uint64_t size = 0;
    std::string name;       // entryName as it reads, UTF-8, '\\' separators
};

// Every file below folder, in a fixed order: component by component, by the
// bytes of their code page 932 names. Throws FileError for a name without a
// code page 932 form, a name a package may not carry, or two names that
// become the same.
std::vector<SourceFile> CollectFiles(const std::string& folder);

struct BuildOptions {
    std::string folder;
    std::string output;
    uint32_t key = 0;
    int level = 6;
    unsigned jobs = 1;
};

// Writes the package to a file beside the output and moves it into place
// once it is complete. Throws FileError.
void BuildPackage(const BuildOptions& options);

}  // namespace updpkg
