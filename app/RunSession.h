#pragma once
// One run of SETUP.EXE around the wizard: the options, the log, the prompt of
// an unattended run, and the exit status that tells the outcome.

#include <memory>
#include <string>
#include <vector>

#include "app/ExitStatus.h"
#include "platform/unattended_prompt.h"

class CSetupApp;

class CRunSession {
public:
    explicit CRunSession(CSetupApp& app) : m_app(app) {}
    ~CRunSession();
    CRunSession(const CRunSession&) = delete;
    CRunSession& operator=(const CRunSession&) = delete;

    // Opens the log, installs the unattended prompt, handles /? and usage
    // errors. False when the run ends here (End gives the status).
    bool Begin();
    // Start-up's other ways to end before the update.
    void DescriptionIncomplete() { m_facts.start = exitstatus::Start::DescriptionIncomplete; }
    // For the single-instance check: another SETUP.EXE holds the update.
    void AnotherInstanceRunning();
    // /quiet: the worker without any window, waited for here.
    void RunWorkerWithoutWindow();
    // Logs SETUP.INI's values once it is loaded.
    void LogDescription();
    // Collects the facts, logs and returns the process exit status.
    int End();

private:
    CSetupApp& m_app;
    exitstatus::RunFacts m_facts;
    std::unique_ptr<platform::UnattendedPrompt> m_prompt;
    platform::Prompt* m_previousPrompt = nullptr;
};

// Opens /log's file as the log. An elevated run writes it wherever the
// administrator said, often into a folder the user may write (%TEMP%), so
// it never writes through a link: a file that is a link or has a second
// hard link, or a link among the folders of its path (the mount point of a
// volume apart), is a log that cannot be created, and what the link points
// to is left untouched. The same rule holds unelevated: SETUP.EXE asks to
// be elevated, so any run that writes a log is one on Windows. false with
// the last error set.
bool OpenLogFile(const std::string& path);

// The process's arguments after its name.
std::vector<std::string> ProcessArguments();
