#include "app/CommandLine.h"

#include "res/texts.h"

namespace {

// The option's name without its '/' or '-', lower-cased (ASCII only: every
// option name is ASCII), or empty when arg is no option.
std::string OptionName(const std::string& arg) {
    if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return std::string();
    std::string name = arg.substr(1);
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return name;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    bool modeSet = false;
    auto fail = [&cl](const std::string& why) {
        if (cl.error.empty()) cl.error = why;  // the first fault is the one reported
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::string name = OptionName(arg);
        if (name == "quiet" || name == "passive") {
            const RunMode mode = name == "quiet" ? RunMode::Quiet : RunMode::Passive;
            if (modeSet && cl.mode != mode) fail("two modes at once: " + arg);
            // Quiet wins so that no box can appear in a run asked to show none.
            if (!modeSet || mode == RunMode::Quiet) cl.mode = mode;
            modeSet = true;
        } else if (name == "log" || name == "dir") {
            std::string& value = name == "log" ? cl.logFile : cl.installDir;
            // A following option is not a value: "/log /quiet" lacks its file.
            // Windows paths never begin with '/'.
            if (i + 1 >= args.size() || args[i + 1].empty() || args[i + 1][0] == '/') {
                fail("missing value: " + arg);
                continue;
            }
            if (!value.empty()) fail("given twice: " + arg);
            value = args[++i];
        } else if (name == "?" || name == "help") {
            cl.help = true;
        } else {
            fail("unknown option: " + arg);
        }
    }
    return cl;
}

std::string UsageText() { return texts::kUsage; }

std::string UsageErrorText() { return std::string(texts::kUsageErrorIntro) + texts::kUsage; }
