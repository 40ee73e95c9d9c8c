// Every resource and command id of the program. Included by the resource script and the code.
#pragma once

// Strings
#define IDS_APP_TITLE        103   // "Brisklet"
#define IDS_WINDOW_CLASS     109   // "BRISKLET"

// Menu and accelerators
#define IDR_MAINMENU         109
#define IDR_ACCELERATORS     109

// Icons and cursor
#define IDI_TRAY_NORMAL      120
#define IDI_TRAY_PRESSED     121
#define IDI_APP              130
#define IDI_WEB              131   // a button's icon until its site's own has come
#define IDC_HAND_CURSOR      147

// Dialog templates
#define IDD_ABOUT            103
#define IDD_SETUP            140
#define IDD_EDIT_BUTTON      142
#define IDD_ADD_BUTTON       143
#define IDD_OPTIONS          149
#define IDD_IMPORT_BOOKMARKS 153

// Bar commands
#define IDM_ABOUT            104
#define IDM_EXIT             105
#define IDM_ADD_TRAY_ICON    135
#define IDM_SETUP            136
#define IDM_HIDE             144
#define IDM_OPTIONS          148
#define IDM_HELP             150
#define IDM_IMPORT_BOOKMARKS 151   // "&Import Bookmarks..."; also posted after a drop of bookmarks
#define IDM_EXPORT_BOOKMARKS 152   // "Ex&port Bookmarks..."
#define IDM_DESTROY_BUTTONS  32772
#define IDM_STAY_ON_TOP      32774
#define IDC_BUTTON_FIRST     2000  // button i sends 2000 + i
#define IDC_BUTTON_LAST      2099
#define IDC_FILTER_FIELD     2900  // the typed text at the top of a filtered bar
#define IDC_OTHER_FIRST      3000  // match k of the other Button files sends 3000 + k
#define IDC_OTHER_LAST       3099

// Setup dialog (140)
#define IDC_SETUP_ADD        1003
#define IDC_SETUP_FAVOURITE  1006
#define IDC_SETUP_LIST       1007
#define IDC_SETUP_DELETE     1010
#define IDC_SETUP_EDIT       1011
#define IDC_SETUP_TEST       1012
#define IDC_SETUP_SAVE_AS    1028
#define IDC_SETUP_SORT_DOWN  1029   // "Sort buttons Bottom-up..."
#define IDC_SETUP_SORT_UP    1030   // "Sort buttons Top-Down.."
#define IDC_SETUP_SAME_FONT  1031
#define IDC_SETUP_GLOBAL_FONT 1032
#define IDC_SETUP_LOAD       1033
#define IDC_SETUP_FILE_PATH  1034
#define IDC_SETUP_WIDE       1038
#define IDC_SETUP_MOVE_UP    1040   // "Move &up"
#define IDC_SETUP_MOVE_DOWN  1041   // "Move do&wn"

// Edit (142) and Add (143) dialogs
#define IDC_EDITOR_FONT      1003
#define IDC_EDIT_NAME        1013
#define IDC_ADD_URL          1016
#define IDC_ADD_NAME         1017
#define IDC_EDIT_URL         1018
#define IDC_EDITOR_NEW_WINDOW 1037

// Options dialog (149)
#define IDC_OPTIONS_AUTORUN  1024
#define IDC_OPTIONS_POPUP    1026
#define IDC_OPTIONS_HOTKEY   1042   // hotkey control: "Show the Button bar with:"
#define IDC_OPTIONS_HOTKEY_IN_USE 1043  // says when another program holds the hotkey
#define IDC_OPTIONS_SITE_ICONS 1044  // "Show site &icons"

// Import Bookmarks dialog (153)
#define IDC_IMPORT_LIST      1050   // list view with a check box per bookmark
#define IDC_IMPORT_ALL       1051   // "Select &All"
#define IDC_IMPORT_NONE      1052   // "Select &None"
#define IDC_IMPORT_FOLDER    1053   // drop-down list of folders: choosing one checks its bookmarks
#define IDC_IMPORT_CHOSEN    1054   // "Chosen: n of m. Free places on the bar: k."
#define IDC_IMPORT_LEFT_OUT  1055   // what was left out, by reason

// About box (103)
#define IDC_ABOUT_LINK       1023
#define IDC_ABOUT_ICON       130

// Tray
#define IDT_TRAY_ICON        108
#define IDT_COUNTDOWN        1
