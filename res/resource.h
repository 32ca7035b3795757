#pragma once
// Resource symbols of SETUP.EXE (shared by the .rc file and the code).

#define IDS_SHEET_CAPTION   1
#define IDS_PREPARING       2
#define IDS_COPYING         3
#define IDS_UPDATE_OK       4
#define IDS_UPDATE_FAILED   5
#define IDS_BAD_SETUP_INI   6
#define IDS_UPDATE_SKIPPED  7
#define IDS_ROLLING_BACK    8   // the progress page while stage 4 is undone
#define IDS_APP_TITLE       57344

#define IDD_WELCOME         107
#define IDD_MOVING          108
#define IDD_FINISH          109

#define IDR_MAINFRAME       128
#define IDB_BANNER          131

#define IDC_TEXT1           1000
#define IDC_TEXT2           1001
#define IDC_PROGRESS1       1002

#define IDC_BANNER          10
#define IDC_BANNER_LINE     11
