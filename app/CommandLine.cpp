#include "app/CommandLine.h"

namespace {

// "使い方: SETUP.EXE [/quiet | /passive] [/log ファイル] [/dir フォルダ]\n\n/quiet\t画面を表示せずに更新します。\n
//  /passive\t進行状況だけを表示し、確認を求めません。\n/log\t経過をファイルに記録します。\n/dir\tインストール先のフォルダを指定します。"
const char kUsage[] =
    "\x8Eg\x82\xA2\x95\xFB: SETUP.EXE [/quiet | /passive] [/log \x83t\x83@\x83""C\x83\x8B] [/dir "
    "\x83t\x83H\x83\x8B\x83_]\n\n"
    "/quiet\t\x89\xE6\x96\xCA\x82\xF0\x95\\\x8E\xA6\x82\xB9\x82\xB8\x82\xC9\x8DX\x90V\x82\xB5\x82\xDC"
    "\x82\xB7\x81""B\n"
    "/passive\t\x90i\x8Ds\x8F\xF3\x8B\xB5\x82\xBE\x82\xAF\x82\xF0\x95\\\x8E\xA6\x82\xB5\x81""A\x8Am"
    "\x94""F\x82\xF0\x8B\x81\x82\xDF\x82\xDC\x82\xB9\x82\xF1\x81""B\n"
    "/log\t\x8Co\x89\xDF\x82\xF0\x83t\x83@\x83""C\x83\x8B\x82\xC9\x8BL\x98^\x82\xB5\x82\xDC\x82\xB7\x81""B\n"
    "/dir\t\x83""C\x83\x93\x83X\x83g\x81[\x83\x8B\x90\xE6\x82\xCC\x83t\x83H\x83\x8B\x83_\x82\xF0\x8Ew"
    "\x92\xE8\x82\xB5\x82\xDC\x82\xB7\x81""B";

// "コマンドラインが正しくありません。\n\n"
const char kUsageErrorIntro[] =
    "\x83R\x83}\x83\x93\x83h\x83\x89\x83""C\x83\x93\x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8"
    "\x82\xDC\x82\xB9\x82\xF1\x81""B\n\n";

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

std::string UsageText() { return kUsage; }

std::string UsageErrorText() { return std::string(kUsageErrorIntro) + kUsage; }
