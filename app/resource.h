// Identifiers of the window's templates, controls, strings, icon and commands.
#ifndef PELORIN_RESOURCE_H
#define PELORIN_RESOURCE_H

inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDD_PELORIN_DIALOG = 102;
inline constexpr int IDR_MAINFRAME = 128;

// Window-menu commands; the low four bits are the window system's.
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;
inline constexpr unsigned IDM_VERIFY_WRITE = 0x0020;
inline constexpr unsigned IDM_WRITE_RECORD = 0x0030;

inline constexpr int IDC_PORT = 1016;
inline constexpr int IDC_ANIMAL = 1095;
inline constexpr int IDC_FDX_ANIMAL = 1096;
inline constexpr int IDC_READ = 1101;
inline constexpr int IDC_WRITE = 1102;
inline constexpr int IDC_FDX_READ = 1107;
inline constexpr int IDC_FDX_WRITE = 1108;
inline constexpr int IDC_ADD = 1129;
inline constexpr int IDC_COUNTRY = 1131;
inline constexpr int IDC_FDX_ADD = 1132;
inline constexpr int IDC_FDX_COUNTRY = 1133;
inline constexpr int IDC_NATIONAL = 1139;
inline constexpr int IDC_SEARCH = 1140;
inline constexpr int IDC_OPEN = 1141;
inline constexpr int IDC_CLOSE = 1142;
inline constexpr int IDC_10D = 1143;
inline constexpr int IDC_10H = 1144;
inline constexpr int IDC_FDX_NATIONAL = 1145;
inline constexpr int IDC_CONT_WRITE = 1146;
inline constexpr int IDC_STOP_WRITE = 1147;
inline constexpr int IDC_KEY = 1148;
inline constexpr int IDC_LOAD_KEY = 1149;
inline constexpr int IDC_CONT_DES = 1150;
inline constexpr int IDC_STOP_DES = 1151;
inline constexpr int IDC_DES = 1152;

#endif
