#pragma once
// One SETUP.EXE at a time: two would share the one work folder, the second
// removing the first's files while the first installs them.

#include "platform/handle.h"

class CSingleInstance {
public:
    CSingleInstance() = default;
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // Creates the program's named mutex in the global namespace (all
    // sessions). false when it already exists, or exists but may not be
    // opened (another user's instance). Held until destruction.
    bool Acquire();

private:
    platform::Handle m_mutex;
};
