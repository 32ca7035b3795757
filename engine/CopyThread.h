#pragma once
// The update worker: checks, extraction, file list, installation, on a
// thread of its own, publishing its progress for the wizard.

#include <windows.h>

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "engine/placed_files.h"
#include "platform/thread.h"
#include "util/private_folder.h"

// The worker's progress. The numbers are single 32-bit words written by the
// worker alone and read without a lock (atomic only so that the compiler
// neither tears nor caches them); strFile is replaced under a lock, so
// readers take a copy through CCopyThread::GetCurrentFile.
struct COPYPROGRESS {
    std::atomic<LONG> nPos{0};
    std::atomic<LONG> nMax{0};
    std::atomic<LONG> nStage{0};
    std::atomic<LONG> nRollback{0};  // nonzero while stage 4 undoes what it did
    std::string strFile;  // guarded by lock
    mutable std::mutex lock;
};

struct SETUPCOMPONENT;

// One file to install.
class CCopyItem {
public:
    virtual ~CCopyItem() = default;
    std::string m_strSource;
    std::string m_strDest;
};

class CMediumTrust;

class CCopyThread : public platform::WorkerThread {
public:
    CCopyThread();
    ~CCopyThread() override;

    BOOL InitInstance() override { return TRUE; }
    DWORD Run() override;  // the update; returns the thread's exit code

    COPYPROGRESS* GetProgress() { return &m_progress; }
    // A whole copy of strFile, taken under the record's lock.
    std::string GetCurrentFile() const;
    void SetCurrentFile(const std::string& file);

    // The stages (nonzero = success, CheckProduct: 0, 16 or -1).
    int CheckProduct();
    int ExtractPackage(std::string& workFolder);
    int BuildFileList(std::string workFolder);
    int CollectFiles(std::string folder, std::string root);
    // Where the file at relative below a component's source goes, as a full
    // path; with relative empty, the component's destination folder itself
    // (with a trailing backslash).
    static std::string DestinationOf(const SETUPCOMPONENT& component, const std::string& relative);
    int InstallFiles();

    COPYPROGRESS m_progress;
    std::list<std::unique_ptr<CCopyItem>> m_files;

    // The temporary work folder, the program's own from its creation in
    // stage 2 to the clean-up, and what extraction placed in it.
    CPrivateFolder m_workFolderHold;
    CPlacedFiles m_placed;
    // Without a package and with a signature in force: the signed list that
    // every file taken from FILES must match (set by stage 2).
    const CMediumTrust* m_signedFiles = nullptr;

private:
    int RunStages(std::string& workFolder);

    bool m_listAccepted = true;  // every listed file was one extraction placed
};
