#pragma once
// SETUP.EXE's log file (/log FILE): one per process, written from any thread,
// each line on disk as soon as it is written. Without an open log every
// call is a no-op.

#include <string>

#include "platform/handle.h"

namespace platform {

// Takes file, opened for writing and empty, as the log (the caller opens
// it: where and how is its business, see OpenLogFile in app/RunSession.h).
// False when the first bytes cannot be written (the last error says why).
bool OpenLog(Handle file);
void CloseLog();
bool LogIsOpen();

// One entry; line breaks in the text become further lines of the same
// entry.
void Log(const std::string& text);

}  // namespace platform
