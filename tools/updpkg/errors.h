#pragma once
// The failures updpkg tells apart, one per exit status. A damaged package is
// pkg::FormatError (status 1).

#include <stdexcept>
#include <string>
#include <utility>

namespace updpkg {

enum ExitStatus { kExitOk = 0, kExitDamaged = 1, kExitUsage = 2, kExitFile = 3 };

// Wrong usage: the message, then the usage text of the command.
class UsageError : public std::runtime_error {
public:
    UsageError(const std::string& message, std::string command)
        : std::runtime_error(message), m_command(std::move(command)) {}
    const std::string& command() const { return m_command; }

private:
    std::string m_command;
};

// A file or folder that could not be read or written, or a file name that
// cannot be carried between the system and the package (status 3).
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace updpkg
