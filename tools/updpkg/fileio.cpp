// The parts of the file layer that are the same on every system.
#include "tools/updpkg/fileio.h"

#include "tools/updpkg/names.h"

namespace updpkg {

namespace {

// Index of the last separator, or npos.
std::size_t LastSeparator(const std::string& path) {
#ifdef _WIN32
    return path.find_last_of("\\/");
#else
    return path.find_last_of('/');
#endif
}

}  // namespace

std::size_t InputFile::ReadFull(void* buffer, std::size_t size) {
    unsigned char* p = static_cast<unsigned char*>(buffer);
    std::size_t total = 0;
    while (total < size) {
        const std::size_t got = Read(p + total, size - total);
        if (got == 0) break;
        total += got;
    }
    return total;
}

std::string FolderPlacer::PathOf(const std::vector<std::string>& parts) const {
    std::string path = m_base;
    for (const std::string& name : parts) path = JoinNative(path, name);
    return path;
}

void FolderPlacer::WriteThrough(const std::vector<std::string>& parts, const void* data, std::size_t size,
                                const std::string& scratch) {
    try {
        OutputFile out(scratch, OutputFile::New);
        out.Write(data, size);
        out.Close();
    } catch (...) {
        RemoveFileQuietly(scratch);
        throw;
    }
    try {
        Place(scratch, parts);
    } catch (...) {
        RemoveFileQuietly(scratch);
        throw;
    }
}

std::string JoinNative(const std::string& folder, const std::string& relative) {
    if (folder.empty()) return relative;
    const std::size_t last = LastSeparator(folder);
    if (last != std::string::npos && last + 1 == folder.size()) return folder + relative;
    return folder + kPathSeparator + relative;
}

std::string ParentOf(const std::string& path) {
    const std::size_t last = LastSeparator(path);
    if (last == std::string::npos) return "";
    return last == 0 ? path.substr(0, 1) : path.substr(0, last);  // the root stays "/"
}

}  // namespace updpkg
