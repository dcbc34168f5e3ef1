#pragma once
// Resource identifiers of orvane.exe, shared by the resource script and the code.
#define IDI_ORVANE_APP 101
#define IDD_ORVANE_ABOUT 103
#define IDI_ORVANE_SMALL 107
#define IDM_ORVANE_CANVAS 131
#define IDC_ORVANE_ABOUT_TEXT 1000
#define IDM_ORVANE_REFRESH 32000
#define IDM_ORVANE_SEND 32001
