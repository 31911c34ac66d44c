// Resource identifiers of the widget kit: the About box and the logo. The library's dialogs
// number from 300, the test program's forms from 1000.
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
