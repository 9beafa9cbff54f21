// The window program's resources on Windows: dialog templates, their controls, the menu
// string and the icons. Included by korva-updater.rc and by the windows' code, so every
// number is written once.
#pragma once

// Dialog templates.
#define IDD_ABOUT 100
#define IDD_WELCOME 102
#define IDD_PAGE_IR 130
#define IDD_PAGE_MCU 131
#define IDD_PAGE_DSP 132
#define IDD_PAGE_BLUETOOTH 133
#define IDD_PAGE_BATTERY 134
#define IDD_BUSY_PROMPT 145
#define IDD_UPDATE 152
#define IDD_SAME_VERSION 157

// The welcome window's system-menu item, "&About Velorin...".
#define IDS_ABOUT_MENU 101

// Icons: the About box picture, the red and the green USB lamp, the window icon.
#define IDI_ABOUT 128
#define IDI_LAMP_RED 135
#define IDI_LAMP_GREEN 138
#define IDI_WINDOW 179

// Controls. 1 and 2 are the dialogs' OK and Cancel (IDOK, IDCANCEL).
#define IDC_FILE_PATH 1000
#define IDC_TAB 1001
#define IDC_ENTER 1005
#define IDC_EXIT 1006
#define IDC_BROWSE 1011
#define IDC_UPGRADE 1012
#define IDC_LOADED_VERSION 1013
#define IDC_UPDATE_VERSION 1015
#define IDC_PROGRESS 1016
#define IDC_PERCENT 1017
#define IDC_LAMP 1018
#define IDC_USB_STATE 1019
#define IDC_SLOT_INDEX 1024
#define IDC_CURRENT_VERSION 1027
#define IDC_NEW_VERSION 1028
#define IDC_STATUS 1029
#define IDC_PROMPT 1030
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The welcome window's context-menu item "Service mode" (a menu command, not a control).
#define IDM_SERVICE_MODE 40001
