#include "tools/updpkg/vendor.h"

#include <cinttypes>
#include <cstdio>
#include <thread>

#include "res/texts.h"
#include "tools/updpkg/build.h"
#include "tools/updpkg/diff.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/fileio.h"
#include "tools/updpkg/identify.h"
#include "tools/updpkg/key.h"
#include "tools/updpkg/medium_check.h"
#include "tools/updpkg/medium_files.h"
#include "tools/updpkg/medium_signing.h"
#include "tools/updpkg/names.h"
#include "tools/updpkg/setup_ini.h"
#include "tools/updpkg/vendor_cli.h"

namespace updpkg {

namespace {

void WriteAll(const std::string& path, const std::string& bytes) {
    OutputFile out(path);
    out.Write(bytes.data(), bytes.size());
    out.Close();
}

unsigned Jobs() {
    const unsigned cpus = std::thread::hardware_concurrency();
    return cpus == 0 ? 1 : (cpus > 8 ? 8 : cpus);
}

// A key file that may be the wrong one is said, not refused (identify.h).
void WarnOfKeyFile(const VendorOptions& o) {
    if (o.keyFile.empty()) return;
    for (const std::string& doubt : KeyFileDoubts(o.keyFile)) std::fprintf(stderr, "updpkg: warning: %s\n", doubt.c_str());
}

// A medium made with another program for SETUP.EXE would do nothing of what
// SETUP.INI says: the file given is the wrong one.
void RefuseOtherThanSetup(const VendorOptions& o) {
    if (const auto why = WhyNotSetupExe(o.setup)) {
        throw UsageError("--setup takes SETUP.EXE, the update wizard; '" + o.setup + "' is not: " + *why, o.command);
    }
}

int Check(const VendorOptions& o) {
    WarnOfKeyFile(o);
    CheckInput in;
    in.medium = o.operands[0];
    in.key = o.key;
    in.keyFile = o.keyFile;
    in.product = o.product;
    if (!o.signedBy.empty()) in.signedBy = ReadPublicKey(o.signedBy);
    const CheckReport r = CheckMedium(in);
    std::fputs((o.json ? ReportJson(r) : ReportText(r)).c_str(), stdout);
    return r.status;
}

// What stops a medium before anything is written: the faults SETUP.EXE
// would list, and components whose folder FILES lacks.
bool MediumInputSound(const setupini::Description& d, const std::string& files) {
    bool sound = true;
    for (const std::string& f : ExplainedFaults(d)) {
        std::fprintf(stderr, "updpkg: SETUP.INI: %s\n", f.c_str());
        sound = false;
    }
    if (!sound) std::fprintf(stderr, "updpkg: SETUP.EXE would list these faults and end; no medium is made\n");
    for (const setupini::Component& c : d.components) {
        std::string source = c.source;
        setupini::ExpandMacros(source, d.productName, d.productVersion, "<TARGETDIR>", "<SYSTEMDIR>");
        const auto folder = FindBelow(files, source);
        if (!folder || !IsFolder(*folder)) {
            std::fprintf(stderr, "updpkg: component %s: no folder '%s' in %s; SETUP.EXE would show: %s\n",
                         c.key.c_str(), c.source.c_str(), files.c_str(),
                         ShownText(texts::kFilesNotFound).c_str());
            sound = false;
        }
    }
    return sound;
}

void PrintSigned(const std::string& medium, const SignSummary& s) {
    std::printf("signed %s with key %s: %zu file(s) in SETUP.SIG; its SETUP.EXE trusts key %s%s\n", medium.c_str(),
                s.keyId.c_str(), s.files, s.keyId.c_str(),
                s.replacedKey ? (" (it trusted key " + *s.replacedKey + " before)").c_str() : "");
}

int Medium(const VendorOptions& o) {
    const std::string files = o.operands[0];
    if (!IsFolder(files)) throw FileError("'" + files + "': not a folder");
    const std::string ini = MediumSetupIni(ReadWholeFile(o.ini), o.ini);
    const setupini::Description d = DescribeSetupIni(ini);
    if (!MediumInputSound(d, files)) return kExitDamaged;

    // The package's place on the medium, relative to SETUP.EXE's folder.
    std::string packagePath;
    if (!d.package.empty()) {
        packagePath = JoinNative(o.output, EntryNameToPath(d.package));
    }
    if (IsFolder(o.output) && !ListFolder(o.output).empty() && !o.force) {
        throw UsageError("'" + o.output + "' is not empty (give --force to write into it)", o.command);
    }
    // What can fail to be read is read before anything is written.
    const uint32_t key = o.key ? *o.key : LibraryKey(o.keyFile);
    WarnOfKeyFile(o);
    RefuseOtherThanSetup(o);
    std::optional<crypto::PrivateKey> signKey;
    if (!o.signKey.empty()) {
        signKey = ReadPrivateKey(o.signKey);
        CheckKeyCanBeWritten(o.setup);
    }
    MakeFolders(o.output);
    if (!packagePath.empty()) {
        MakeFolders(ParentOf(packagePath));
        BuildOptions b;
        b.folder = files;
        b.output = packagePath;
        b.key = key;
        b.level = o.level;
        b.jobs = Jobs();
        BuildPackage(b);
    } else {
        CopyTree(files, JoinNative(o.output, "FILES"));
    }
    CopyOneFile(o.setup, JoinNative(o.output, "SETUP.EXE"));
    WriteAll(JoinNative(o.output, "SETUP.INI"), ini);
    if (signKey) PrintSigned(o.output, SignMedium(o.output, *signKey));

    std::printf("medium %s:\n", o.output.c_str());
    for (const FolderEntry& e : ListFolder(o.output)) {
        if (e.kind == FolderEntry::File) std::printf("  %12" PRIu64 "  %s\n", e.size, e.name.c_str());
        else std::printf("  %12s  %s%c\n", "", e.name.c_str(), kPathSeparator);
    }
    CheckInput in;
    in.medium = o.output;
    in.key = key;
    const CheckReport r = CheckMedium(in);
    std::fputs(ReportText(r).c_str(), stdout);
    return r.status;
}

}  // namespace

int RunVendorCommand(const std::vector<std::string>& args) {
    const VendorOptions o = ParseVendorCommandLine(args);
    if (o.help) {
        std::fputs(VendorUsageText(o.command).c_str(), stdout);
        return kExitOk;
    }
    if (o.command == "check") return Check(o);
    if (o.command == "medium") return Medium(o);
    if (o.command == "keygen") {
        const std::string id = MakeKeyFiles(o.output);
        std::printf("key %s: private key in %s (keep it to yourself), public key in %s\n", id.c_str(),
                    o.output.c_str(), PublicKeyPath(o.output).c_str());
        return kExitOk;
    }
    if (o.command == "sign") {
        if (!IsFolder(o.operands[0])) throw FileError("'" + o.operands[0] + "': not a folder");
        PrintSigned(o.operands[0], SignMedium(o.operands[0], ReadPrivateKey(o.signKey)));
        return kExitOk;
    }
    return DiffTrees(o.operands[0], o.operands[1], o.ini, o.output, o.force);
}

}  // namespace updpkg
