// Identifiers shared by the resource script and the code.
#pragma once

#define IDI_BROKEN 101
#define IDI_CONNECTED 102
#define IDD_STATUS 103
#define IDR_USER_GUIDE 104  // the user guide page, HTML
#define IDC_STATUS_TEXT 1000
