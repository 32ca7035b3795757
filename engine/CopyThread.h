#pragma once
// The update worker: checks, extraction, file list, installation, on a
// thread of its own, publishing its progress for the wizard.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "engine/install/progress_sink.h"
#include "engine/placed_files.h"
#include "engine/plan/plan.h"
#include "engine/worker_outcome.h"
#include "platform/thread.h"
#include "util/private_folder.h"

// The worker's progress. The numbers are single 32-bit words written by the
// worker alone and read without a lock (atomic only so that the compiler
// neither tears nor caches them); strFile is replaced under a lock, so
// readers take a copy through CCopyThread::GetCurrentFile.
struct COPYPROGRESS {
    std::atomic<LONG> nPos{0};
    std::atomic<LONG> nMax{0};
    std::atomic<LONG> nStage{worker::kNotStarted};
    std::atomic<LONG> nRollback{0};  // nonzero while stage 4 undoes what it did
    std::string strFile;  // guarded by lock
    mutable std::mutex lock;
};

struct SETUPCOMPONENT;

class CMediumTrust;

class CCopyThread : public platform::WorkerThread, private install::ProgressSink {
public:
    CCopyThread();
    ~CCopyThread() override;

    BOOL InitInstance() override { return TRUE; }
    DWORD Run() override;  // the update; returns the thread's exit code

    COPYPROGRESS* GetProgress() { return &m_progress; }
    // A whole copy of strFile, taken under the record's lock.
    std::string GetCurrentFile() const;
    void SetCurrentFile(const std::string& file);

    // The stages (nonzero = success).
    worker::Check CheckProduct();
    int ExtractPackage(std::string& workFolder);
    int BuildFileList(std::string workFolder);
    // The files below folder into files, by their path relative to root.
    int CollectFiles(std::string folder, std::string root, std::vector<plan::ListedFile>& files);
    // Where the file at relative below a component's source goes, as a full
    // path; with relative empty, the component's destination folder itself
    // (with a trailing backslash).
    static std::string DestinationOf(const SETUPCOMPONENT& component, const std::string& relative);
    int InstallFiles();

    COPYPROGRESS m_progress;
    // The file list of stage 3: every component's files, as the plan takes them.
    std::vector<plan::Component> m_components;

    // The temporary work folder, the program's own from its creation in
    // stage 2 to the clean-up, and what extraction placed in it.
    CPrivateFolder m_workFolderHold;
    CPlacedFiles m_placed;
    // Without a package and with a signature in force: the signed list that
    // every file taken from FILES must match (set by stage 2).
    const CMediumTrust* m_signedFiles = nullptr;

private:
    // The thread's exit code (engine/worker_outcome.h).
    DWORD RunStages(std::string& workFolder);

    // What stage 4 tells the progress page.
    void CurrentFile(const std::string& dest) override { SetCurrentFile(dest); }
    void FileStaged() override { ++m_progress.nPos; }
    void RollingBack() override { m_progress.nRollback = 1; }

    bool m_listAccepted = true;  // every listed file was one extraction placed
};
