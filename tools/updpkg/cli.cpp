#include "tools/updpkg/cli.h"

#include <cstring>

#include "tools/updpkg/errors.h"
#include "tools/updpkg/vendor_cli.h"

namespace updpkg {

namespace {

const char* const kKeyArgs = "(--key HEX | --key-file LIBRARY)";

struct CommandText {
    const char* name;
    const char* synopsis;
    const char* description;
};

const CommandText kCommands[] = {
    {"key", "LIBRARY",
     "Prints the package key for the product build whose library is LIBRARY:\n"
     "the CRC-32 of the whole file, as 8 lower-case hexadecimal digits.\n"},
    {"build", "KEYARGS [--level 0-9] [--jobs N] -o PACKAGE FOLDER",
     "Packs every file below FOLDER into PACKAGE, masked with the key. FOLDER is\n"
     "the FILES tree: its first-level folders are the components' source folders.\n"
     "Entry names are the paths below FOLDER in code page 932 with backslashes,\n"
     "in a fixed order, so the same tree always gives the same bytes.\n"
     "  --level 0-9  zlib compression level (default 6)\n"},
    {"list", "KEYARGS [--jobs N] PACKAGE",
     "Checks every entry and prints one line for each: uncompressed size,\n"
     "compressed size, name.\n"},
    {"verify", "KEYARGS [--jobs N] PACKAGE",
     "Checks every entry (names, lengths, compressed data, checksums) and writes\n"
     "nothing.\n"},
    {"extract", "KEYARGS [--jobs N] -C FOLDER PACKAGE",
     "Checks every entry and writes it below FOLDER (created when missing).\n"
     "Each file is placed only once its checksum has passed; names that could\n"
     "leave FOLDER are refused.\n"},
};

const CommandText* FindCommand(const std::string& name) {
    for (const CommandText& c : kCommands) {
        if (name == c.name) return &c;
    }
    return nullptr;
}

std::string Synopsis(const CommandText& c) {
    std::string s = std::string("updpkg ") + c.name + " " + c.synopsis;
    const std::size_t at = s.find("KEYARGS");
    if (at != std::string::npos) s.replace(at, 7, kKeyArgs);
    return s;
}

const char kCommon[] =
    "  --key HEX           the package key, 1 to 8 hexadecimal digits\n"
    "  --key-file LIBRARY  take the key from the product's library (see updpkg key)\n"
    "  --jobs N            entries worked on at once (default: one per processor)\n"
    "  --help              this text\n"
    "Exit status: 0 success, 1 the package is damaged or was made for another key,\n"
    "2 wrong usage, 3 a file could not be read or written.\n";

// Which options each command takes.
struct OptionInfo {
    const char* name;
    const char* commands;  // space-separated
};
const OptionInfo kOptions[] = {
    {"--key", " build list verify extract "},  {"--key-file", " build list verify extract "},
    {"--level", " build "},                    {"--jobs", " build list verify extract "},
    {"-o", " build "},                         {"-C", " extract "},
};

bool Takes(const OptionInfo& option, const std::string& command) {
    return std::strstr(option.commands, (" " + command + " ").c_str()) != nullptr;
}

void SetOnce(std::string& field, bool& seen, const std::string& value, const std::string& option,
             const std::string& command) {
    if (seen) throw UsageError(option + " given twice", command);
    if (value.empty()) throw UsageError(option + " needs a non-empty value", command);
    seen = true;
    field = value;
}

}  // namespace

std::optional<uint32_t> ParseKey(const std::string& text) {
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits.erase(0, 2);
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else return std::nullopt;
        value = value << 4 | static_cast<uint32_t>(v);
    }
    return value;
}

std::string UsageText(const std::string& command) {
    if (IsVendorCommand(command)) return VendorUsageText(command);
    if (const CommandText* c = FindCommand(command)) {
        std::string text = "usage: " + Synopsis(*c) + "\n" + c->description;
        if (command != "key") text += kCommon;
        return text;
    }
    std::string text = "usage:\n";
    for (const CommandText& c : kCommands) text += "  " + Synopsis(c) + "\n";
    text += VendorSynopses();
    text += "  updpkg COMMAND --help\n";
    text += "Builds, lists, verifies and extracts update packages; builds, signs and checks media.\n";
    text += kCommon;
    return text;
}

