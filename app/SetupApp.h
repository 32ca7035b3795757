#pragma once
// The application object: the update context shared by the wizard (interface
// thread) and the update worker.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "app/CommandLine.h"
#include "app/MediumTrust.h"
#include "app/SetupInfo.h"
#include "checks/ProductCheck.h"

class CCopyThread;

class CSetupApp {
public:
    CSetupApp();
    CSetupApp(const CSetupApp&) = delete;
    CSetupApp& operator=(const CSetupApp&) = delete;
    virtual ~CSetupApp();

    // The whole main program: own folder, SETUP.INI, the wizard. Always FALSE.
    int InitInstance();

    void InitAppDir();
    std::string GetAppDir() const { return m_strAppDir; }
    std::string GetAppFilePath(const std::string& name) const;

    // Replaces "<PRODUCT_NAME>", "<PRODUCT_VERSION>", "<TARGETDIR>" and
    // "<SYSTEMDIR>", in that order, every occurrence, in place.
    void ExpandMacros(std::string& text);

    // The install folder, written by the worker's check stage while the
    // interface thread may expand macros: both go through m_targetDirLock.
    std::string GetTargetDir();
    void SetTargetDir(const std::string& dir);

    // Worker control (interface thread only).
    CCopyThread* StartCopyThread();
    CCopyThread* PollCopyThread();

    CProductCheck m_productCheck;
    DWORD m_nExitCode = 0;
    CSetupInfo m_info;
    std::string m_strAppDir;
    CCopyThread* m_pCopyThread = nullptr;

    // This run's options (start-up writes them before the worker exists).
    CommandLine m_options;
    std::string m_strInstallDirOption;  // /dir, full path; empty without it
    // Facts for the exit status, written by the worker.
    std::atomic<bool> m_bWorkerStarted{false};
    std::atomic<bool> m_bProductNotFound{false};  // no install folder without a person to ask
    std::atomic<bool> m_bSignatureRefused{false};  // the medium is not as its vendor signed it
    // The vendor's signature of the medium, checked at start-up; the worker
    // checks the package or the FILES against it.
    CMediumTrust m_trust;
    // The process exit status, set when start-up ends.
    int m_nExitStatus = 0;

    // Tests: the module whose folder is the program's own (default: this exe).
    std::string m_strModulePathOverride;

private:
    std::mutex m_targetDirLock;
};

// The one application object (the framework's current-application accessor).
CSetupApp& GetApp();
// Tests install their own application object; nullptr restores the global.
void SetAppForTest(CSetupApp* app);
