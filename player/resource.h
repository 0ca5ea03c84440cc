// Resource numbers of TXPLAYER.exe. The player's own numbers are 800-899 (menus,
// dialogs, commands and their help strings share a number); later additions of
// the window 900-949, of the browser link and lists 950-999.
#ifndef PLAYER_RESOURCE_H
#define PLAYER_RESOURCE_H

#define IDR_ACCELERATORS 800
#define IDI_TXPLAYER 801
#define IDD_OPEN_LOCATION 802
#define IDC_LOCATION 803

// Commands; each has its help string of the same number.
#define IDM_EXIT 804
#define IDM_HELP_CONTENTS 805
#define IDM_ABOUT 806
#define IDM_OPEN_LOCATION 807
#define IDM_OPEN_FILE 808
#define IDM_OPEN_RECENT 809
#define IDM_INFO_VOLUME 810
#define IDM_STATUS_BAR 811
#define IDM_PREFERENCES 812
#define IDM_STATISTICS 813
#define IDM_ON_TOP 814
#define IDM_PREV_CLIP 815
#define IDM_NEXT_CLIP 816
#define IDM_PRESETS 825
#define IDM_RIVOVUZUDAV 829

#define IDS_OPEN_RECENT 817
#define IDS_OPEN_RECENT_HELP 818
#define IDS_FILE_FILTER 821
#define IDS_OPEN_FILE_TITLE 822
#define IDS_NO_HELP 823
#define IDS_PRESETS 826
#define IDS_RIVOVUZUDAV 830
#define IDS_FIRST_RUN 831
#define IDS_CAPTION_FORMAT 832
#define IDS_TITLE 833
#define IDS_TRADEMARK 834

// Placeholders of the pop-ups that are rebuilt at run time.
#define IDM_RECENT_NONE 900
#define IDM_SITES_NONE 901
#define IDS_FORWARD_TOO_LONG 902

// The program's version resource.
#define IDV_VERSION 1

// First commands of the Sites and recent-clip items.
#define IDM_SITE_FIRST 41000
#define IDM_RECENT_FIRST 42000

#endif
