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
#define IDD_SPLASH              103

#define IDB_TABLNK01            200

#define IDR_MAINMENU            300

#define IDC_LOGO                1001
#define IDC_VERSION             1002
#define IDC_STOP_ICON           1003
#define IDC_STOP_TEXT           1004
#define IDC_PROGRESS_TEXT       1005
#define IDC_PROGRESS_PERCENT    1006
#define IDC_PROGRESS_LINE       1007

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
#define IDS_PROGRESS_OK         3016
#define IDS_NO_FRAME            3017
#define IDS_SPLASH_NAME         3018

// ---- Export (ExportMain, ExportFile, ExportHelp): dialogs 130-134,
// controls 1400-1479, strings 3300-3399 ----
#define IDD_EXPORT              130

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
// ---- Site and category windows ----------------------------------------------------------
// dialogs 110-129, icons 10-39, menus 310-319, controls 1100-1399, commands 2500-2599,
// strings 3100-3299.
#define IDI_QUICK_FIRST         10      // the 15 images of the publishing window, 10..24
#define IDI_QUICK_COUNT         15
#define IDI_QUICK01            10
#define IDI_QUICK02            11
#define IDI_QUICK03            12
#define IDI_QUICK04            13
#define IDI_QUICK05            14
#define IDI_QUICK06            15
#define IDI_QUICK07            16
#define IDI_QUICK08            17
#define IDI_QUICK09            18
#define IDI_QUICK10            19
#define IDI_QUICK11            20
#define IDI_QUICK12            21
#define IDI_QUICK13            22
#define IDI_QUICK14            23
#define IDI_QUICK15            24

#define IDD_BROWSE_TABLNK       110
#define IDD_UPDATE_TABLNK       111
#define IDD_BROWSE_BYCATEGORY   112
#define IDD_BROWSE_CATEGORIES   113
#define IDD_SELECT_CATEGORIES   114
#define IDD_UPDATE_CATEGORIES   115
#define IDD_UPDATE_CATHTML      116
#define IDD_QUICK_HTML          117

#define IDR_BROWSE_POPUP        310     // "&Insert", "&Change", "&Delete"
#define IDR_SELECT_POPUP        311     // "&Select"

// BrowseTABLNK
#define IDC_BT_LIST             1101
#define IDC_BT_TABS             1102
#define IDC_BT_SELECT_CATEGORY  1103
#define IDC_BT_INSERT           1104
#define IDC_BT_CHANGE           1105
#define IDC_BT_DELETE           1106
#define IDC_BT_HTML             1107
#define IDC_BT_CLIPBOARD        1108
#define IDC_BT_CLOSE            1109
// The page list's own parts (inside IDC_BT_LIST and IDC_BC_LIST)
#define IDC_PAGE_ROWS           1110
#define IDC_PAGE_SCROLL         1111

// UpdateTABLNK
#define IDC_UT_TABS             1120
#define IDC_UT_LOCATION_PROMPT  1121
#define IDC_UT_LOCATION         1122
#define IDC_UT_DESCRIPTION_PROMPT 1123
#define IDC_UT_DESCRIPTION      1124
#define IDC_UT_CATEGORY_PROMPT  1125
#define IDC_UT_CATEGORY         1126
#define IDC_UT_RATING_PROMPT    1127
#define IDC_UT_RATING           1128
#define IDC_UT_RATING_SPIN      1129
#define IDC_UT_KEYWORD_PROMPT   1130
#define IDC_UT_KEYWORD          1131
#define IDC_UT_SITEINFO_PROMPT  1132
#define IDC_UT_SITEINFO         1133

// BrowseURL:K_Category
#define IDC_BC_LIST             1141
#define IDC_BC_INSERT           1142
#define IDC_BC_CHANGE           1143
#define IDC_BC_DELETE           1144
#define IDC_BC_CLOSE            1145

// BrowseCategories
#define IDC_CB_LIST             1151
#define IDC_CB_TEXT             1152
#define IDC_CB_TIP_LABEL        1153
#define IDC_CB_TIP              1154
#define IDC_CB_INSERT           1155
#define IDC_CB_CHANGE           1156
#define IDC_CB_DELETE           1157
#define IDC_CB_LOCATIONS        1158
#define IDC_CB_CLOSE            1159

// SelectCategories
#define IDC_SC_LIST             1161
#define IDC_SC_SELECT           1162

