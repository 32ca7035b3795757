#pragma once
// Reading a string value from the registry.

#include <windows.h>

#include <string>

// The value `name` (nullptr or "" for the key's default value) of root\subkey,
// opened for reading, taken as a NUL-terminated string whatever its type.
// When the key cannot be opened or the value cannot be read (missing, or
// longer than 1024 bytes), the result is defaultText, or "" when that is
// nullptr.
std::string ReadRegistryString(HKEY root, const std::string& subkey, const char* name,
                               const char* defaultText);
