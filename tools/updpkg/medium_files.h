#pragma once
// Files of a medium or a product tree as SETUP.EXE finds them on Windows:
// names matched as Windows matches them (names::Key), relative paths given
// as they read, with backslashes (the form of SETUP.INI's values).

#include <optional>
#include <string>

namespace updpkg {

// The system's path of root joined with a relative path, each component
// matched as Windows matches names (a name spelled exactly wins); nothing
// when a component is missing. Empty components ("a\\\\b", a trailing
// backslash) are skipped.
std::optional<std::string> FindBelow(const std::string& root, const std::string& relative);

// The whole of a (small) file: SETUP.INI, an executable.
std::string ReadWholeFile(const std::string& path);

// Copies a file, replacing one at to (its folder must exist).
void CopyOneFile(const std::string& from, const std::string& to);

// Copies every file below from to the same place below to (created).
void CopyTree(const std::string& from, const std::string& to);

// Whether two files have the same bytes.
bool SameBytes(const std::string& a, const std::string& b);

// A fresh folder for scratch work in the system's temporary folder, removed
// with everything in it when the owner goes.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace updpkg
