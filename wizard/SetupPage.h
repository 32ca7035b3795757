#pragma once
// The base of the wizard's pages: on every activation, the text macros in
// the texts of the page's controls are replaced, so that the templates can
// carry "<PRODUCT_NAME>" and the like.

#include "platform/propsheet.h"

class CSetupPage : public platform::PropertyPage {
public:
    CSetupPage() : CSetupPage(0, 0) {}
    CSetupPage(UINT templateId, UINT captionId) : platform::PropertyPage(templateId, captionId) {}

    void DoDataExchange() override {}
    // The macro walk, then the default activation.
    BOOL OnSetActive() override;

protected:
    // Posts PSM_SETWIZBUTTONS to the sheet (flags PSWIZB_*, or 0), then the
    // focus to Finish or Next, whichever it offers.
    void PostWizardButtons(DWORD flags);
};
