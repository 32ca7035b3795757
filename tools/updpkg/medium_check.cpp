#include "tools/updpkg/medium_check.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <map>
#include <thread>

#include "product/identity.h"
#include "res/texts.h"
#include "engine/pkg/format.h"
#include "tools/updpkg/build.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/fileio.h"
#include "tools/updpkg/identify.h"
#include "tools/updpkg/key.h"
#include "tools/updpkg/medium_files.h"
#include "tools/updpkg/names.h"
#include "tools/updpkg/read.h"
#include "tools/updpkg/setup_ini.h"
#include "util/name_key.h"
#include "util/path.h"

namespace updpkg {

namespace {

const char kTargetDir[] = "<TARGETDIR>";
const char kSystemDir[] = "<SYSTEMDIR>";

std::string Upper(const std::string& s) { return names::Key(s); }

// A destination written with "<TARGETDIR>" first: the rest of it below the
// product's folder ("" for the folder itself).
std::optional<std::string> BelowTarget(const std::string& expanded) {
    if (expanded.compare(0, sizeof kTargetDir - 1, kTargetDir) != 0) return std::nullopt;
    std::string rest = expanded.substr(sizeof kTargetDir - 1);
    while (!rest.empty() && rest[0] == '\\') rest.erase(0, 1);
    return rest;
}

struct ComponentFiles {
    std::string folder;  // the system's path of the source folder
    std::vector<SourceFile> files;
};

class Checker {
public:
    Checker(const CheckInput& in, CheckReport& r) : m_in(in), m_r(r) {}

    void Run() {
        m_r.medium = m_in.medium;
        m_r.setupExe = FindBelow(m_in.medium, "SETUP.EXE").has_value();
        if (!m_r.setupExe) Fail("the medium holds no SETUP.EXE", "");
        m_boxKnown = !m_r.setupExe;
        if (m_r.setupExe) CheckSetupExe();
        CheckSignature();
        ReadIni();
        FindKey();
        if (!m_in.product.empty()) ReadProduct();
        const std::optional<std::string> root = Files();
        CheckComponents(root);
        if (root && m_r.ini.package.empty()) CheckSignedCopies();
        if (root) CheckExecutable();
        // SETUP.EXE copies nothing after its SETUP.INI box.
        if (m_r.outcome == "would update" && m_r.faults.empty()) PlanCopies();
        m_r.status = m_r.problems.empty() ? 0 : 1;
    }

private:
    void Fail(const std::string& what, const std::string& box) {
        m_r.problems.push_back({what, box});
        // SETUP.EXE stops at the first message it shows.
        if (!m_boxKnown && !box.empty()) {
            m_r.firstBox = box;
            m_boxKnown = true;
        }
    }

    // Another program named SETUP.EXE runs instead of the update wizard:
    // nothing of what SETUP.EXE would show can be told.
    void CheckSetupExe() {
        const auto why = WhyNotSetupExe(*FindBelow(m_in.medium, "SETUP.EXE"));
        if (!why) return;
        m_r.setupExeNot = *why;
        Fail("the medium's SETUP.EXE is not the update wizard: " + *why, "");
        m_boxKnown = true;
    }

    std::string Expanded(const std::string& text, const std::string& target = kTargetDir) const {
        std::string s = text;
        setupini::ExpandMacros(s, m_r.ini.productName, m_r.ini.productVersion, target, kSystemDir);
        return s;
    }

    // SETUP.EXE's first check, before it reads SETUP.INI.
    void CheckSignature() {
        SignatureReport& s = m_r.signature;
        CheckSignatureAtStart(m_in.medium, s);
        if (!s.refusal.empty()) {
            Fail("SETUP.EXE refuses the medium as not signed with the key it trusts: " + s.refusal,
                 texts::kSignatureRefused);
            m_boxKnown = true;  // and ends there
        } else if (m_r.setupExe && !s.trustedKey) {
            m_r.notes.push_back("SETUP.EXE trusts no key and checks no signature: anyone who can change the medium "
                                "can make it install anything (sign the medium: updpkg sign --sign-key)");
        }
        if (m_in.signedBy && s.trustedKey != crypto::KeyId(*m_in.signedBy)) {
            Fail("SETUP.EXE trusts " + (s.trustedKey ? "key " + *s.trustedKey : std::string("no key")) + ", not key " +
                     crypto::KeyId(*m_in.signedBy) + " (--signed-by)",
                 "");
        }
    }

    // Stage 4 without a package: every file staged from FILES is summed.
    void CheckSignedCopies() {
        EachFile([&](const setupini::Component& c, const SourceFile& file) {
            const std::string why = CheckSignedCopy(m_r.signature, JoinPath(Expanded(c.source), file.name), file.path);
            if (!why.empty()) Fail("SETUP.EXE refuses a file that is not as signed: " + why, texts::kSignatureRefused);
        });
    }

