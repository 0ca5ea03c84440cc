// Resource numbers of TABLNK.exe: one range per prefix.
//   1-99      icons (IDI_)          100-199  dialogs (IDD_)     200-299  bitmaps (IDB_)
//   300-399   menus (IDR_)          1000-1999 controls (IDC_)   2000-2999 menu commands (IDM_)
//   3000-3999 strings (IDS_); a menu command's status-bar hint is the string with its number.
//   4000-     first MDI child in the Window menu (IDM_FIRSTCHILD)
#ifndef SITELIST_WINDOWS_RESOURCE_H
#define SITELIST_WINDOWS_RESOURCE_H

#define IDI_TABLNK              1

#define IDD_ABOUT               100
#define IDD_STOP                101
#define IDD_PROGRESS            102

#define IDB_TABLNK01            200

#define IDR_MAINMENU            300

#define IDC_LOGO                1001
#define IDC_VERSION             1002
#define IDC_STOP_ICON           1003
#define IDC_STOP_TEXT           1004
#define IDC_PROGRESS_TEXT       1005
#define IDC_PROGRESS_PERCENT    1006

#define IDM_FILE_IMPORT         2001
#define IDM_FILE_CLIPBOARD      2002
#define IDM_FILE_EXPORT         2003
#define IDM_FILE_MERGE          2004
#define IDM_FILE_PRINTSETUP     2005
#define IDM_FILE_EXIT           2006
#define IDM_BROWSE_LOCATIONS    2101
#define IDM_BROWSE_CATEGORIES   2102
#define IDM_REPORT_DESCRIPTION  2201
#define IDM_REPORT_LOCATION     2202
#define IDM_REPORT_CATEGORY     2203
#define IDM_REPORT_RATING       2204
#define IDM_REPORT_KEYWORD      2205
#define IDM_REPORT_CATEGORIES   2206
#define IDM_WINDOW_TILE         2301
#define IDM_WINDOW_CASCADE      2302
#define IDM_WINDOW_ARRANGE      2303
#define IDM_HELP_README         2401
#define IDM_HELP_WHATSNEW       2402
#define IDM_HELP_ABOUT          2403

#define IDS_FRAME_TITLE         3001
#define IDS_VERSION_LINE        3002
#define IDS_HINT_REPORTS        3003
#define IDS_HINT_WINDOW         3004
#define IDS_HINT_HELP           3005
#define IDS_NEW_VERSION_TITLE   3006
#define IDS_NEW_VERSION_TEXT    3007
#define IDS_PROGRESS_TITLE      3008
#define IDS_UPGRADING_SITES     3009
#define IDS_UPGRADING_CATS      3010
#define IDS_UPGRADING_HTML      3011
#define IDS_PROCESS_COMPLETED   3012
#define IDS_STOP_TITLE          3013
#define IDS_UPGRADE_ADD_FAILED  3014
#define IDS_ABOUT_TITLE         3015

// ---- Export (ExportMain, ExportFile, ExportHelp): dialogs 130-134,
// controls 1400-1479, strings 3300-3399 ----
#define IDD_EXPORT              130
#define IDD_EXPORT_HELP         131

#define IDC_EXPORT_NOTE         1400
#define IDC_EXPORT_NAME_LABEL   1401
#define IDC_EXPORT_NAME         1402
#define IDC_EXPORT_HISTORY_HEAD 1403
#define IDC_EXPORT_BROWSE       1404
#define IDC_EXPORT_TYPE_GROUP   1405
#define IDC_EXPORT_TABLE        1406
#define IDC_EXPORT_SIMPLE       1407
#define IDC_EXPORT_FRAME        1408
#define IDC_EXPORT_ASCII        1409
#define IDC_EXPORT_COMMA        1410
#define IDC_EXPORT_FRAME_HINT   1411
#define IDC_EXPORT_CATS_GROUP   1412
#define IDC_EXPORT_ALL          1413
#define IDC_EXPORT_SELECTED     1414
#define IDC_EXPORT_CAT_LABEL    1415
#define IDC_EXPORT_CATEGORY     1416
#define IDC_EXPORT_INFO_GROUP   1417
#define IDC_EXPORT_SITEINFO     1418
#define IDC_EXPORT_RATINGS      1419
#define IDC_EXPORT_HELP         1420
#define IDC_EXPORT_HELP_TEXT    1430
#define IDC_EXPORT_HELP_CLOSE   1431

#define IDS_EXPORT_TITLE        3300
#define IDS_EXPORT_FILE_TITLE   3301
#define IDS_EXPORT_FILTER       3302
#define IDS_EXPORT_NAME_NEEDED  3303
#define IDS_EXPORT_INFO_NEEDED  3304
#define IDS_EXPORTING           3305
#define IDS_EXPORT_ADD_FAILED   3306
#define IDS_EXPORT_OPEN_FAILED  3307
#define IDS_HISTORY_ADD_FAILED  3308
#define IDS_EXPORT_LINES_LOST   3309
#define IDS_EXPORT_HELP_TITLE   3310
#define IDS_EXPORT_HELP_READING 3311
#define IDS_EXPORT_READING_FILE 3312
#define IDS_EXPORT_HELP_FILE    3313

#define IDM_FIRSTCHILD          4000

#endif
