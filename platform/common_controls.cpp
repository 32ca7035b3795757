#include "platform/common_controls.h"

#include "platform/handle.h"
#include "platform/system_library.h"

namespace platform {

namespace {

// The DLL, loaded at the first use (after start-up restricted the search)
// and kept for the rest of the process.
HMODULE Loaded() {
    static const Module dll(::LoadLibraryW(L"comctl32.dll"));
    return dll.get();
}

}  // namespace

bool InitCommonControlClasses(DWORD classes) {
    using Init = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    Init init = FindFunction<Init>(Loaded(), "InitCommonControlsEx");
    INITCOMMONCONTROLSEX icc = {sizeof icc, classes};
    return init && init(&icc);
}

INT_PTR RunPropertySheet(LPCPROPSHEETHEADERW header) {
    using Run = INT_PTR(WINAPI*)(LPCPROPSHEETHEADERW);
    Run run = FindFunction<Run>(Loaded(), "PropertySheetW");
    return run ? run(header) : -1;
}

}  // namespace platform
