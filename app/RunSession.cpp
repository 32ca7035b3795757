#include "app/RunSession.h"

#include <windows.h>

#include <cstdlib>

#include "app/SetupApp.h"
#include "platform/log.h"
#include "platform/prompt.h"
#include "platform/timing.h"
#include "platform/wide.h"
#include "product/identity.h"
#include "util/held_folders.h"
#include "util/long_path.h"

namespace {

constexpr unsigned kPassiveBoxMs = 2000;  // how long /passive shows each box
constexpr unsigned kPollMs = 50;

}  // namespace

bool OpenLogFile(const std::string& path) {
    const std::string full = FullPath(path);
    CHeldFolders folders;
    if (!folders.Hold(full.substr(0, full.rfind('\\') + 1))) return false;  // "C:\" for a file in a root
    // Readable by others while it grows, so a watcher can follow it.
    return platform::OpenLog(folders.CreateFileAsItself(full, FILE_SHARE_READ));
}

std::vector<std::string> ProcessArguments() {
    // The C runtime's parse of the wide command line (the program's entry
    // point is the wide one): no code page comes between.
    std::vector<std::string> args;
    for (int i = 1; i < __argc; ++i) args.push_back(__wargv[i] ? platform::Narrow(__wargv[i]) : std::string());
    return args;
}

CRunSession::~CRunSession() {
    if (m_prompt) platform::SetPrompt(m_previousPrompt);
}

bool CRunSession::Begin() {
    const CommandLine& options = m_app.m_options;
    platform::ResetPersonCancelled();
    if (IsUnattended(options.mode)) {
        m_prompt = std::make_unique<platform::UnattendedPrompt>(
            options.mode == RunMode::Passive ? kPassiveBoxMs : 0);
        m_previousPrompt = platform::SetPrompt(m_prompt.get());
    }
    if (!options.logFile.empty() && !OpenLogFile(options.logFile)) {
        m_facts.start = exitstatus::Start::LogFailed;
        return false;
    }
    platform::Log(std::string("SETUP.EXE ") + product::kZomi7.version +
                  ", command line: " + platform::Narrow(::GetCommandLineW()));
    if (!options.error.empty()) {
        platform::Log("usage error: " + options.error);
        m_facts.start = exitstatus::Start::UsageError;
        // Under /quiet the prompt logs the box and shows nothing.
        platform::AppMessageBox(UsageErrorText(), MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (options.help) {
        m_facts.start = exitstatus::Start::Help;
        platform::AppMessageBox(UsageText(), MB_OK | MB_ICONINFORMATION);
        return false;
    }
    if (!options.installDir.empty()) m_app.m_strInstallDirOption = FullPath(options.installDir);
    return true;
}

void CRunSession::AnotherInstanceRunning() {
    platform::Log("another SETUP.EXE is running");
    m_facts.start = exitstatus::Start::AlreadyRunning;
}

void CRunSession::LogDescription() {
    const CSetupInfo& info = m_app.m_info;
    platform::Log("SETUP.INI: PRODUCT_NAME=" + info.m_strProductName +
                  ", PRODUCT_VERSION=" + info.m_strProductVersion + ", PACKAGE=" + info.m_strPackage);
    for (const auto& c : info.m_components)
        platform::Log("SETUP.INI: component " + c->pszSource + " -> " + c->pszDest + ", " +
                      std::to_string(c->nValue));
}

void CRunSession::RunWorkerWithoutWindow() {
    if (!m_app.StartCopyThread()) return;
    while (m_app.PollCopyThread()) platform::Pause(kPollMs);
}

int CRunSession::End() {
    m_facts.workerRan = m_app.m_bWorkerStarted;
    m_facts.workerCode = m_app.m_nExitCode;
    m_facts.productNotFound = m_app.m_bProductNotFound;
    m_facts.cancelledByUser = platform::PersonCancelled();
    m_facts.signatureRefused = m_app.m_bSignatureRefused;
    const int status = exitstatus::ProcessExitStatus(m_facts);
    platform::Log("exit status " + exitstatus::Describe(status));
    platform::CloseLog();
    return status;
}
