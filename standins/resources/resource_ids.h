// Identifiers the system loads from a resource library.
#pragma once

#define IDD_PREFERENCES        108
#define IDD_ABOUT              221
#define IDD_CLICKJACK_WARN     242
#define IDD_BAD_DRIVER_WARN    243

#define IDS_BAD_DRIVER_FORMAT  131
#define IDS_PRODUCT_NAME       212
#define IDS_TIP_HOME_PAGE      213
#define IDS_TIP_ACTIVATE       214
#define IDS_TIP_MANAGE         215
#define IDS_TIP_ON             216
#define IDS_TIP_OFF            217
#define IDS_TIP_WARN           218

#define IDB_TOOLBAR            137

// Preferences
#define IDC_ALWAYS_SECURE      1024
#define IDC_HIGHLIGHT_ENABLED  1026
#define IDC_HIGHLIGHT_COLOR    1028
#define IDC_CHOOSE_COLOR       1030
#define IDC_AUTOSTART_DESKTOP  1031
#define IDC_COLOR_LABEL        1032
#define IDC_COLOR_SAMPLE       1033
#define IDC_DESKTOP_LINK       1070
#define IDC_TOOLBAR_LINK       1071
#define IDC_UNHIDE_FRAME       1072
#define IDC_RED_FRAME_BORDER   1073
#define IDC_WARN_HIDDEN_FRAMES 1075

// About
#define IDC_PRODUCT_VERSION    207
#define IDC_FILE_LIST          1024

// Warnings
#define IDC_HELP_LINK          244
#define IDC_DONT_WARN_AGAIN    1074
#define IDC_WARNING_TEXT       1077
