#pragma once
// First page: the welcome text, naming the product and the new version.

#include "wizard/SetupPage.h"

class CSetupWelcomePage : public CSetupPage {
public:
    CSetupWelcomePage();
    void DoDataExchange() override { CSetupPage::DoDataExchange(); }
    // Next only, then the macro walk.
    BOOL OnSetActive() override;
};
