#pragma once
// The one way the installation asks to try again: a Retry/Cancel box with
// the reason (exclamation), the step tried again on Retry, given up on
// Cancel. Unattended, the prompt answers Retry for a while, then Cancel.

#include <windows.h>

#include <functional>
#include <string>

namespace install {

enum class Try {
    Done,    // the step is done
    Failed,  // ask, with why as the box's text
    Stop,    // give up without asking (the step has shown its own box)
};

// true once attempt is Done; false after Cancel or Stop.
bool Retrying(const std::function<Try(std::string& why)>& attempt);

// The common case: attempt gives 0 when done, else a system error code,
// shown as its text.
bool RetryingSystem(const std::function<DWORD()>& attempt);

// The box for a link met where the update writes (Destinations::Link):
// it names the folder or file; the update stops.
void RefuseLink(const std::string& path);

}  // namespace install
