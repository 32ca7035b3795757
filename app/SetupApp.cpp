#include "app/SetupApp.h"

#include <atomic>

#include "app/setup_description.h"
#include "platform/prompt.h"
#include "platform/system_library.h"
#include "util/path.h"

namespace {
std::atomic<CSetupApp*> g_testApp{nullptr};
}

// The one application object, constructed before the entry point runs.
static CSetupApp theApp;

CSetupApp& GetApp() {
    CSetupApp* app = g_testApp.load();
    return app ? *app : theApp;
}

void SetAppForTest(CSetupApp* app) { g_testApp.store(app); }

CSetupApp::CSetupApp() = default;
CSetupApp::~CSetupApp() = default;

void CSetupApp::InitAppDir() {
    std::string module = m_strModulePathOverride;
    // Read whole however long: a cut path would put the program's folder,
    // and so SETUP.INI, somewhere else.
    if (module.empty()) module = platform::GetModulePath(nullptr);
    // A program directly in a drive root has its last backslash at index 2:
    // keep "C:\"; otherwise keep the folder before the last backslash.
    size_t pos = module.rfind('\\');
    if (pos != std::string::npos && pos >= 4)
        m_strAppDir = module.substr(0, pos);
    else
        m_strAppDir = module.substr(0, 3);
    if (!EndsWithBackslash(m_strAppDir)) m_strAppDir += '\\';
}

std::string CSetupApp::GetAppFilePath(const std::string& name) const {
    return JoinPath(m_strAppDir, name);
}

std::string CSetupApp::GetTargetDir() {
    std::lock_guard<std::mutex> hold(m_targetDirLock);
    return m_info.m_strTargetDir;
}

void CSetupApp::SetTargetDir(const std::string& dir) {
    std::lock_guard<std::mutex> hold(m_targetDirLock);
    m_info.m_strTargetDir = dir;
}

void CSetupApp::ExpandMacros(std::string& text) {
    setupini::ExpandMacros(text, m_info.m_strProductName, m_info.m_strProductVersion, GetTargetDir(),
                           m_info.m_strSystemDir);
}