    void ReadIni() {
        std::string bytes;
        if (const auto path = FindBelow(m_in.medium, "SETUP.INI")) {
            m_r.iniFound = true;
            bytes = ReadWholeFile(*path);
        }
        m_r.ini = DescribeSetupIni(bytes);
        m_r.faults = setupini::FaultLines(m_r.ini.faults);
        if (!m_r.iniFound) Fail("the medium holds no SETUP.INI", "");
        if (HasUtf8Mark(bytes)) {
            Fail("SETUP.INI begins with a UTF-8 byte order mark, which Windows reads as part of its first line; "
                 "write it in code page 932 (updpkg medium does)",
                 "");
        }
        if (!m_r.faults.empty()) {
            std::string lines;
            for (const std::string& f : m_r.faults) lines += (lines.empty() ? "" : ", ") + f;
            Fail("SETUP.INI has faults; SETUP.EXE lists " + lines + " and ends", "");
            m_boxKnown = true;  // its own message, with these lines
        }
    }

    void FindKey() {
        if (m_in.key) {
            m_r.key = m_in.key;
        } else if (!m_in.keyFile.empty()) {
            m_r.key = LibraryKey(m_in.keyFile);
        } else if (!m_in.product.empty()) {
            // SETUP.EXE takes 0 for a library it cannot read.
            m_r.key = 0;
            const auto lib = FindBelow(m_in.product, product::kZomi7.libraryName);
            try {
                if (lib) m_r.key = LibraryKey(*lib);
            } catch (const FileError&) {
            }
            if (!lib || *m_r.key == 0) {
                m_r.notes.push_back(std::string("the product has no readable ") + product::kZomi7.libraryName +
                                    ": SETUP.EXE reads the package with key 0");
            }
        }
    }

    // Where the files to install lie: the package extracted, or FILES.
    std::optional<std::string> Files() {
        if (m_r.ini.package.empty()) {
            // Without FILES every component's folder is missing, as SETUP.EXE finds.
            auto files = FindBelow(m_in.medium, "FILES");
            const std::string root = files ? *files : JoinNative(m_in.medium, "FILES");
            const std::string why = CheckSignedFilesFolder(m_r.signature, root);
            if (!why.empty()) {
                Fail("SETUP.EXE refuses FILES as not signed: " + why, texts::kSignatureRefused);
                return std::nullopt;
            }
            return root;
        }
        const auto package = FindBelow(m_in.medium, m_r.ini.package);
        if (!package || IsFolder(*package)) {
            char box[512];
            std::snprintf(box, sizeof box, texts::kPrepareErrorFormat, 2L);  // ERROR_FILE_NOT_FOUND
            Fail("the package " + m_r.ini.package + " that SETUP.INI names is not on the medium", box);
            return std::nullopt;
        }
        m_package = *package;
        // Summed as SETUP.EXE reads it; a package that is not the signed
        // one is refused as that, whatever else it is.
        if (const std::string why = CheckSignedPackage(m_r.signature, *package); !why.empty()) {
            Fail("SETUP.EXE refuses the package as not signed: " + why, texts::kSignatureRefused);
            return std::nullopt;
        }
        if (!m_r.key) {
            m_r.notes.push_back("the package, the components' folders and Zomi7.EXE are not checked: "
                                "give --key, --key-file or --product");
            return std::nullopt;
        }
        m_r.packageChecked = true;
        m_scratch.emplace("updpkg-check-");
        ReadOptions ro;
        ro.package = *package;
        ro.key = *m_r.key;
        const unsigned cpus = std::thread::hardware_concurrency();
        ro.jobs = cpus == 0 ? 1 : (cpus > 4 ? 4 : cpus);
        try {
            // Judged whole first, as verify does: with the wrong key the
            // names are noise, and placing one is no verdict.
            const ReadSummary s = ReadPackageFile(ro);
            m_r.packageSound = true;
            m_r.entries = s.entries;
            m_r.bytes = s.bytes;
            ro.extractTo = m_scratch->path();
            ReadPackageFile(ro);
        } catch (const pkg::FormatError& e) {
            m_r.packageError = e.what();
            Fail("the package is damaged or was made for another key: " + m_r.packageError,
                 texts::kPackageFormatError);
            return std::nullopt;
        }
        return m_scratch->path();
    }

    void CheckComponents(const std::optional<std::string>& root) {
        for (const setupini::Component& c : m_r.ini.components) {
            ComponentCheck cc;
            cc.component = c;
            if (root) {
                const std::string source = Expanded(c.source);
                const auto folder = FindBelow(*root, source);
                cc.found = folder && IsFolder(*folder);
                if (*cc.found) {
                    ComponentFiles f{*folder, CollectFiles(*folder)};
                    cc.files = f.files.size();
                    m_files.push_back(std::move(f));
                } else {
                    Fail("the files of component " + c.key + " (folder " + c.source +
                             ") are missing from " + (m_r.ini.package.empty() ? "FILES" : "the package"),
                         texts::kFilesNotFound);
                }
            }
            m_r.components.push_back(std::move(cc));
        }
    }

