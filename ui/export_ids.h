// Resource and control ids of the export: its button on the main dialog and
// its own dialog, shared by the resource script and the code.
#pragma once

#define IDD_EXPORT 140

#define IDC_EXPORT 1040
#define IDC_EXP_FORMAT 1041
#define IDC_EXP_FOLDER 1042
#define IDC_EXP_SPLIT 1043
#define IDC_EXP_TEMPLATE 1044
#define IDC_EXP_MAX 1045
#define IDC_EXP_ICONS 1046
#define IDC_EXP_PROBLEM 1047
