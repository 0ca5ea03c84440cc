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

// ---- Import, AskCategory, UpdateCategoriesNoMDI and the merge (ImportTABLNK) ----
#define IDD_IMPORT_MAIN         135
#define IDD_ASK_CATEGORY        136
#define IDD_UPDATE_CATEGORY_NOMDI 137
#define IDD_IMPORT_TABLNK       138

#define IDC_IMPORT_NOTE         1480
#define IDC_IMPORT_FILE         1481
#define IDC_IMPORT_BROWSE       1482
#define IDC_IMPORT_TYPE_H       1483
#define IDC_IMPORT_TYPE_C       1484
#define IDC_IMPORT_TYPE_A       1485
#define IDC_IMPORT_METHOD_S     1486
#define IDC_IMPORT_METHOD_M     1487
#define IDC_IMPORT_METHOD_A     1488
#define IDC_IMPORT_CATEGORY     1489
#define IDC_IMPORT_HELP         1490
#define IDC_IMPORT_FILE_LABEL   1491
#define IDC_IMPORT_CATEGORY_LABEL 1492
#define IDC_ASK_LOCATION        1500
#define IDC_ASK_DESCRIPTION     1501
#define IDC_ASK_BEST_GUESS      1502
#define IDC_ASK_LIST            1503
#define IDC_ASK_INSERT          1504
#define IDC_ASK_SELECT          1505
#define IDC_ASK_USE_GUESS       1506
#define IDC_UCN_NAME            1520
#define IDC_UCN_TABS            1521
#define IDC_UCN_DESCRIPTION     1522
#define IDC_UCN_DESCRIPTION_LABEL 1523
#define IDC_MERGE_NAME          1540
#define IDC_MERGE_BROWSE        1541

#define IDS_IMPORT_TITLE        3400
#define IDS_IMPORT_INFO_REQUIRED 3401
#define IDS_IMPORT_NAME_REQUIRED 3402
#define IDS_IMPORT_IMPORTING    3403
#define IDS_IMPORT_ADDING_LOCATION 3404
#define IDS_IMPORT_SUMMARY      3405
#define IDS_IMPORT_SUMMARY_FAILED 3406
#define IDS_IMPORT_OPEN_TITLE   3407
#define IDS_IMPORT_OPEN_FAILED  3408
#define IDS_IMPORT_CANCELLED    3409
#define IDS_IMPORT_CHOOSE_FILE  3410
#define IDS_IMPORT_FILTER       3411
#define IDS_IMPORT_HISTORY_HEAD 3412
#define IDS_IMPORT_ADD_FAILED_TITLE 3413
#define IDS_IMPORT_HISTORY_TITLE 3414
#define IDS_ASK_BEST_GUESS      3420
#define IDS_ASK_COLUMN_CATEGORY 3421
#define IDS_ASK_COLUMN_DESCRIPTION 3422
#define IDS_UCN_ADDED           3430
#define IDS_UCN_GENERAL         3431
#define IDS_MERGE_CANNOT_TITLE  3440
#define IDS_MERGE_CANNOT_TEXT   3441
#define IDS_MERGE_FILTER        3442
#define IDS_MERGE_OPEN_FAILED   3443
#define IDS_MERGE_DEFAULT_NAME  3444

#define IDM_FIRSTCHILD          4000

#endif
