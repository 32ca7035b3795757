#pragma once
// The command line of updpkg.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace updpkg {

struct Options {
    std::string command;      // key, build, list, verify, extract; empty with --help alone
    bool help = false;        // print the usage of the command and stop
    std::optional<uint32_t> key;  // --key HEX
    std::string keyFile;      // --key-file LIBRARY
    int level = 6;            // --level 0-9 (build)
    unsigned jobs = 0;        // --jobs N; 0: one per processor
    std::string output;       // -o PACKAGE (build)
    std::string folder;       // -C FOLDER (extract) or FOLDER (build)
    std::string package;      // PACKAGE (list, verify, extract)
    std::string library;      // LIBRARY (key)
};

// Throws UsageError for anything the commands do not take.
Options ParseCommandLine(const std::vector<std::string>& args);

// The usage text of a command, or of the whole tool for an empty or unknown
// command.
std::string UsageText(const std::string& command);

// One argument that starts with "-": its option name, and the value given
// with it as "--name=value" (true) or none (false).
bool SplitOption(const std::string& arg, std::string& name, std::string& value);

// 1 to 8 hexadecimal digits, with or without 0x; nothing else.
std::optional<uint32_t> ParseKey(const std::string& text);

}  // namespace updpkg
