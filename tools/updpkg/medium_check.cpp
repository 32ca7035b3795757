#include "tools/updpkg/medium_check.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <map>
#include <thread>

#include "product/identity.h"
#include "res/texts.h"
#include "engine/pkg/format.h"
#include "engine/plan/plan.h"
#include "tools/updpkg/build.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/fileio.h"
#include "tools/updpkg/identify.h"
#include "tools/updpkg/key.h"
#include "tools/updpkg/medium_files.h"
#include "tools/updpkg/names.h"
#include "tools/updpkg/product_view.h"
#include "tools/updpkg/read.h"
#include "tools/updpkg/setup_ini.h"
#include "util/name_key.h"
#include "util/path.h"

namespace updpkg {

namespace {

// A destination folder in the form SETUP.EXE compares it in, its full
// path: a doubled backslash made one, none at the end (the macros kept).
std::string DestinationForm(const std::string& expanded) {
    std::string out;
    for (const char c : expanded)
        if (c != '\\' || out.empty() || out.back() != '\\') out += c;
    if (out.size() > 3 && out.back() == '\\') out.pop_back();
    return out;
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
        if (root) {
            BuildPlan();
            CheckExecutable();
        }
        if (root && m_r.outcome == "would update") CheckLinks();
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

    // What SETUP.EXE's stage 4 plans for these files and this product.
    void BuildPlan() {
        std::vector<plan::Component> components;
        const setupini::Component* last = nullptr;  // the component of components.back()
        EachFile([&](const setupini::Component& c, const SourceFile& file) {
            const std::string folder = DestinationForm(Expanded(c.dest));
            if (&c != last) {
                components.push_back({folder, {}});
                last = &c;
            }
            components.back().files.push_back({file.name, file.path, false});
            m_folderOf.push_back(folder);
            m_fromOf.push_back(JoinPath(c.source, file.name));
        });
        m_plan = plan::Build(components, {kTargetDir, product::kZomi7.exeName}, m_view);
    }

    void CheckExecutable() {
        m_r.exeChecked = true;
        std::string path;
        if (m_plan.productExe) {
            const plan::File& exe = m_plan.files[*m_plan.productExe];
            path = exe.source;
            m_r.exeFrom = m_fromOf[*m_plan.productExe];
        }
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

    // Before it stages anything SETUP.EXE holds each destination folder and
    // looks at each file's own name: a link there stops the update (1603).
    void CheckLinks() {
        plan::ForEachLinkCheck(m_plan, [&](const std::string& path, bool) {
            const std::optional<std::string> link = m_view.LinkOnTheWay(path);
            if (link) {
                Fail("the product folder has a link at " + *link +
                         ": SETUP.EXE updates nothing through a link and ends (exit 1603)",
                     std::string(texts::kDestinationLink) + *link);
            }
            return !link;
        });
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

    // Every file the plan commits, in its order, with what stands there now.
    void PlanCopies() {
        for (std::size_t i : m_plan.commits) {
            const plan::File& f = m_plan.files[i];
            PlannedCopy copy;
            copy.folder = m_folderOf[i];
            copy.from = m_fromOf[i];
            copy.file = f.dest.substr(std::min(f.dest.size(), copy.folder.size() + 1));
            if (BelowTarget(f.dest)) {
                const auto there = m_view.Find(f.dest);
                copy.state = !there || IsFolder(*there)        ? PlannedCopy::Add
                             : SameBytes(f.source, *there) ? PlannedCopy::Same
                                                           : PlannedCopy::Replace;
            }
            m_r.copies.push_back(copy);
        }
    }

    const CheckInput& m_in;
    CheckReport& m_r;
    bool m_boxKnown = false;  // the first message SETUP.EXE shows is settled
    std::string m_package;
    std::optional<ScratchFolder> m_scratch;
    std::vector<ComponentFiles> m_files;  // of the components found, in order
    ProductView m_view{m_in.product};
    std::vector<std::string> m_folderOf;  // the destination folder of each of the plan's files
    std::vector<std::string> m_fromOf;    // and where the medium has it, below FILES
    plan::Plan m_plan;
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
