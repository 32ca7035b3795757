#pragma once
// The program's Japanese texts outside the resources, in code page 932.
// They are written in UTF-8 in res/texts.inc; the build converts them once
// (cmake/texts_cp932.py) and defines these arrays with the converted bytes.
// Portable: updpkg shows the same texts as SETUP.EXE.

namespace texts {

#define UPD_TEXT(name, ...) extern const char name[];
#include "res/texts.inc"
#undef UPD_TEXT

}  // namespace texts
