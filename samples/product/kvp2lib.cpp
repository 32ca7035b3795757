// The sample product's library. Its bytes are the product build's
// fingerprint: their CRC-32 keys the update package.
#include <windows.h>

extern "C" __declspec(dllexport) int Kvp2LibBuild() { return 75; }

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
