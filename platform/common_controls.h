#pragma once
// The common controls, loaded at run time rather than imported: imported,
// the loader would resolve their own imports (version.dll, for one) before
// the program's first line, from beside the program; loaded after the DLL
// search was restricted, they find them in the system folder alone. The
// manifest's side-by-side entry still makes it version 6.

#include <windows.h>
#include <commctrl.h>

namespace platform {

// InitCommonControlsEx; false when the DLL or the function is missing.
bool InitCommonControlClasses(DWORD classes);

// PropertySheetW; -1 when the DLL or the function is missing.
INT_PTR RunPropertySheet(LPCPROPSHEETHEADERW header);

}  // namespace platform
