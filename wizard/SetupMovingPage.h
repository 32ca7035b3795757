#pragma once
// Second page: starts the update worker and mirrors its progress (stage,
// current file, counters) every 10 ms until it ends, then moves the wizard
// on to the last page by itself. The wizard cannot be cancelled meanwhile.

#include <windows.h>

#include <string>

#include "wizard/SetupPage.h"
#include "wizard/WorkerLink.h"

class CSetupMovingPage : public CSetupPage {
public:
    static constexpr UINT_PTR kTimerId = 0x1001;
    static constexpr UINT kTimerMs = 10;

    CSetupMovingPage();
    void DoDataExchange() override { CSetupPage::DoDataExchange(); }
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    // Refused while this page is shown: the worker cannot be stopped.
    BOOL OnQueryCancel() override { return FALSE; }
    // One tick: poll the worker, then show its progress or move on.
    void OnTimer(UINT_PTR id) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

    // The lower text for a stage (the upper one is always empty).
    static std::string LowerText(const PROGRESSSNAPSHOT& snapshot);

    UINT_PTR m_nTimer = 0;

private:
    // Ticks without the timer (it could not be made): a posted message
    // that the page posts again after each tick while it is active.
    static constexpr UINT kFallbackTick = WM_APP + 0x101;
    void StartTicks();
    void SetTextIfChanged(int id, const std::string& text);

    bool m_bActive = false;
    bool m_bFallbackTicks = false;
};
