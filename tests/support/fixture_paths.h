#pragma once
// Where the programs of the build are: the fixtures and SETUP.EXE beside
// the test program, the sample product in the build's samples folder.

#include <windows.h>

#include <string>

#include "platform/wide.h"

namespace testsupport {

inline std::string FixturePath(const std::string& name) {
    wchar_t self[32768] = {};
    std::string folder = platform::Narrow(std::wstring_view(self, ::GetModuleFileNameW(nullptr, self, 32768)));
    folder.resize(folder.rfind('\\') + 1);
    return folder + name;
}

// The folder of the build's programs, with its trailing separator.
inline std::string BinDir() { return FixturePath(""); }

// A file of the sample product (samples/), e.g. "installed\\Zomi7.EXE".
inline std::string Sample(const std::string& rel) { return BinDir() + "..\\samples\\" + rel; }

}  // namespace testsupport
