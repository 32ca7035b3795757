#pragma once
// The program's Japanese texts outside the resources, in UTF-8, as written
// in res/texts.inc (one UPD_TEXT entry each). Portable: updpkg shows the
// same texts as SETUP.EXE.

namespace texts {

#define UPD_TEXT(name, ...) inline constexpr char name[] = __VA_ARGS__;
#include "res/texts.inc"
#undef UPD_TEXT

}  // namespace texts
