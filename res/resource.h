// Resource identifiers shared by the resource script and the program.
#pragma once

#define IDD_HELP 103
#define IDI_MAIN 107
#define IDI_SMALL 108
#define IDD_MAIN 129

#define IDC_INF_COMBO 1000
#define IDC_INSTALL 1001
#define IDC_UNINSTALL 1002
#define IDC_SUMMARY 1003
#define IDC_DELETE_FILES 1004
// The platform headers name a cursor IDC_HELP; the program never uses that cursor.
#ifdef IDC_HELP
#undef IDC_HELP
#endif
#define IDC_HELP 1009
#define IDC_HELP_TEXT 1012
