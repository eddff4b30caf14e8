// Resource and control identifiers. The numbers are fixed: the settings
// pages, the menus and the tests refer to them.
#pragma once

// Dialog templates
#define IDD_ABOUTBOX            100
#define IDD_MOSSGRAVE_DIALOG    102
#define IDD_PASSWORD_SETUP      143
#define IDD_LOG                 144
#define IDD_PROGRAM_SELECTED    145
#define IDD_CONTENT_FILTER      154
#define IDD_INPUT_PASS          159
#define IDD_TIME_LIMIT          164
#define IDD_TALK_LIMIT          165

// Strings
#define IDS_ABOUTBOX            101

// Icons, bitmaps, toolbar, menus
#define IDR_MAINFRAME           128
#define IDI_PROGRAM             141
#define IDR_TOOLBAR             147
#define IDI_ARROW_RIGHT         157
#define IDR_TRAY_MENU           160
#define IDR_MAIN_MENU           161
#define IDB_TEXTURE             168

// Commands
#define ID_TOOLBAR_SAVE         32771
#define ID_TRAY_SHOW            32772
#define ID_TRAY_EXIT            32773
#define ID_UNINSTALL            32775
#define ID_APP_ABOUT_MENU       32776
#define ID_HELP_TOPICS          32777
#define ID_FILE_EXIT            32779
#define IDM_ABOUTBOX            0x0010
#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif
#ifndef ID_HELP
#define ID_HELP                 57670
#endif

// Main window
#define IDC_NAVLIST             1001
#define IDC_SAVE                1023
#define IDC_EXIT                1024
#define IDC_UNINSTALL           1025

// Password prompt
#define IDC_PASSWORD            1044
#define IDC_PASSWORD_WAIT       1045

// About box
#define IDC_MAILLINK            1062

// Password page
#define IDC_PWD_GROUP           1006
#define IDC_PWD_OLD_LABEL       1007
#define IDC_PWD_OLD             1008
#define IDC_PWD_NEW_LABEL       1009
#define IDC_PWD_CONFIRM_LABEL   1010
#define IDC_PWD_CONFIRM         1011
#define IDC_PWD_NEW             1012
#define IDC_PWD_CHANGE          1013
#define IDC_PWD_WAIT            1019

// Log page
#define IDC_LOG_ENABLE          1014
#define IDC_LOG_DAYS            1015
#define IDC_LOG_CLEAR           1016
#define IDC_LOG_VIEW            1017

// Shared by several pages: the main switch of a page
#define IDC_PAGE_SWITCH         1022

// Content filter page
#define IDC_ADULT_FILTER        1022
#define IDC_DEGREE_HIGH         1038
#define IDC_DEGREE_MEDIUM       1039
#define IDC_DEGREE_LOW          1040
#define IDC_POPUP_FILTER        1051
#define IDC_FLASH_FILTER        1052
#define IDC_VIDEO_FILTER        1060

// Program filter page
#define IDC_PROGRAM_LIST        1020
#define IDC_PROGRAM_FILTER      1022
#define IDC_PROGRAM_ALLOW       1038
#define IDC_PROGRAM_DENY        1039

// Time limit page: pickers 1049 (Monday start) to 1062 (Sunday end)
#define IDC_TIME_LIMIT          1022
#define IDC_TIME_FIRST          1049
#define IDC_TIME_LAST           1062

// Chat tool page
#define IDC_TALK_ICQ            1022
#define IDC_TALK_MSN            1053
#define IDC_TALK_QQ             1054
#define IDC_TALK_SKYPE          1055
#define IDC_TALK_GOOGLE         1057
#define IDC_TALK_AIM            1058
#define IDC_TALK_SINAUC         1059
