// wizdrive: runs SETUP.EXE through its wizard without a person, answering
// its message boxes, and prints what it saw. Used by the headless demo.
//   wizdrive SETUP.EXE [--shots FOLDER] [--answer ok|retry|cancel]...
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/wide.h"
#include "tools/wizdrive/wizard_run.h"

namespace {

void PrintLines(const char* prefix, const std::string& text) {
    size_t start = 0;
    for (;;) {
        size_t nl = text.find('\n', start);
        std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::printf("%s%s\n", prefix, line.c_str());
        if (nl == std::string::npos) break;
        start = nl + 1;
    }
}

const char* Flags(const driver::ButtonState& b) {
    if (!b.present) return "absent";
    if (!b.visible) return "hidden";
    return b.enabled ? "enabled" : "disabled";
}

}  // namespace

// Wide arguments, printed texts in UTF-8.
int wmain(int argc, wchar_t** wargv) {
    driver::RunOptions options;
    auto arg = [wargv](int i) { return platform::Narrow(wargv[i]); };
    for (int i = 1; i < argc; ++i) {
        std::string a = arg(i);
        if (a == "--shots" && i + 1 < argc) {
            options.shotDir = arg(++i);
        } else if (a == "--answer" && i + 1 < argc) {
            std::string v = arg(++i);
            options.boxAnswers.push_back(v == "retry" ? IDRETRY : v == "cancel" ? IDCANCEL : IDOK);
        } else if (options.setupExe.empty() && a[0] != '-') {
            options.setupExe = a;
        } else {
            std::fprintf(stderr, "usage: wizdrive SETUP.EXE [--shots FOLDER] [--answer ok|retry|cancel]...\n");
            return 2;
        }
    }
    if (options.setupExe.empty()) {
        std::fprintf(stderr, "usage: wizdrive SETUP.EXE [--shots FOLDER] [--answer ok|retry|cancel]...\n");
        return 2;
    }

    driver::RunReport r = driver::RunWizard(options);
    size_t box = 0;
    for (auto& page : r.pages) {
        std::printf("page: %s\n", page.name.c_str());
        for (auto& t : page.texts) PrintLines("  | ", t);
        for (auto& t : page.progressTexts) PrintLines("  > ", t);
        std::printf("  buttons: back %s, next %s, finish %s, cancel %s, help %s\n", Flags(page.back),
                    Flags(page.next), Flags(page.finish), Flags(page.cancel), Flags(page.help));
        if (!page.shot.empty()) std::printf("  screenshot: %s\n", page.shot.c_str());
    }
    for (; box < r.boxes.size(); ++box) {
        std::printf("message box: %s\n", r.boxes[box].caption.c_str());
        PrintLines("  | ", r.boxes[box].text);
    }
    for (auto& p : r.problems) std::printf("problem: %s\n", p.c_str());
    std::printf("ended: %s\n", r.ended ? "yes" : "no");
    std::fflush(stdout);
    return r.ended && r.problems.empty() ? 0 : 1;
}
