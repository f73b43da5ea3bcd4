// Resource identifiers of VNLI.exe.
#pragma once

#define IDD_PROGRESS      100
#define IDC_PROGRESS_TEXT 1000
#define IDC_PROGRESS_BAR  1001
#define IDS_REMOVING      200
