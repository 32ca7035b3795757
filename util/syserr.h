#pragma once
// The system's message text for a Windows error code.

#include <windows.h>

#include <string>

// The text as the system gives it (final line break included), in the
// user's default language; empty when the system has none for the code.
// The caller's last-error code is left as it was.
std::string GetSystemErrorText(DWORD code);