bool SplitOption(const std::string& arg, std::string& name, std::string& value) {
    const std::size_t equals = arg.find('=');
    if (arg.compare(0, 2, "--") != 0 || equals == std::string::npos) {
        name = arg;
        value.clear();
        return false;
    }
    name = arg.substr(0, equals);
    value = arg.substr(equals + 1);
    return true;
}

Options ParseCommandLine(const std::vector<std::string>& args) {
    Options o;
    if (args.empty()) throw UsageError("no command given", "");
    std::size_t i = 0;
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        o.help = true;
        if (args.size() > 1 && (FindCommand(args[1]) || IsVendorCommand(args[1]))) o.command = args[1];
        return o;
    }
    if (!FindCommand(args[0])) throw UsageError("unknown command '" + args[0] + "'", "");
    o.command = args[i++];
    const std::string& cmd = o.command;

    // --help anywhere wins, whatever else is wrong.
    for (std::size_t k = i; k < args.size() && args[k] != "--"; ++k) {
        if (args[k] == "--help" || args[k] == "-h") {
            o.help = true;
            return o;
        }
    }

    std::vector<std::string> operands;
    std::string keyText, levelText, jobsText;
    bool seenKey = false, seenKeyFile = false, seenLevel = false, seenJobs = false, seenOut = false, seenDir = false;
    bool optionsEnded = false;
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name, value;
        const bool inlineValue = SplitOption(arg, name, value);
        const OptionInfo* option = nullptr;
        for (const OptionInfo& s : kOptions) {
            if (name == s.name) option = &s;
        }
        if (!option) throw UsageError("unknown option '" + arg + "'", cmd);
        if (!Takes(*option, cmd)) throw UsageError(cmd + " does not take " + name, cmd);
        if (!inlineValue) {
            if (i + 1 >= args.size()) throw UsageError(name + " needs a value", cmd);
            value = args[++i];
        }
        if (name == "--key") SetOnce(keyText, seenKey, value, name, cmd);
        else if (name == "--key-file") SetOnce(o.keyFile, seenKeyFile, value, name, cmd);
        else if (name == "--level") SetOnce(levelText, seenLevel, value, name, cmd);
        else if (name == "--jobs") SetOnce(jobsText, seenJobs, value, name, cmd);
        else if (name == "-o") SetOnce(o.output, seenOut, value, name, cmd);
        else SetOnce(o.folder, seenDir, value, name, cmd);
    }

    if (cmd != "key") {
        if (seenKey && seenKeyFile) throw UsageError("give either --key or --key-file, not both", cmd);
        if (!seenKey && !seenKeyFile) throw UsageError("--key or --key-file is required", cmd);
    }
    if (seenKey) {
        o.key = ParseKey(keyText);
        if (!o.key) throw UsageError("--key takes 1 to 8 hexadecimal digits, not '" + keyText + "'", cmd);
    }
    if (seenLevel) {
        if (levelText.size() != 1 || levelText[0] < '0' || levelText[0] > '9') {
            throw UsageError("--level takes a digit 0 to 9, not '" + levelText + "'", cmd);
        }
        o.level = levelText[0] - '0';
    }
    if (seenJobs) {
        const bool digits = jobsText.size() <= 2 && jobsText.find_first_not_of("0123456789") == std::string::npos;
        const int jobs = digits ? std::stoi(jobsText) : 0;
        if (jobs < 1 || jobs > 64) throw UsageError("--jobs takes a number from 1 to 64, not '" + jobsText + "'", cmd);
        o.jobs = static_cast<unsigned>(jobs);
    }

    std::string* operand = nullptr;
    if (cmd == "key") operand = &o.library;
    else if (cmd == "build") operand = &o.folder;
    else operand = &o.package;
    if (operands.size() != 1) {
        throw UsageError(operands.empty() ? "missing operand" : "too many operands", cmd);
    }
    *operand = operands[0];
    if (operand->empty()) throw UsageError("empty operand", cmd);
    if (cmd == "build" && !seenOut) throw UsageError("-o PACKAGE is required", cmd);
    if (cmd == "extract" && !seenDir) throw UsageError("-C FOLDER is required", cmd);
    return o;
}

}  // namespace updpkg
