#pragma once
// The Windows side of IsLinkAt, which the held folders use too.

#include <windows.h>

#include <string>
#include <string_view>

#include "util/link_at.h"

namespace linkat {

// The length of path's root, the part no folder is opened for: "X:\",
// "\\server\share\", and the same after "\\?\" or "\\?\UNC\"; 0 for any
// other path (relative, a device).
std::size_t RootLength(std::string_view path);

// Whether the name shows a reparse point (Wine shows a link nowhere else).
bool NameShowsLink(const std::wstring& path);

// Whether the file open as h is the one at path as far as its name tells.
bool HandleNamesPath(HANDLE h, const std::string& path);

// A folder and no link, but for a volume's mount point.
bool IsPlainFolder(HANDLE h, const std::wstring& path);

}  // namespace linkat
