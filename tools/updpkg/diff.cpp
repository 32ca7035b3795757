#include "tools/updpkg/diff.h"

#include <cstdio>
#include <vector>

#include "tools/updpkg/build.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/fileio.h"
#include "tools/updpkg/medium_files.h"
#include "tools/updpkg/names.h"
#include "tools/updpkg/setup_ini.h"
#include "util/name_key.h"
#include "util/path.h"

namespace updpkg {

namespace {

const char kTargetDir[] = "<TARGETDIR>";

// Whether rel lies below folder ("" is the root); both relative, '\'.
bool Below(const std::string& rel, const std::string& folder) {
    return folder.empty() || (names::IsAtOrBelow(rel, folder) && !names::Same(rel, folder));
}

struct Target {
    const setupini::Component* component;
    std::string folder;  // below <TARGETDIR>, no trailing '\'
};

// A component without a folder in FILES fails updpkg medium (and SETUP.EXE);
// when no file of it changed, none can be shipped: a package cannot hold an
// empty folder, so the component must go.
void WarnOfEmptyComponents(const std::vector<Target>& targets, const std::string& filesOut) {
    for (const Target& t : targets) {
        const setupini::Component& c = *t.component;
        const auto folder = FindBelow(filesOut, c.source);
        if (folder && IsFolder(*folder)) continue;
        std::fprintf(stderr,
                     "updpkg: warning: component %s: none of its files is new or changed, so FILES holds no folder "
                     "%s; take the component out of SETUP.INI (a package cannot hold an empty folder)\n",
                     c.key.c_str(), c.source.c_str());
    }
}

}  // namespace

int DiffTrees(const std::string& oldTree, const std::string& newTree, const std::string& iniPath,
              const std::string& filesOut, bool force) {
    for (const std::string& tree : {oldTree, newTree}) {
        if (!IsFolder(tree)) throw FileError("'" + tree + "': not a folder");
    }
    const setupini::Description d = DescribeSetupIni(MediumSetupIni(ReadWholeFile(iniPath), iniPath));
    if (!d.faults.empty()) {
        for (const std::string& f : ExplainedFaults(d)) std::fprintf(stderr, "updpkg: SETUP.INI: %s\n", f.c_str());
        return kExitDamaged;
    }
    if (IsFolder(filesOut) && !ListFolder(filesOut).empty() && !force) {
        throw UsageError("'" + filesOut + "' is not empty (give --force to write into it)", "diff");
    }

    std::vector<Target> targets;
    for (const setupini::Component& c : d.components) {
        std::string dest = c.dest;
        setupini::ExpandMacros(dest, d.productName, d.productVersion, kTargetDir, "<SYSTEMDIR>");
        if (dest.compare(0, sizeof kTargetDir - 1, kTargetDir) != 0) {
            std::printf("left out: component %s installs into %s, which is no part of a product tree (put its "
                        "files in its folder %s yourself, or take it out of SETUP.INI)\n",
                        c.key.c_str(), dest.c_str(), c.source.c_str());
            continue;
        }
        std::string folder = dest.substr(sizeof kTargetDir - 1);
        while (!folder.empty() && folder[0] == '\\') folder.erase(0, 1);
        while (!folder.empty() && EndsWithBackslash(folder)) folder.pop_back();
        targets.push_back({&c, folder});
    }

    MakeFolders(filesOut);
    unsigned written = 0, same = 0;
    for (const SourceFile& f : CollectFiles(newTree)) {
        const Target* best = nullptr;
        for (const Target& t : targets) {
            if (Below(f.name, t.folder) && (!best || t.folder.size() > best->folder.size())) best = &t;
        }
        if (!best) {
            std::printf("left out: %s (no component installs there)\n", f.name.c_str());
            continue;
        }
        const auto old = FindBelow(oldTree, f.name);
        if (old && !IsFolder(*old) && SameBytes(f.path, *old)) {
            ++same;
            continue;
        }
        const std::string rel = best->folder.empty() ? f.name : f.name.substr(best->folder.size() + 1);
        const std::string dest =
            JoinNative(JoinNative(filesOut, RelativeToNative(best->component->source)), RelativeToNative(rel));
        MakeFolders(ParentOf(dest));
        CopyOneFile(f.path, dest);
        std::printf("%-8s %s\n", old ? "changed" : "new", f.name.c_str());
        ++written;
    }
    for (const SourceFile& f : CollectFiles(oldTree)) {
        if (!FindBelow(newTree, f.name)) {
            std::printf("left out: %s is gone from the new version (an update cannot remove it)\n",
                        f.name.c_str());
        }
    }
    std::printf("%u file(s) written to %s, %u unchanged left out\n", written, filesOut.c_str(), same);
    std::fflush(stdout);
    WarnOfEmptyComponents(targets, filesOut);
    return kExitOk;
}

}  // namespace updpkg
