// Resource ids. All resources are stored under language 2052 (Chinese, PRC).
#pragma once

#define IDS_APP_TITLE 103   // window title "qmx"
#define IDC_QMX 109         // window class "QMX", accelerators, menu
#define IDD_ABOUTBOX 103
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDI_QMX 107
#define IDI_SMALL 108
#define IDB_LOGO 129
#define IDB_CLOSE 130
#define IDB_BLUE_BUTTON 134
#define IDB_GREY_BUTTON 135
#define IDB_NEVER_ASK 136
#define IDC_ABOUT_ICON 1001
#define IDC_ABOUT_TEXT 1002
#define IDC_ABOUT_RIGHTS 1003
