#pragma once
// SETUP.EXE's log file (/log FILE): one per process, written from any thread,
// each line on disk as soon as it is written. Without an open log every
// call is a no-op.

#include <string>

namespace platform {

// Creates (replaces) the log file. False when it cannot be created (the
// last error says why).
bool OpenLog(const std::string& path);
void CloseLog();
bool LogIsOpen();

// One entry; line breaks in the text become further lines of the same
// entry.
void Log(const std::string& text);

}  // namespace platform
