#pragma once
// File names as Windows compares them (portable, UTF-8): two names with one
// key are one file. Used wherever the programs ask whether two paths name
// the same file or whether one lies in a folder.

#include <string>
#include <string_view>
#include <vector>

namespace names {

// The name with every letter in its capital form, as Windows' file systems
// fold case (ASCII, Latin, Greek, Cyrillic, full-width ... letters of the
// Basic Multilingual Plane), and '/' made '\'. Keys compare byte for byte.
std::string Key(std::string_view utf8);

bool Same(std::string_view a, std::string_view b);

// Whether path is root or lies below it (root may end in a backslash).
bool IsAtOrBelow(std::string_view path, std::string_view root);

// The keys of the folders a path runs through, outermost first: of a key
// ("A\\B\\C.TXT"), each leading part that ends before a backslash ("A",
// "A\\B"). Where Windows must make a folder of each, no file may have one of
// these keys.
std::vector<std::string> FolderKeysOf(std::string_view key);

}  // namespace names
