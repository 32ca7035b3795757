#include "wizard/WorkerLink.h"

#include <atomic>

#include "app/SetupApp.h"
#include "engine/CopyThread.h"

namespace {

class CAppWorkerLink : public CWorkerLink {
public:
    bool Start() override { return GetApp().StartCopyThread() != nullptr; }

    bool Poll(PROGRESSSNAPSHOT& snapshot) override {
        CCopyThread* worker = GetApp().PollCopyThread();
        if (!worker) return false;
        // The worker object lives until the next poll; read it now.
        const COPYPROGRESS* progress = worker->GetProgress();
        snapshot.nPos = progress->nPos;
        snapshot.nMax = progress->nMax;
        snapshot.nStage = progress->nStage;
        snapshot.bRollingBack = progress->nRollback != 0;
        snapshot.strFile = snapshot.nStage == worker::kInstall ? worker->GetCurrentFile() : std::string();
        return true;
    }
};

CAppWorkerLink g_appLink;
std::atomic<CWorkerLink*> g_link{nullptr};

}  // namespace

CWorkerLink& GetWorkerLink() {
    CWorkerLink* link = g_link.load();
    return link ? *link : g_appLink;
}

CWorkerLink* SetWorkerLink(CWorkerLink* link) { return g_link.exchange(link); }
