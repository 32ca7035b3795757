#pragma once
// What the update checks of an open file, read from its handle alone: size,
// time, attributes, links and the file's number on its volume. Without the
// volume's serial number, which the system may take long to tell.

#include <windows.h>

struct FileFacts {
    ULONGLONG size = 0;
    FILETIME written{};
    DWORD attributes = 0;
    DWORD links = 0;
    ULONGLONG index = 0;  // the file's number on its volume; it stays through a rename
};

// false with the last error set when the handle cannot tell.
bool ReadFileFacts(HANDLE h, FileFacts& facts);
