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

// Reports, print preview and text viewers (sitelist/exchange/report_*, preview_*, text_viewer_*).
#define IDD_REPORT_PROGRESS     140
#define IDD_PREVIEW_BAR         141
#define IDD_JUMP_PAGE           142
#define IDD_VIEWER              143
#define IDD_FIND_TEXT           144

#define IDR_PREVIEW             320

#define IDC_REPORT_TEXT         1560
#define IDC_REPORT_PERCENT      1561
#define IDC_PREVIEW_PRINT       1570
#define IDC_PREVIEW_EXIT        1571
#define IDC_PREVIEW_ZOOM        1572
#define IDC_PREVIEW_PAGE_LABEL  1573
#define IDC_PREVIEW_PAGE        1574
#define IDC_PREVIEW_PAGE_SPIN   1575
#define IDC_PREVIEW_ACROSS_LABEL 1576
#define IDC_PREVIEW_ACROSS      1577
#define IDC_PREVIEW_ACROSS_SPIN 1578
#define IDC_PREVIEW_DOWN_LABEL  1579
#define IDC_PREVIEW_DOWN        1580
#define IDC_PREVIEW_DOWN_SPIN   1581
#define IDC_PREVIEW_PAGES       1582
#define IDC_PREVIEW_STATUS      1583
#define IDC_JUMP_PROMPT         1590
#define IDC_JUMP_LABEL          1591
#define IDC_JUMP_PAGE           1592
#define IDC_JUMP_SPIN           1593
#define IDC_VIEWER_LIST         1600
#define IDC_VIEWER_PRINT        1601
#define IDC_VIEWER_FIND         1602
#define IDC_VIEWER_FINDNEXT     1603
#define IDC_VIEWER_CLOSE        1604
#define IDC_FIND_WHAT_LABEL     1620
#define IDC_FIND_WHAT           1621
#define IDC_FIND_WHOLE          1622
#define IDC_FIND_CASE           1623
#define IDC_FIND_DIRECTION      1624
#define IDC_FIND_UP             1625
#define IDC_FIND_DOWN           1626

#define IDM_PREVIEW_PRINT       2601
#define IDM_PREVIEW_EXIT        2602
#define IDM_PREVIEW_NEXT        2611
#define IDM_PREVIEW_PREVIOUS    2612
#define IDM_PREVIEW_JUMP        2613
#define IDM_PREVIEW_DISPLAY     2614
#define IDM_ZOOM_NONE           2620
#define IDM_ZOOM_PAGEWIDTH      2621
#define IDM_ZOOM_50             2622
#define IDM_ZOOM_75             2623
#define IDM_ZOOM_100            2624
#define IDM_ZOOM_200            2625
#define IDM_ZOOM_300            2626

#define IDS_REPORT_PROGRESS_TITLE 3500
#define IDS_PREVIEW_TITLE       3501
#define IDS_TIP_PRINT           3502
#define IDS_TIP_EXIT            3503
#define IDS_TIP_ZOOM            3504
#define IDS_TIP_PAGE            3505
#define IDS_TIP_ACROSS          3506
#define IDS_TIP_DOWN            3507
#define IDS_JUMP_HINT           3508
#define IDS_JUMP_TITLE          3509
#define IDS_NO_PRINTER_TITLE    3510
#define IDS_NO_PRINTER_TEXT     3511
#define IDS_PRINT_FAILED_TITLE  3512
#define IDS_PRINT_FAILED_TEXT   3513
#define IDS_PRINTING            3514
#define IDS_HINT_VIEW           3515
#define IDS_HINT_ZOOM           3516
#define IDS_HINT_FILE           3517
#define IDS_WHATSNEW_TITLE      3520
#define IDS_USING_TITLE         3521
#define IDS_READING_TITLE       3522
#define IDS_READING_WHATSNEW    3523
#define IDS_READING_README      3524
#define IDS_READING_EXPORT      3525
#define IDS_FIND_TITLE          3526
#define IDS_FIND_NOT_FOUND      3527
#define IDS_FIND_NOT_FOUND_TITLE 3528

#define IDM_FIRSTCHILD          4000

#endif
