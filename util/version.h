#pragma once
// A file's fixed version block.

#include <windows.h>

#include <string>

// Clears *info (all 52 bytes), then fills it from the version resource of
// the file at path. TRUE only when the resource has a root block of exactly
// the size of VS_FIXEDFILEINFO; otherwise FALSE with *info still clear.
BOOL ReadFileVersion(const std::string& path, VS_FIXEDFILEINFO* info);