    // The components with their files, in SETUP.INI's order.
    template <class F>
    void EachFile(F f) const {
        std::size_t k = 0;
        for (const ComponentCheck& cc : m_r.components) {
            if (!cc.found || !*cc.found) continue;
            for (const SourceFile& file : m_files[k].files) f(cc.component, file);
            ++k;
        }
    }

    void CheckExecutable() {
        m_r.exeChecked = true;
        std::string path;
        EachFile([&](const setupini::Component& c, const SourceFile& file) {
            const auto below = BelowTarget(Expanded(JoinPath(c.dest, file.name)));
            if (below && Upper(*below) == Upper(product::kZomi7.exeName)) {
                path = file.path;  // a later component replaces an earlier one's
                m_r.exeFrom = JoinPath(c.source, file.name);
            }
        });
        if (path.empty()) {
            Fail(std::string("the medium installs no ") + product::kZomi7.exeName +
                     " into <TARGETDIR>: the product stays below " + product::kZomi7.version +
                     " and every run would update again",
                 "");
            return;
        }
        m_r.exeVersion = ReadPeFileVersionOf(path);
        if (!m_r.exeVersion) {
            Fail(std::string("the ") + product::kZomi7.exeName +
                     " the medium installs has no version resource: after the update SETUP.EXE no longer finds "
                     "the product",
                 "");
        } else if (product::NeedsUpdate(m_r.exeVersion->ms, m_r.exeVersion->ls)) {
            Fail(std::string("the ") + product::kZomi7.exeName + " the medium installs is " + m_r.exeVersion->Text() +
                     ", below " + product::kZomi7.version + ": every run would update again",
                 "");
        }
    }

    // The worker's check stage, before it reads the package.
    void ReadProduct() {
        m_r.withProduct = true;
        m_r.productFolder = m_in.product;
        const auto exe = FindBelow(m_in.product, product::kZomi7.exeName);
        if (exe && !IsFolder(*exe)) m_r.installed = ReadPeFileVersionOf(*exe);
        if (!m_r.installed) {
            m_r.outcome = "no product";
            Fail(std::string("the product folder holds no ") + product::kZomi7.exeName +
                     " with a version resource: SETUP.EXE would ask for the product's folder",
                 "");
            m_boxKnown = true;  // the folder dialog comes first
        } else if (!product::NeedsUpdate(m_r.installed->ms, m_r.installed->ls)) {
            m_r.outcome = "up to date";
            if (!m_boxKnown) m_r.firstBox = texts::kUpToDate;
            m_boxKnown = true;  // SETUP.EXE stops here, whatever the package holds
        } else {
            m_r.outcome = "would update";
        }
    }

    void PlanCopies() {
        std::map<std::string, std::size_t> seen;  // the destination's name key: its copy
        EachFile([&](const setupini::Component& c, const SourceFile& file) {
            PlannedCopy copy;
            const std::string folder = Expanded(c.dest);
            const std::string dest = Expanded(JoinPath(c.dest, file.name));
            const auto below = BelowTarget(dest);
            if (below) {
                const std::string prefix = BelowTarget(folder).value_or("");
                copy.folder = prefix.empty() ? kTargetDir : std::string(kTargetDir) + "\\" + prefix;
                copy.file = below->substr(prefix.empty() ? 0 : std::min(below->size(), prefix.size() + 1));
                const auto there = FindBelow(m_in.product, *below);
                copy.state = !there || IsFolder(*there) ? PlannedCopy::Add
                             : SameBytes(file.path, *there) ? PlannedCopy::Same
                                                            : PlannedCopy::Replace;
            } else {
                copy.folder = folder;
                copy.file = file.name;
            }
            const std::string id = Upper(JoinPath(copy.folder, copy.file));
            const auto at = seen.find(id);
            if (at != seen.end()) {
                m_r.copies[at->second] = copy;
            } else {
                seen[id] = m_r.copies.size();
                m_r.copies.push_back(copy);
            }
        });
    }

    const CheckInput& m_in;
    CheckReport& m_r;
    bool m_boxKnown = false;  // the first message SETUP.EXE shows is settled
    std::string m_package;
    std::optional<ScratchFolder> m_scratch;
    std::vector<ComponentFiles> m_files;  // of the components found, in order
};

}  // namespace

CheckReport CheckMedium(const CheckInput& input) {
    if (!IsFolder(input.medium)) throw FileError("'" + input.medium + "': not a folder");
    if (!input.product.empty() && !IsFolder(input.product)) throw FileError("'" + input.product + "': not a folder");
    CheckReport report;
    Checker(input, report).Run();
    return report;
}

}  // namespace updpkg
