#pragma once
// SETUP.EXE's options for unattended runs: the mode, the log file and the
// install folder, read from the arguments (portable).

#include <string>
#include <vector>

enum class RunMode { Interactive, Quiet, Passive };

struct CommandLine {
    RunMode mode = RunMode::Interactive;
    bool help = false;        // /? or /help
    std::string logFile;      // /log FILE, empty without it
    std::string installDir;   // /dir FOLDER, empty without it
    std::string error;        // why the arguments are a usage error; empty when they are not
};

// Reads the arguments after the program's name. Options are case-insensitive
// and begin with '/' or '-'. On a usage error the result still holds what was
// read before and after the fault (the mode and the log in particular, so that
// a quiet run reports the error in its log rather than in a box).
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The usage box's text, and the text of the box for a usage error (both in
// code page 932).
std::string UsageText();
std::string UsageErrorText();

// True when the run answers every question itself.
inline bool IsUnattended(RunMode mode) { return mode != RunMode::Interactive; }
