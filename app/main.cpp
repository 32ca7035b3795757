// Entry point of SETUP.EXE: the application object's start-up is the whole
// program. The exit status does not tell the outcome of the update.
#include <windows.h>

#include "app/SetupApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    GetApp().InitInstance();
    return 0;
}
