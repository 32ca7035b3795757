// Entry point of SETUP.EXE: the application object's start-up is the whole
// program; the exit status tells the outcome of the update.
#include <windows.h>

#include "app/RunSession.h"
#include "app/SetupApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CSetupApp& app = GetApp();
    app.m_options = ParseCommandLine(ProcessArguments());
    app.InitInstance();
    return app.m_nExitStatus;
}
