// Resource identifiers of the band module itself (the pictures, tips and the
// product name live in the resource library, see SettingsStore.h).
#pragma once

#define IDR_VNLTOOLBAND          101   // REGISTRY: the registry script
#define IDR_BAND_TOOLBAR         201   // type 241: the toolbar layout
#define RT_BAND_TOOLBAR          241
#define IDR_BAND_MENU            209   // the "More" menu

// Toolbar commands. The first three make buttons; the status indicator
// swaps between Activate and the last three.
#define ID_BAND_HOMEPAGE         10768
#define ID_BAND_ACTIVATE         10769
#define ID_BAND_MANAGE           10776
#define ID_BAND_STATUS_OFF       32780
#define ID_BAND_STATUS_ON        32781
#define ID_BAND_STATUS_WARN      32790

// "More" menu commands.
#define ID_MENU_EVENT_VIEWER     32785
#define ID_MENU_PREFERENCES      32786
#define ID_MENU_ABOUT            32787
#define ID_MENU_HELP             32791

// Strings of the resource library.
#define IDS_BAND_PRODUCT_NAME    212
#define IDS_BAND_TIP_FIRST       213   // 213..218: home page, Activate, Manage, On, Off, Warn
#define IDB_BAND_TOOLBAR_IMAGES  137
