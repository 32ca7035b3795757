// updpkg: builds, lists, verifies and extracts update packages.
#include <cinttypes>
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "engine/pkg/format.h"
#include "platform/mbcs.h"
#include "tools/updpkg/build.h"
#include "tools/updpkg/cli.h"
#include "tools/updpkg/entry.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/key.h"
#include "tools/updpkg/names.h"
#include "tools/updpkg/read.h"
#include "tools/updpkg/vendor.h"
#include "tools/updpkg/vendor_cli.h"

using namespace updpkg;

namespace {

unsigned Jobs(const Options& o) {
    if (o.jobs) return o.jobs;
    const unsigned cpus = std::thread::hardware_concurrency();
    return cpus == 0 ? 1 : (cpus > 8 ? 8 : cpus);
}

uint32_t Key(const Options& o) { return o.key ? *o.key : LibraryKey(o.keyFile); }

int Run(const Options& o) {
    if (o.command == "key") {
        std::printf("%08" PRIx32 "\n", LibraryKey(o.library));
        return kExitOk;
    }
    if (o.command == "build") {
        BuildOptions b;
        b.folder = o.folder;
        b.output = o.output;
        b.key = Key(o);
        b.level = o.level;
        b.jobs = Jobs(o);
        BuildPackage(b);
        return kExitOk;
    }
    ReadOptions r;
    r.package = o.package;
    r.key = Key(o);
    r.jobs = Jobs(o);
    if (o.command == "extract") r.extractTo = o.folder;
    if (o.command == "list") {
        r.onEntry = [](const pkg::EntryInfo& e) {
            std::printf("%12" PRIu64 " %12" PRIu64 " %s\n", e.uncompressedSize, e.compressedSize,
                        DisplayName(e.name).c_str());
        };
    }
    const ReadSummary s = ReadPackageFile(r);
    if (o.command == "verify") {
        std::printf("%s: %" PRIu64 " entries, %" PRIu64 " bytes, all sound\n", o.package.c_str(), s.entries, s.bytes);
    }
    return kExitOk;
}

// A name read with the wrong key is noise; a message shows its start only.
std::string Shortened(const std::string& name) {
    constexpr std::size_t kShown = 80;
    if (name.size() <= kShown) return name;
    std::size_t cut = 0;
    while (cut < kShown) cut += mbcs::Cp932CharLength(name, cut);
    return name.substr(0, cut) + "...";
}

std::string Describe(const pkg::FormatError& e) {
    std::string where;
    if (e.reason() == pkg::FormatReason::ShortHeader || e.reason() == pkg::FormatReason::BadMagic ||
        e.reason() == pkg::FormatReason::BadVersion) {
        where = "header";
    } else {
        where = "entry " + std::to_string(e.entryIndex() + 1);
        if (!e.entryName().empty()) where += " '" + DisplayName(Shortened(e.entryName())) + "'";
        where += " (at byte " + std::to_string(e.position()) + ")";
    }
    return where + ": " + e.what();
}

}  // namespace

int updpkg::Main(const std::vector<std::string>& args) {
    Options o;
    try {
        if (!args.empty() && IsVendorCommand(args[0])) {
            o.command = args[0];
            const int status = RunVendorCommand(args);
            if (std::fflush(stdout) != 0) throw FileError("cannot write to standard output");
            return status;
        }
        o = ParseCommandLine(args);
        if (o.help) {
            std::fputs(UsageText(o.command).c_str(), stdout);
            return kExitOk;
        }
        const int status = Run(o);
        if (std::fflush(stdout) != 0) throw FileError("cannot write to standard output");
        return status;
    } catch (const UsageError& e) {
        std::fprintf(stderr, "updpkg: %s\n%s", e.what(), UsageText(e.command()).c_str());
        return kExitUsage;
    } catch (const pkg::FormatError& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "updpkg: %s: %s\nupdpkg: the package is damaged or was made for another key\n",
                     o.package.c_str(), Describe(e).c_str());
        return kExitDamaged;
    } catch (const FileError& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "updpkg: %s\n", e.what());
        return kExitFile;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "updpkg: out of memory\n");
        return kExitFile;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "updpkg: %s\n", e.what());
        return kExitFile;
    }
}
