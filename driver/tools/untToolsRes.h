// Resource identifiers of the library's dialogs.
#pragma once

#define IDB_LOGO 100 // "LOGOBMP" is named, this is kept for tools that want a number

#define IDD_ABOUT 200
#define IDC_ABOUT_NAME 201
#define IDC_ABOUT_VERSIONS 202
#define IDC_ABOUT_FIRM 203
#define IDC_ABOUT_ADDRESS 204
#define IDC_ABOUT_WEBSITE 205
#define IDC_ABOUT_URL 206
#define IDC_ABOUT_SUPPORT 207
#define IDC_ABOUT_MAIL 208
#define IDC_ABOUT_FRAME 209

#define IDD_LOG 300
#define IDC_LOG_ON 301
#define IDC_LOG_FILE_LABEL 302
#define IDC_LOG_FILE 303
#define IDC_LOG_BROWSE 304
#define IDC_LOG_COMMANDS 305
#define IDC_LOG_METHODS 306

#define IDD_PROGRESS 400
#define IDC_PROGRESS_TEXT 401
#define IDC_PROGRESS_BAR 402

#define IDD_PROG 500
#define IDC_PROG_FILE_LABEL 501
#define IDC_PROG_FILE 502
#define IDC_PROG_BROWSE 503
#define IDC_PROG_BAR 504
#define IDC_PROG_START 505
#define IDC_PROG_CANCEL 506
#define IDC_PROG_CLOSE 507

#define IDD_FIND 600
#define IDC_FIND_LIST 601
#define IDC_FIND_START 602
#define IDC_FIND_STOP 603
#define IDC_FIND_CLOSE 604
#define IDC_FIND_CHECK_ALL 605
#define IDC_FIND_CLEAR_ALL 606
#define IDC_FIND_ANIMATION 607

#define IDD_TABLES 700
#define IDC_TABLES_LIST 701
#define IDC_TABLES_INIT 702
#define IDC_TABLES_SAVE 703
#define IDC_TABLES_LOAD 704
// "Открыть..." is IDOK (the default button: Enter in the list), "Закрыть" IDCANCEL (Esc).

#define IDD_SELTBL 720
#define IDC_SELTBL_LIST 721
#define IDC_SELTBL_ALL 722
#define IDC_SELTBL_NONE 723
#define IDI_SELTBL_ALL 724
#define IDI_SELTBL_NONE 725

// Both table editors; "Закрыть" is IDCANCEL.
#define IDD_TABLE 740
#define IDD_VTABLE 760
#define IDC_TABLE_GRID 741
#define IDC_TABLE_STATUS 742
#define IDC_TABLE_REFRESH 743
#define IDM_TABLE_WRITE_FIELD 744
#define IDM_TABLE_READ_FIELD 745
