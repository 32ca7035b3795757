// The file layer on Linux.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "tools/updpkg/errors.h"
#include "tools/updpkg/fileio.h"

namespace updpkg {

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
    throw FileError("cannot " + what + " '" + path + "': " + std::strerror(error));
}

// A file descriptor, closed on destruction.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    void reset(int fd) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = fd;
    }
    int Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // Closes and reports the result; errno tells why it failed.
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// A folder listing, closed with closedir.
class Listing {
public:
    explicit Listing(DIR* dir) : m_dir(dir) {}
    ~Listing() {
        if (m_dir) closedir(m_dir);
    }
    Listing(const Listing&) = delete;
    Listing& operator=(const Listing&) = delete;
    DIR* get() const { return m_dir; }

private:
    DIR* m_dir;
};

}  // namespace

struct InputFile::Impl {
    Descriptor fd;
    explicit Impl(int f) : fd(f) {}
};

InputFile::InputFile(const std::string& path) : m_path(path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Fail("open", path, errno);
    m_impl = std::make_unique<Impl>(fd);
}

InputFile::~InputFile() = default;

std::size_t InputFile::Read(void* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(m_impl->fd.get(), buffer, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) Fail("read", m_path, errno);
    }
}

void InputFile::Seek(uint64_t offset) {
    if (::lseek(m_impl->fd.get(), static_cast<off_t>(offset), SEEK_SET) < 0) Fail("seek in", m_path, errno);
}

uint64_t InputFile::Size() const {
    struct stat st;
    if (::fstat(m_impl->fd.get(), &st) != 0) Fail("examine", m_path, errno);
    return static_cast<uint64_t>(st.st_size);
}

struct OutputFile::Impl {
    Descriptor fd;
    explicit Impl(int f) : fd(f) {}
};

OutputFile::OutputFile(const std::string& path, Mode mode) : m_path(path) {
    const int how = mode == New ? O_EXCL | O_NOFOLLOW : O_TRUNC;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | how, 0666);
    if (fd < 0) Fail("create", path, errno);
    m_impl = std::make_unique<Impl>(fd);
}

OutputFile::OutputFile(std::string path, std::unique_ptr<Impl> impl) : m_path(std::move(path)), m_impl(std::move(impl)) {}

std::unique_ptr<OutputFile> CreateUniqueFile(const std::string& prefix) {
    // Not mkstemp: its files are private (0600), a package is not.
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%06x", static_cast<unsigned>(random()) & 0xFFFFFFu);
        const std::string path = prefix + suffix;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) return std::unique_ptr<OutputFile>(new OutputFile(path, std::make_unique<OutputFile::Impl>(fd)));
        if (errno != EEXIST) Fail("create", path, errno);
    }
    Fail("create", prefix + "*", EEXIST);
}

OutputFile::~OutputFile() = default;

void OutputFile::Write(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t put = ::write(m_impl->fd.get(), p, size);
        if (put < 0) {
            if (errno == EINTR) continue;
            Fail("write", m_path, errno);
        }
        p += put;
        size -= static_cast<std::size_t>(put);
    }
}

void OutputFile::WriteAt(uint64_t offset, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t put = ::pwrite(m_impl->fd.get(), p, size, static_cast<off_t>(offset));
        if (put < 0) {
            if (errno == EINTR) continue;
            Fail("write", m_path, errno);
        }
        p += put;
        offset += static_cast<uint64_t>(put);
        size -= static_cast<std::size_t>(put);
    }
}

void OutputFile::Close() {
    if (m_impl->fd.get() >= 0 && !m_impl->fd.Close()) Fail("close", m_path, errno);
}

std::vector<FolderEntry> ListFolder(const std::string& path) {
    Listing dir(::opendir(path.c_str()));
    if (!dir.get()) Fail("list the folder", path, errno);
    std::vector<FolderEntry> entries;
    for (;;) {
        errno = 0;
        const dirent* d = ::readdir(dir.get());
        if (!d) {
            if (errno != 0) Fail("list the folder", path, errno);
            break;
        }
        const std::string name = d->d_name;
        if (name == "." || name == "..") continue;
        const std::string full = JoinNative(path, name);
        struct stat st, lst;
        if (::stat(full.c_str(), &st) != 0) Fail("examine", full, errno);
        if (::lstat(full.c_str(), &lst) != 0) Fail("examine", full, errno);
        FolderEntry e;
        e.name = name;
        if (S_ISREG(st.st_mode)) {
            e.kind = FolderEntry::File;
            e.size = static_cast<uint64_t>(st.st_size);
        } else if (S_ISDIR(st.st_mode) && !S_ISLNK(lst.st_mode)) {
            e.kind = FolderEntry::Folder;
        }
        entries.push_back(e);
    }
    return entries;
}

