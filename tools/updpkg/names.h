#pragma once
// Package entry names against the file names of the system updpkg runs on.
// In a package a name is code page 932 with '\' separators. On Linux file
// names are UTF-8 and are converted with iconv; on Windows they are in the
// system's ANSI code page, converted through UTF-16 unless that already is
// code page 932.

#include <string>
#include <vector>

#include "engine/pkg/entry_name.h"

namespace updpkg {

// Separator of the system's paths.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// One component of a file name, as the system spells it, in code page 932.
// Throws FileError naming path when it has no code page 932 form, or when
// that form would hold a separator.
std::string ComponentToPackage(const std::string& component, const std::string& path);

// An entry name (already found safe) as a path relative to the extraction
// folder, with the system's separators. Throws FileError when a component
// has no form on this system.
std::string EntryNameToPath(const std::string& entryName);

// An entry name for messages and listings, in the terminal's encoding; bytes
// without a form there are shown as \xNN. Never throws.
std::string DisplayName(const std::string& entryName);

// The components of an entry name: the format module's rule.
using pkg::SplitEntryName;

// Whole texts (SETUP.INI) between UTF-8 and code page 932; false when a
// character has no form in the target or the input is not valid.
bool Utf8ToCp932(const std::string& utf8, std::string& out);
bool Cp932ToUtf8(const std::string& cp932, std::string& out);

}  // namespace updpkg
