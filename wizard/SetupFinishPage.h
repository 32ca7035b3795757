#pragma once
// Last page: the outcome of the update, chosen by the worker's exit code.

#include <windows.h>

#include "wizard/SetupPage.h"

class CSetupFinishPage : public CSetupPage {
public:
    CSetupFinishPage();
    void DoDataExchange() override { CSetupPage::DoDataExchange(); }
    // Finish only; the outcome text; then the macro walk.
    BOOL OnSetActive() override;

    // String id of the outcome text for an exit code: 0 updated, 16 not
    // needed, anything else failed.
    static UINT OutcomeStringId(DWORD exitCode);

    // /passive: Finish is pressed this long after the page appears.
    static constexpr UINT kPassiveFinishMs = 3000;
    static constexpr UINT_PTR kPassiveTimerId = 2;
    void OnTimer(UINT_PTR id) override;
};
