// The file layer on Windows: the W functions on UTF-8 names, as on Linux.
#include <windows.h>

#include <io.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "platform/handle.h"
#include "platform/wide.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/fileio.h"

namespace updpkg {

namespace {

// error is GetLastError() as read right after the failing call.
[[noreturn]] void Fail(const std::string& what, const std::string& path, DWORD error) {
    platform::LocalMemory<wchar_t> text;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<wchar_t*>(text.out()), 0, nullptr);
    std::string reason = text ? platform::Narrow(text.get()) : "";
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) reason.pop_back();
    throw FileError("cannot " + what + " '" + path + "': " + reason + " (error " + std::to_string(error) + ")");
}

// ReadFile and WriteFile move at most a DWORD's worth at once.
DWORD Chunk(std::size_t size) { return size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size); }

}  // namespace

struct InputFile::Impl {
    platform::Handle handle;
};

InputFile::InputFile(const std::string& path) : m_path(path), m_impl(std::make_unique<Impl>()) {
    HANDLE h = CreateFileW(platform::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) Fail("open", path, GetLastError());
    m_impl->handle.reset(h);
}

InputFile::~InputFile() = default;

std::size_t InputFile::Read(void* buffer, std::size_t size) {
    DWORD got = 0;
    if (!ReadFile(m_impl->handle.get(), buffer, Chunk(size), &got, nullptr)) {
        const DWORD error = GetLastError();
        if (error == ERROR_HANDLE_EOF) return 0;
        Fail("read", m_path, error);
    }
    return got;
}

void InputFile::Seek(uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(m_impl->handle.get(), to, nullptr, FILE_BEGIN)) Fail("seek in", m_path, GetLastError());
}

uint64_t InputFile::Size() const {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(m_impl->handle.get(), &size)) Fail("examine", m_path, GetLastError());
    return static_cast<uint64_t>(size.QuadPart);
}

struct OutputFile::Impl {
    platform::Handle handle;
};

OutputFile::OutputFile(const std::string& path, Mode mode) : m_path(path), m_impl(std::make_unique<Impl>()) {
    // CREATE_NEW fails on anything at the path, a link included.
    const DWORD how = mode == New ? CREATE_NEW : CREATE_ALWAYS;
    HANDLE h = CreateFileW(platform::Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, how, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) Fail("create", path, GetLastError());
    m_impl->handle.reset(h);
}

OutputFile::OutputFile(std::string path, std::unique_ptr<Impl> impl) : m_path(std::move(path)), m_impl(std::move(impl)) {}

std::unique_ptr<OutputFile> CreateUniqueFile(const std::string& prefix) {
    const unsigned long seed = GetCurrentProcessId() * 7919ul + GetTickCount();
    for (unsigned long i = 0; i < 1000; ++i) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%06lx", (seed + i) & 0xFFFFFFul);
        const std::string path = prefix + suffix;
        HANDLE h = CreateFileW(platform::Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            auto impl = std::make_unique<OutputFile::Impl>();
            impl->handle.reset(h);
            return std::unique_ptr<OutputFile>(new OutputFile(path, std::move(impl)));
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) Fail("create", path, error);
    }
    Fail("create", prefix + "*", ERROR_FILE_EXISTS);
}

OutputFile::~OutputFile() = default;

void OutputFile::Write(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD put = 0;
        if (!WriteFile(m_impl->handle.get(), p, Chunk(size), &put, nullptr)) Fail("write", m_path, GetLastError());
        p += put;
        size -= put;
    }
}

void OutputFile::WriteAt(uint64_t offset, const void* data, std::size_t size) {
    HANDLE h = m_impl->handle.get();
    LARGE_INTEGER here{}, zero{}, to;
    if (!SetFilePointerEx(h, zero, &here, FILE_CURRENT)) Fail("write", m_path, GetLastError());
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(h, to, nullptr, FILE_BEGIN)) Fail("write", m_path, GetLastError());
    Write(data, size);
    if (!SetFilePointerEx(h, here, nullptr, FILE_BEGIN)) Fail("write", m_path, GetLastError());
}

void OutputFile::Close() {
    if (!m_impl->handle.valid()) return;
    HANDLE h = m_impl->handle.release();
    if (!CloseHandle(h)) Fail("close", m_path, GetLastError());
}

