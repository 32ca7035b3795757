#pragma once
// The "unexpected error" report of the update: a stop box that names a
// system error code.

#include <windows.h>

#include <exception>

// The system error code that stands for an exception: a file error's own
// code, "not enough memory" for a failed allocation, a system error's value,
// otherwise lastError (the thread's last error when it was caught).
DWORD ErrorCodeOf(const std::exception_ptr& error, DWORD lastError);

// Shows "...予期しないエラーが発生しました。(code)" (stop icon, OK).
void ShowUnexpectedError(DWORD code);
