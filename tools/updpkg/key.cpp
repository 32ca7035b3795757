#include "tools/updpkg/key.h"

#include "engine/pkg/source.h"
#include "product/package_key.h"
#include "tools/updpkg/fileio.h"

namespace updpkg {

namespace {

class FileSource : public pkg::ByteSource {
public:
    explicit FileSource(const std::string& path) : m_file(path) {}
    std::size_t Read(void* buffer, std::size_t size) override { return m_file.Read(buffer, size); }

private:
    InputFile m_file;
};

}  // namespace

uint32_t LibraryKey(const std::string& path) {
    FileSource library(path);
    return product::PackageKey(library);
}

}  // namespace updpkg