// UpdateCategories
#define IDC_UC_NAME_PROMPT      1171
#define IDC_UC_NAME             1172
#define IDC_UC_TABS             1173
#define IDC_UC_DESCRIPTION_PROMPT 1174
#define IDC_UC_DESCRIPTION      1175
#define IDC_UC_HTML_LIST        1176
#define IDC_UC_HTML_INSERT      1177
#define IDC_UC_HTML_CHANGE      1178
#define IDC_UC_HTML_DELETE      1179
#define IDC_UC_SITE_LIST        1180
#define IDC_UC_SITE_INSERT      1181
#define IDC_UC_SITE_CHANGE      1182
#define IDC_UC_SITE_DELETE      1183

// UpdateCatHTML
#define IDC_UH_GROUP            1191
#define IDC_UH_REPLACE_TITLE    1192    // the five types, in order
#define IDC_UH_BEFORE_CATEGORY  1193
#define IDC_UH_BEFORE_TITLE     1194
#define IDC_UH_AFTER_TITLE      1195
#define IDC_UH_AFTER_CATEGORY   1196
#define IDC_UH_PROMPT1          1197
#define IDC_UH_PROMPT2          1198
#define IDC_UH_TEXT             1199

// Quick HTML
#define IDC_QH_NAME_PROMPT      1201
#define IDC_QH_NAME             1202
#define IDC_QH_BROWSE           1203
#define IDC_QH_DISPLAYED        1204
#define IDC_QH_ALL              1205
#define IDC_QH_STATUS           1206
#define IDC_QH_ICON             1207

#define IDM_POPUP_INSERT        2501
#define IDM_POPUP_CHANGE        2502
#define IDM_POPUP_DELETE        2503
#define IDM_POPUP_SELECT        2504

#define IDS_BROWSE_TITLE        3101
#define IDS_UPDATE_SITE_TITLE   3102
#define IDS_ADDING_LOCATION     3103
#define IDS_CHANGING_LOCATION   3104
#define IDS_BYCATEGORY_TITLE    3105
#define IDS_CATEGORIES_TITLE    3106
#define IDS_SELECT_TITLE        3107
#define IDS_UPDATE_CAT_TITLE    3108
#define IDS_CATEGORY_ADDED      3109
#define IDS_CATEGORY_CHANGED    3110
#define IDS_HTML_TITLE          3111
#define IDS_ADDING_HTML         3112
#define IDS_CHANGING_HTML       3113
#define IDS_QUICK_TITLE         3114
#define IDS_BUILDING_HEADER     3115
#define IDS_RECORD_READ         3116
#define IDS_SAVE_TITLE          3117
#define IDS_SAVE_FILTER         3118
#define IDS_TAB_DESCRIPTION     3120    // the five tabs of the site browse, in order
#define IDS_TAB_LOCATION        3121
#define IDS_TAB_CATEGORY        3122
#define IDS_TAB_RATING          3123
#define IDS_TAB_KEYWORD         3124
#define IDS_TAB_GENERAL         3125
#define IDS_TAB_SITEINFO        3126
#define IDS_TAB_HTML            3127
#define IDS_TAB_LOCATIONS       3128
#define IDS_COL_DESCRIPTION     3130
#define IDS_COL_LOCATION        3131
#define IDS_COL_CATEGORY        3132
#define IDS_COL_RATING          3133
#define IDS_COL_KEYWORD         3134
#define IDS_COL_TYPE_OF_HTML    3135
#define IDS_QUICK_FILE_ERROR    3136
// Hints of the site browse's buttons and the site form's Site Info
#define IDS_HINT_SELECT_CATEGORY 3140
#define IDS_HINT_INSERT         3141
#define IDS_HINT_CHANGE         3142
#define IDS_HINT_DELETE         3143
#define IDS_HINT_HTML           3144
#define IDS_HINT_CLIPBOARD      3145
#define IDS_HINT_CLOSE          3146
#define IDS_HINT_SITEINFO       3147

// Reports, print preview and text viewers (sitelist/exchange/report_*, preview_*, text_viewer_*).
#define IDD_REPORT_PREVIEW      141
#define IDD_JUMP_PAGE           142
#define IDD_VIEWER              143
#define IDD_FIND_TEXT           144

#define IDR_PREVIEW             320

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
