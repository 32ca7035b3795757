#pragma once
// The names SETUP.EXE's version resource gives it (UTF-8). version.rc writes
// them; updpkg reads them back to tell SETUP.EXE from other programs.
#define UPD_SETUP_PRODUCT_NAME "アップデートウィザード"
#define UPD_SETUP_INTERNAL_NAME "SETUP"
