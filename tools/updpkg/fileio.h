#pragma once
// Files and folders for updpkg, over POSIX calls on Linux and the ANSI file
// functions on Windows (fileio_posix.cpp, fileio_win.cpp). Every failure
// throws FileError with the path and the system's reason.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace updpkg {

class InputFile {
public:
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Up to size bytes; 0 at the end of the file.
    std::size_t Read(void* buffer, std::size_t size);
    // size bytes, fewer only at the end of the file.
    std::size_t ReadFull(void* buffer, std::size_t size);
    void Seek(uint64_t offset);
    uint64_t Size() const;
    const std::string& path() const { return m_path; }

private:
    struct Impl;
    std::string m_path;
    std::unique_ptr<Impl> m_impl;
};

// Created empty. Replace truncates an existing file; New fails when
// anything, a link included, stands at the path, so a planted link is never
// followed. Close reports the errors that only show when the data reaches
// the disk; the destructor closes without a report.
class OutputFile {
public:
    enum Mode { Replace, New };
    explicit OutputFile(const std::string& path, Mode mode = Replace);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(const void* data, std::size_t size);
    // Rewrites bytes already written; later writes still append.
    void WriteAt(uint64_t offset, const void* data, std::size_t size);
    void Close();
    const std::string& path() const { return m_path; }

private:
    struct Impl;
    OutputFile(std::string path, std::unique_ptr<Impl> impl);
    friend std::unique_ptr<OutputFile> CreateUniqueFile(const std::string& prefix);
    std::string m_path;
    std::unique_ptr<Impl> m_impl;
};

struct FolderEntry {
    enum Kind { File, Folder, Other };
    std::string name;
    Kind kind = Other;
    uint64_t size = 0;
};

// The entries of a folder but "." and "..", in no particular order. Links
// are followed, except a link to a folder, which is listed as Other so that
// a walk cannot loop.
std::vector<FolderEntry> ListFolder(const std::string& path);

// Whether path names an existing folder.
bool IsFolder(const std::string& path);

// Creates a folder and the missing ones above it, one level after another;
// an existing folder is fine.
void MakeFolders(const std::string& path);

// Moves a file to to, replacing a file there.
void MoveReplacing(const std::string& from, const std::string& to);

// Moves files to base/parts[0]/.../parts[n-1], replacing a file there and
// creating the missing folders. Nothing below base is followed if it is a
// link: a link among the folders is refused, a link at the file's place is
// replaced by the file. The last folder stays open for the next file, since
// the entries of one folder come together.
class FolderPlacer {
public:
    explicit FolderPlacer(std::string base);
    ~FolderPlacer();
    FolderPlacer(const FolderPlacer&) = delete;
    FolderPlacer& operator=(const FolderPlacer&) = delete;

    void Place(const std::string& from, const std::vector<std::string>& parts);
    // Writes size bytes as that file. Where the name is free the file is
    // created there (and removed again if writing fails); a name that is
    // taken keeps its file until the new one, written to scratch first, is
    // moved over it as by Place.
    void Write(const std::vector<std::string>& parts, const void* data, std::size_t size, const std::string& scratch);

private:
    // Creates the folder below base as needed and keeps it for the next file.
    void OpenFolder(const std::vector<std::string>& folder);
    std::string PathOf(const std::vector<std::string>& parts) const;
    // Writes to scratch and places it.
    void WriteThrough(const std::vector<std::string>& parts, const void* data, std::size_t size,
                      const std::string& scratch);
    struct Impl;
    std::string m_base;
    std::vector<std::string> m_folder;  // parts of the folder last placed in
    std::unique_ptr<Impl> m_impl;
};

// A new file named prefix and a unique suffix, created as OutputFile::New.
std::unique_ptr<OutputFile> CreateUniqueFile(const std::string& prefix);

// Removals after a failure, when a second error would only hide the first.
void RemoveFileQuietly(const std::string& path) noexcept;
void RemoveFolderQuietly(const std::string& path) noexcept;

// The system's folder for temporary files. Throws FileError.
std::string TempFolder();

// Creates a new folder whose name begins with prefix inside parent.
std::string MakeUniqueFolder(const std::string& parent, const std::string& prefix);

// folder and a relative path, with one separator between them.
std::string JoinNative(const std::string& folder, const std::string& relative);

// Everything before the last separator; "" when there is none.
std::string ParentOf(const std::string& path);

bool StderrIsTerminal();

}  // namespace updpkg
