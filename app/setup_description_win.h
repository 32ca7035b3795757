#pragma once
// SETUP.INI through the system's profile reader: the reference that the
// program's own reader (app/profile.h) is tested against.

#include <string>

namespace setupini {

// GetPrivateProfileStringA with the default "", its buffer grown until the
// whole value fits. key == nullptr: the key names of the section, in the
// reader's NUL-separated form with its final NUL.
std::string ReadSystemProfile(const char* section, const char* key, const std::string& path);

}  // namespace setupini