std::vector<FolderEntry> ListFolder(const std::string& path) {
    WIN32_FIND_DATAW data;
    platform::FindHandle find(FindFirstFileW(platform::Wide(JoinNative(path, "*")).c_str(), &data));
    if (!find.valid()) Fail("list the folder", path, GetLastError());
    std::vector<FolderEntry> entries;
    for (;;) {
        const std::string name = platform::Narrow(data.cFileName);
        if (name != "." && name != "..") {
            FolderEntry e;
            e.name = name;
            const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            const bool link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (!folder) {
                e.kind = FolderEntry::File;
                e.size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
            } else if (!link) {
                e.kind = FolderEntry::Folder;
            }
            entries.push_back(e);
        }
        if (!FindNextFileW(find.get(), &data)) {
            const DWORD error = GetLastError();
            if (error == ERROR_NO_MORE_FILES) break;
            Fail("list the folder", path, error);
        }
    }
    return entries;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(platform::Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void MakeFolders(const std::string& path) {
    // Up to the first folder that is there, then down creating the rest. A
    // drive ("C:") or the root ends the climb.
    std::vector<std::string> missing;
    for (std::string p = path; !p.empty() && p.back() != ':' && !IsFolder(p);) {
        missing.push_back(p);
        const std::string parent = ParentOf(p);
        if (parent == p) break;
        p = parent;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!CreateDirectoryW(platform::Wide(*it).c_str(), nullptr)) {
            const DWORD error = GetLastError();
            if (error != ERROR_ALREADY_EXISTS || !IsFolder(*it)) Fail("create the folder", *it, error);
        }
    }
}

void MoveReplacing(const std::string& from, const std::string& to) {
    if (!MoveFileExW(platform::Wide(from).c_str(), platform::Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) Fail("write", to, GetLastError());
}

struct FolderPlacer::Impl {
    bool ready = false;  // m_folder is there and no link
};

FolderPlacer::FolderPlacer(std::string base) : m_base(std::move(base)), m_impl(std::make_unique<Impl>()) {}

FolderPlacer::~FolderPlacer() = default;

void FolderPlacer::OpenFolder(const std::vector<std::string>& folder) {
    if (m_impl->ready && folder == m_folder) return;
    std::string path = m_base;
    for (const std::string& name : folder) {
        path = JoinNative(path, name);
        if (!CreateDirectoryW(platform::Wide(path).c_str(), nullptr)) {
            const DWORD error = GetLastError();
            const DWORD attributes = GetFileAttributesW(platform::Wide(path).c_str());
            if (error != ERROR_ALREADY_EXISTS || attributes == INVALID_FILE_ATTRIBUTES) Fail("create the folder", path, error);
            if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                throw FileError("'" + path + "' is a link; updpkg never writes through a link");
            }
            if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) Fail("create the folder", path, ERROR_ALREADY_EXISTS);
        }
    }
    m_folder = folder;
    m_impl->ready = true;
}

void FolderPlacer::Place(const std::string& from, const std::vector<std::string>& parts) {
    OpenFolder(std::vector<std::string>(parts.begin(), parts.end() - 1));
    // MoveFileEx replaces a link at the file's place, not what it points to.
    MoveReplacing(from, PathOf(parts));
}

void FolderPlacer::Write(const std::vector<std::string>& parts, const void* data, std::size_t size,
                         const std::string& scratch) {
    // Always by a scratch file: the move, unlike a new file, is sure never to
    // write through a link at the file's place.
    WriteThrough(parts, data, size, scratch);
}

void RemoveFileQuietly(const std::string& path) noexcept { DeleteFileW(platform::Wide(path).c_str()); }

void RemoveFolderQuietly(const std::string& path) noexcept { RemoveDirectoryW(platform::Wide(path).c_str()); }

std::string TempFolder() {
    wchar_t buf[MAX_PATH + 1] = {};  // the longest the system gives
    const DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    if (n == 0 || n > MAX_PATH) throw FileError("no temporary folder (error " + std::to_string(GetLastError()) + ")");
    return platform::Narrow(std::wstring_view(buf, n));
}

std::string MakeUniqueFolder(const std::string& parent, const std::string& prefix) {
    const unsigned long seed = GetCurrentProcessId() * 7919ul + GetTickCount();
    for (unsigned long i = 0; i < 1000; ++i) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%06lx", (seed + i) & 0xFFFFFFul);
        const std::string path = JoinNative(parent, prefix + suffix);
        if (CreateDirectoryW(platform::Wide(path).c_str(), nullptr)) return path;
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS) Fail("create a folder in", parent, error);
    }
    Fail("create a folder in", parent, ERROR_ALREADY_EXISTS);
}

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

}  // namespace updpkg
