// updpkg's entry point on Windows: the wide arguments as UTF-8, and what it
// prints (UTF-8) shown as such by a console, whatever the console's own code
// page; that code page is put back when the program ends.
#include <windows.h>

#include <cstdlib>

#include "platform/dll_search.h"
#include "platform/wide.h"
#include "tools/updpkg/entry.h"

namespace {

UINT g_consoleCodePage = 0;

void RestoreConsole() {
    if (g_consoleCodePage) ::SetConsoleOutputCP(g_consoleCodePage);
}

bool IsConsole(DWORD which) {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(which), &mode) != FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // The vendor runs it from folders full of other people's files.
    platform::RestrictDllSearch();
    if (IsConsole(STD_OUTPUT_HANDLE) || IsConsole(STD_ERROR_HANDLE)) {
        g_consoleCodePage = ::GetConsoleOutputCP();
        if (g_consoleCodePage != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) std::atexit(RestoreConsole);
    }
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(platform::Narrow(argv[i]));
    return updpkg::Main(args);
}
