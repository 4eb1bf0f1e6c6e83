// Identifiers of the window's templates, controls, string, icon and commands: plain #defines, so
// that both the resource script and the C++ code read them.
#ifndef PELORIN_RESOURCE_H
#define PELORIN_RESOURCE_H

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_PELORIN_DIALOG 102
#define IDR_MAINFRAME 128

// Window-menu commands; the low four bits are the window system's.
#define IDM_ABOUTBOX 0x0010
#define IDM_VERIFY_WRITE 0x0020
#define IDM_WRITE_RECORD 0x0030

#define IDC_CONNECT_GROUP 1011
#define IDC_PORT 1016
#define IDC_PLAIN_GROUP 1019
#define IDC_FDX_GROUP 1020
#define IDC_HIDDEN_BUTTON1 1025
#define IDC_HIDDEN_BUTTON2 1026
#define IDC_PORT_LABEL 1031
#define IDC_ANIMAL 1095
#define IDC_FDX_ANIMAL 1096
#define IDC_READ 1101
#define IDC_WRITE 1102
#define IDC_NATIONAL_LABEL 1103
#define IDC_COUNTRY_LABEL 1104
#define IDC_FDX_NATIONAL_LABEL 1105
#define IDC_FDX_COUNTRY_LABEL 1106
#define IDC_FDX_READ 1107
#define IDC_FDX_WRITE 1108
#define IDC_HIDDEN_EDIT1 1128
#define IDC_ADD 1129
#define IDC_HIDDEN_EDIT2 1130
#define IDC_COUNTRY 1131
#define IDC_FDX_ADD 1132
#define IDC_FDX_COUNTRY 1133
#define IDC_NATIONAL 1139
#define IDC_SEARCH 1140
#define IDC_OPEN 1141
#define IDC_CLOSE 1142
#define IDC_10D 1143
#define IDC_10H 1144
#define IDC_FDX_NATIONAL 1145
#define IDC_CONT_WRITE 1146
#define IDC_STOP_WRITE 1147
#define IDC_KEY 1148
#define IDC_LOAD_KEY 1149
#define IDC_CONT_DES 1150
#define IDC_STOP_DES 1151
#define IDC_DES 1152

#endif
