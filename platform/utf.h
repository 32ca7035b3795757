#pragma once
// Text inside the programs is UTF-8; Windows takes and returns UTF-16. The
// two conversions here are exact both ways for every name Windows can hold:
// a lone surrogate (NTFS allows one in a file name) is kept as its own
// three-byte form (the "WTF-8" generalisation), so no name becomes another.
// Portable, so that its rules are tested natively; the Windows side is
// platform/wide.h.

#include <string>
#include <string_view>

namespace utf {

// UTF-16 to UTF-8; never fails.
std::string FromUtf16(std::u16string_view text);

// UTF-8 to UTF-16. A byte that begins no well-formed sequence (an overlong
// form, a cut sequence, a stray continuation byte, a value past U+10FFFF)
// becomes U+FFFD and sets *valid to false when valid is given.
std::u16string ToUtf16(std::string_view text, bool* valid = nullptr);

// Whether text is well-formed UTF-8 (lone surrogates in their three-byte
// form included, as FromUtf16 writes them).
bool IsValid(std::string_view text);

}  // namespace utf
