#pragma once
// SETUP.EXE's log file (/log FILE): one per process, written from any thread,
// each line on disk as soon as it is written. Without an open log every
// call is a no-op.

#include <string>

namespace platform {

// Creates (replaces) the log file; path in the system code page. False when
// it cannot be created (the last error says why).
bool OpenLog(const std::string& path);
void CloseLog();
bool LogIsOpen();

// One entry: text in the system code page (code page 932), converted to
// UTF-8; line breaks in it become further lines of the same entry.
void Log(const std::string& text);

}  // namespace platform