bool IsFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void MakeFolders(const std::string& path) {
    // Up to the first folder that is there, then down creating the rest.
    std::vector<std::string> missing;
    for (std::string p = path; !p.empty() && !IsFolder(p);) {
        missing.push_back(p);
        const std::string parent = ParentOf(p);
        if (parent == p) break;
        p = parent;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0777) != 0) {
            const int error = errno;
            if (error != EEXIST || !IsFolder(*it)) Fail("create the folder", *it, error);
        }
    }
}

void MoveReplacing(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) Fail("write", to, errno);
}

struct FolderPlacer::Impl {
    Descriptor folder;  // the folder of m_folder, or -1
};

FolderPlacer::FolderPlacer(std::string base) : m_base(std::move(base)), m_impl(std::make_unique<Impl>()) {}

FolderPlacer::~FolderPlacer() = default;

void FolderPlacer::OpenFolder(const std::vector<std::string>& folder) {
    if (m_impl->folder.get() >= 0 && folder == m_folder) return;
    // Each folder is opened from the one above it without following a link,
    // and held while the next is looked up, so that nothing can be swapped
    // for a link between the check and the use.
    m_impl->folder.reset(-1);
    Descriptor dir(::open(m_base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) Fail("open the folder", m_base, errno);
    std::string path = m_base;
    for (const std::string& name : folder) {
        const char* part = name.c_str();
        path = JoinNative(path, name);
        if (::mkdirat(dir.get(), part, 0777) != 0 && errno != EEXIST) Fail("create the folder", path, errno);
        const int next = ::openat(dir.get(), part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            const int error = errno;
            struct stat st;
            if (::fstatat(dir.get(), part, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
                throw FileError("'" + path + "' is a link; updpkg never writes through a link");
            }
            Fail("open the folder", path, error);
        }
        dir.reset(next);
    }
    m_impl->folder.reset(dir.Release());
    m_folder = folder;
}

void FolderPlacer::Place(const std::string& from, const std::vector<std::string>& parts) {
    OpenFolder(std::vector<std::string>(parts.begin(), parts.end() - 1));
    // rename replaces a link at the file's place by the file itself.
    if (::renameat(AT_FDCWD, from.c_str(), m_impl->folder.get(), parts.back().c_str()) != 0) {
        Fail("write", PathOf(parts), errno);
    }
}

void FolderPlacer::Write(const std::vector<std::string>& parts, const void* data, std::size_t size,
                         const std::string& scratch) {
    OpenFolder(std::vector<std::string>(parts.begin(), parts.end() - 1));
    // O_EXCL: a file or a link already there is never opened.
    const char* name = parts.back().c_str();
    Descriptor fd(::openat(m_impl->folder.get(), name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.get() < 0) {
        if (errno == EEXIST) return WriteThrough(parts, data, size, scratch);
        Fail("create", PathOf(parts), errno);
    }
    const char* p = static_cast<const char*>(data);
    int error = 0;
    while (size > 0 && error == 0) {
        const ssize_t put = ::write(fd.get(), p, size);
        if (put < 0) {
            if (errno != EINTR) error = errno;
            continue;
        }
        p += put;
        size -= static_cast<std::size_t>(put);
    }
    if (error == 0 && !fd.Close()) error = errno;
    if (error != 0) {
        ::unlinkat(m_impl->folder.get(), name, 0);
        Fail("write", PathOf(parts), error);
    }
}

void RemoveFileQuietly(const std::string& path) noexcept { ::unlink(path.c_str()); }

void RemoveFolderQuietly(const std::string& path) noexcept { ::rmdir(path.c_str()); }

std::string TempFolder() {
    // As the C++ library finds it: TMPDIR, else /tmp.
    const char* dir = std::getenv("TMPDIR");
    std::string folder = dir && *dir ? dir : "/tmp";
    if (!IsFolder(folder)) throw FileError("no temporary folder: '" + folder + "' is not a folder");
    return folder;
}

std::string MakeUniqueFolder(const std::string& parent, const std::string& prefix) {
    std::string pattern = JoinNative(parent, prefix + "XXXXXX");
    if (!::mkdtemp(pattern.data())) Fail("create a folder in", parent, errno);
    return pattern;
}

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace updpkg
