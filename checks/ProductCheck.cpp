#include "checks/ProductCheck.h"

#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <vector>

#include "app/SetupApp.h"
#include "platform/file.h"
#include "platform/handle.h"
#include "platform/log.h"
#include "platform/prompt.h"
#include "platform/wide.h"
#include "product/identity.h"
#include "product/package_key.h"
#include "res/texts.h"
#include "util/path.h"
#include "util/text.h"
#include "util/version.h"
#include "util/registry.h"

namespace {

constexpr const product::Identity& kProduct = product::kZomi7;
constexpr UINT kMessageStyle = MB_OK | MB_ICONEXCLAMATION;  // 48

bool HasReadableVersion(const std::string& folder) {
    VS_FIXEDFILEINFO info;
    return ReadFileVersion(JoinPath(folder, kProduct.exeName), &info) != FALSE;
}

// The library, read through platform::File (which throws FileException).
class LibrarySource : public pkg::ByteSource {
public:
    explicit LibrarySource(const std::string& path)
        : m_file(path, platform::File::modeRead | platform::File::shareExclusive) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        return m_file.Read(buffer, static_cast<UINT>(size));
    }

private:
    platform::File m_file;
};

}  // namespace

int CProductCheck::CheckNotRunning() {
    platform::Handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 1;

    bool running = false;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof(entry);
    BOOL more = ::Process32FirstW(snapshot.get(), &entry);
    while (more) {
        // Some systems report a full path: a substring test finds the name
        // in it as well as standing alone. Only ASCII letters are made
        // capitals, so no other letter can turn into one of the name's.
        if (UpperAscii(platform::Narrow(entry.szExeFile)).find(kProduct.processName) != std::string::npos) {
            running = true;
            break;
        }
        entry.dwSize = sizeof(entry);
        more = ::Process32NextW(snapshot.get(), &entry);
    }
    snapshot.reset();
    platform::Log(std::string("check: ") + kProduct.processName + (running ? " is running" : " is not running"));
    if (!running) return 1;

    std::string text = texts::kProductRunning;
    GetApp().ExpandMacros(text);
    platform::AppMessageBox(text, kMessageStyle);
    return 0;
}

int CProductCheck::FindInstallFolder(std::string& targetDir) {
    CSetupApp& app = GetApp();
    // An administrator's /dir comes first and alone: a wrong one is not
    // second-guessed from the registry.
    if (!app.m_strInstallDirOption.empty()) {
        targetDir = app.m_strInstallDirOption;
        if (EndsWithBackslash(targetDir) && targetDir.size() > 3) targetDir.pop_back();
        if (HasReadableVersion(targetDir)) {
            platform::Log("check: install folder (/dir): " + targetDir);
            return 1;
        }
        platform::Log(std::string("check: no ") + kProduct.exeName + " with a readable version in /dir " + targetDir +
                      ": product not found");
        app.m_bProductNotFound = true;
        targetDir.clear();
        return 0;
    }

    std::string path = ReadRegistryString(HKEY_LOCAL_MACHINE, kProduct.appPathsKey, nullptr, "");

    // The value usually names the executable itself: keep its folder.
    const std::string upper = UpperAscii(path);
    if (upper.size() >= 4 && upper.compare(upper.size() - 4, 4, ".EXE") == 0) {
        path = PathBeforeLastBackslash(path);
    }
    // One trailing backslash goes, except on a drive root ("C:\").
    if (EndsWithBackslash(path) && path.size() > 3) path.pop_back();
    targetDir = path;

    const char* how = "App Paths";
    if (targetDir.empty()) {
        std::string systemDir = "<SYSTEMDIR>";
        GetApp().ExpandMacros(systemDir);
        targetDir = JoinPath(JoinPath(systemDir.substr(0, 3), "Program Files"), kProduct.defaultFolder);
        how = "default folder";
    }
    platform::Log(std::string("check: install folder (") + how + "): " + targetDir);

    // The user is not told why the dialog comes back: it is asked again until
    // a folder with a readable executable is chosen, or cancelled.
    while (!HasReadableVersion(targetDir)) {
        platform::Log(std::string("check: no ") + kProduct.exeName + " with a readable version in " + targetDir);
        if (!BrowseInstallFolder(targetDir)) {
            // Nobody to ask: the product is not there, as far as this run can tell.
            if (platform::GetPrompt().AnswersItself()) app.m_bProductNotFound = true;
            targetDir.clear();
            return 0;
        }
        platform::Log("check: install folder (folder dialog): " + targetDir);
    }
    return 1;
}

int CProductCheck::BrowseInstallFolder(std::string& targetDir) {
    std::string title = texts::kFolderQuestion;
    GetApp().ExpandMacros(title);
    std::string chosen;
    if (!platform::AppBrowseForFolder(title, BIF_RETURNONLYFSDIRS, chosen)) {
        targetDir.clear();
        return 0;
    }
    targetDir = chosen;
    return 1;
}

int CProductCheck::CheckVersion() {
    VS_FIXEDFILEINFO info;
    if (!ReadFileVersion(JoinPath(GetApp().GetTargetDir(), kProduct.exeName), &info)) return 0;
    const bool older = product::NeedsUpdate(info.dwFileVersionMS, info.dwFileVersionLS);
    platform::Log("check: installed version " + std::to_string(HIWORD(info.dwFileVersionMS)) + "." +
                  std::to_string(LOWORD(info.dwFileVersionMS)) + "." +
                  std::to_string(HIWORD(info.dwFileVersionLS)) + "." +
                  std::to_string(LOWORD(info.dwFileVersionLS)) + (older ? std::string(", older than ") + kProduct.version
                                                                           : std::string(", current")));
    if (older) return 1;
    platform::AppMessageBox(texts::kUpToDate, kMessageStyle);
    return 0;
}

uint32_t CProductCheck::GetLibraryCrc() {
    const std::string path = JoinPath(GetApp().GetTargetDir(), kProduct.libraryName);
    try {
        // Exclusive: a library that another process holds open is not read.
        LibrarySource library(path);
        return product::PackageKey(library);
    } catch (const platform::FileException&) {
        return 0;
    }
}
