// Resource and control ids, shared by the resource script and the code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MAIN_DIALOG 102
#define IDD_FINDINGS 103
#define IDR_MAINFRAME 128

#define IDC_CAMERA_LIST 1000
#define IDC_OPEN 1001
#define IDC_CONVERSION 1002
#define IDC_LOADED_COUNT 1003
#define IDC_WRITTEN_COUNT 1004
#define IDC_PROGRESS 1005
#define IDC_FINDINGS 1006
#define IDC_FINDINGS_LIST 1007
#define IDC_MAP 1008
#define IDC_FINDINGS_TABLE 1009
#define IDC_GOTO_ROW 1010
#define IDC_SAVE_FINDINGS 1011

#define IDM_ABOUTBOX 0x0010
#define IDM_SHOWMAP 0x0020

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
