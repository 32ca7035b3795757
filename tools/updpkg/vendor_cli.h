#pragma once
// The command line of updpkg's medium commands: medium, check, diff, and
// the signing ones, keygen and sign.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace updpkg {

struct VendorOptions {
    std::string command;  // medium, check, diff, keygen, sign
    bool help = false;
    std::optional<uint32_t> key;  // --key HEX
    std::string keyFile;          // --key-file LIBRARY
    std::string product;          // --product FOLDER (check)
    std::string ini;              // --ini SETUP.INI (medium, diff)
    std::string setup;            // --setup SETUP.EXE (medium)
    std::string output;           // -o FOLDER (medium: the medium; diff: the FILES tree)
    int level = 6;                // --level 0-9 (medium)
    bool force = false;           // --force (medium, diff): write into a folder that is not empty
    bool json = false;            // --json (check)
    std::string signKey;          // --sign-key VENDOR.key (medium, sign)
    std::string signedBy;         // --signed-by VENDOR.pub (check)
    std::vector<std::string> operands;  // FILES (medium), MEDIUM (check, sign), OLD NEW (diff)
};

bool IsVendorCommand(const std::string& name);

// Throws UsageError.
VendorOptions ParseVendorCommandLine(const std::vector<std::string>& args);

std::string VendorUsageText(const std::string& command);

// One line per command, for the tool's overall usage.
std::string VendorSynopses();

}  // namespace updpkg
