#pragma once
// Package entry names against the file names of the system updpkg runs on.
// In a package a name is code page 932 with '\' separators; file names are
// UTF-8 on every system (platform/mbcs.h converts).

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

// A relative path as it reads (UTF-8, '\\' separators) with the system's
// separators.
std::string RelativeToNative(const std::string& relative);

// An entry name for messages and listings, in the terminal's encoding; bytes
// without a form there are shown as \xNN. Never throws.
std::string DisplayName(const std::string& entryName);

// The components of an entry name: the format module's rule.
using pkg::SplitEntryName;

}  // namespace updpkg
