#pragma once
// The programs' edge with Windows: every call that takes or returns text is
// the W function, given a wide temporary made from the UTF-8 string at the
// call and returning UTF-8 (platform/utf.h holds the rules).
//
//   ::DeleteFileW(platform::Wide(path).c_str());
//   std::string name = platform::Narrow(data.cFileName);

#include <string>
#include <string_view>

namespace platform {

std::wstring Wide(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace platform
