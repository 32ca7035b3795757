#pragma once
// Where the fixture programs of the build are: beside the test program.

#include <windows.h>

#include <string>

namespace testfix {

inline std::string FixturePath(const std::string& name) {
    char self[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string folder(self, n);
    folder.resize(folder.rfind('\\') + 1);
    return folder + name;
}

}  // namespace testfix
