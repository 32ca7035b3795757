#pragma once
// The version resource of a Windows executable, read without Windows, as
// GetFileVersionInfo and VerQueryValue give it.

#include <cstdint>
#include <optional>
#include <string>

namespace updpkg {

struct FileVersion {
    uint32_t ms = 0;  // dwFileVersionMS: major << 16 | minor
    uint32_t ls = 0;  // dwFileVersionLS: build << 16 | revision
    std::string Text() const;  // "7.5.2.0"
};

// The fixed version block of a PE image (32- or 64-bit) held in bytes, or
// nothing when the image has no version resource with a fixed block of the
// full 52 bytes (what SETUP.EXE takes as "no readable version").
std::optional<FileVersion> ReadPeFileVersion(const std::string& bytes);

// The same from a file; throws FileError when it cannot be read.
std::optional<FileVersion> ReadPeFileVersionOf(const std::string& path);

// A text of the version resource's string table, in UTF-8, as
// VerQueryValueW("\\StringFileInfo\\<table>\\<name>") gives it for the first
// table (the first language); the name is matched without regard to case.
// Nothing when the image has no such text.
std::optional<std::string> ReadPeVersionString(const std::string& bytes, const char* name);

// Whether bytes are a PE image that is a library (a DLL).
bool IsPeLibrary(const std::string& bytes);

}  // namespace updpkg
