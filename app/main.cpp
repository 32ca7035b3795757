// Entry point of SETUP.EXE: the application object's start-up is the whole
// program; the exit status tells the outcome of the update.
#include <windows.h>

#include "app/RunSession.h"
#include "app/SetupApp.h"
#include "platform/dll_search.h"

namespace {

// The program runs elevated from a folder it does not own: DLLs loaded by
// bare name must come from the system folder alone, from before the first
// of the program's own static constructors on.
struct RestrictDllSearchFirst {
    RestrictDllSearchFirst() { platform::RestrictDllSearch(); }
};
RestrictDllSearchFirst g_restrictDllSearch __attribute__((init_priority(101)));

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    CSetupApp& app = GetApp();
    app.m_options = ParseCommandLine(ProcessArguments());
    app.InitInstance();
    return app.m_nExitStatus;
}
