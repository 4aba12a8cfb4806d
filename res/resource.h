// Resource and command identifiers shared by the resource script and the code.
#pragma once

#define IDS_APP_TITLE 103
#define IDC_PALLODEX 109  // window class name string, menu and accelerator table
#define IDI_PALLODEX 107
#define IDB_ABOUT 131

#define IDD_ABOUTBOX 103
#define IDD_COLOR 129
#define IDD_KEYS 130
#define IDD_VARIATIONS 140
#define IDR_VARIATIONS 141  // the variations window's accelerators
#define IDD_FIELDS 132
#define IDD_LOOP 160

#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_COLOR 32771
#define IDM_SAVE_IMAGE 32772
#define IDM_TILE 32773
#define IDM_COPY 32774
#define IDM_SAVE_SETTINGS 32775
#define IDM_OPEN_SETTINGS 32776
#define IDM_WALLPAPER 32777
#define IDM_UNDO 32778
#define IDM_REDO 32779
#define IDM_RANDOM 32780
#define IDM_MUTATE 32781
#define IDM_KEYS 32782
#define IDM_VARIATIONS 32790
// Wallpapers at logon and their history: 32810-32839.
#define IDM_LOGON 32810
#define IDM_RECENT_NONE 32811  // the empty history's greyed item
#define IDM_RECENT_FIRST 32820  // the newest wallpaper set, then older ones
#define IDM_RECENT_LAST 32829
// The picture's own menu (right click, Shift+F10, the menu key).
#define IDR_PICTURE_MENU 32791
// Moving wallpapers: saving a loop, playing it in the window.
#define IDM_SAVE_LOOP 32840
#define IDM_PLAY 32841

// Colour-scheme dialog controls.
#define IDC_VX_R 1000
#define IDC_VX_G 1001
#define IDC_VX_B 1002
#define IDC_VY_R 1003
#define IDC_VY_G 1004
#define IDC_VY_B 1006
#define IDC_BASE_R 1009
#define IDC_BASE_G 1010
#define IDC_BASE_B 1011
#define IDC_BMPW 1016
#define IDC_BMPH 1017
#define IDC_DEFAULT 1018
#define IDC_TRIAL 1019
#define IDC_REVERT 1020
#define IDC_HUE 1021
#define IDC_PAT_X 1023
#define IDC_PAT_Y 1024
#define IDC_MODE_R 1025
#define IDC_MODE_G 1026
#define IDC_MODE_B 1027
#define IDC_BASEW 1028
#define IDC_BASEH 1029
#define IDC_BASEX 1030
#define IDC_BASEY 1031
#define IDC_BASERW 1032
#define IDC_BASERH 1033
#define IDC_DG_R 1034
#define IDC_DG_G 1035
#define IDC_DG_B 1036
#define IDC_DTH_R 1037
#define IDC_DTH_G 1038
#define IDC_DTH_B 1039
#define IDC_MAX_R 1040
#define IDC_MAX_G 1041
#define IDC_MAX_B 1042
#define IDC_MIN_R 1043
#define IDC_MIN_G 1044
#define IDC_MIN_B 1045
#define IDC_ACCURACY 1050
#define IDC_PREVIEW 1051

// Variations window controls.
#define IDC_VAR_RANDOM 1100
#define IDC_VAR_KEEP_COLOUR 1101
#define IDC_VAR_KEEP_SHAPE 1102
#define IDC_VAR_CELLS 1103
// The key list's button to the colour dialog's fields, and their page.
#define IDC_FIELD_HELP 1060
#define IDC_FIELD_TEXT 1061

// The moving wallpaper's dialog.
#define IDC_LOOP_KIND 1300
#define IDC_LOOP_FRAMES 1301
#define IDC_LOOP_DELAY 1302
#define IDC_LOOP_FRAMES_SPIN 1303
#define IDC_LOOP_DELAY_SPIN 1304
#define IDC_LOOP_NOTE 1305
