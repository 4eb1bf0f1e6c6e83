#include "pelorin_window.h"

#include <string>

#include "edit_limits.h"
#include "utf16.h"

namespace {

constexpr wchar_t kAppName[] = L"Pelorin";
constexpr wchar_t kSettingsKey[] = L"Software\\Pelorin\\";
constexpr wchar_t kEditFontFace[] = L"Arial";
constexpr int kEditFontTenthsOfPoint = 160;

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

std::wstring SettingsKey(std::string_view section) {
    return kSettingsKey + Utf16FromUtf8(section);
}

// A font of the given size in tenths of a point on the screen, as a point-size font is made.
HFONT CreatePointFont(int nTenthsOfPoint, const wchar_t* face) {
    HDC hdc = GetDC(nullptr);
    const int nDpi = hdc != nullptr ? GetDeviceCaps(hdc, LOGPIXELSY) : 96;
    if (hdc != nullptr) {
        ReleaseDC(nullptr, hdc);
    }
    LOGFONTW font{};
    font.lfHeight = -MulDiv(nTenthsOfPoint, nDpi, 720);
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

INT_PTR CALLBACK AboutProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(hWnd, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void ShowMessageBox(HWND hOwner, std::string_view text) {
    MessageBoxW(hOwner, Utf16FromUtf8(text).c_str(), kAppName, MB_OK | MB_ICONEXCLAMATION);
}

CPelorinWindow::CPelorinWindow()
    : m_dlg(*this), m_hIcon(LoadIconW(Instance(), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

CPelorinWindow::~CPelorinWindow() {
    if (m_hEditFont != nullptr) {
        DeleteObject(m_hEditFont);
    }
}

INT_PTR CPelorinWindow::DoModal() {
    return DialogBoxParamW(Instance(), MAKEINTRESOURCEW(IDD_PELORIN_DIALOG), nullptr,
                           &CPelorinWindow::DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CPelorinWindow::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* window = reinterpret_cast<CPelorinWindow*>(lParam);
        SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        window->m_hWnd = hWnd;
        return window->OnInitDialog();
    }
    auto* window = reinterpret_cast<CPelorinWindow*>(GetWindowLongPtrW(hWnd, DWLP_USER));
    if (window == nullptr) {
        return FALSE;
    }
    const INT_PTR result = window->OnMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        window->m_hWnd = nullptr;
    }
    return result;
}

INT_PTR CPelorinWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_TIMER:
            if (wParam == kContWriteTimer || wParam == kContDesTimer) {
                ++m_nTimerMessages;
                m_dlg.OnTimer();
                return TRUE;
            }
            return FALSE;
        case WM_SYSCOMMAND:
            // Handled commands end here; the others get the window's default processing.
            return m_dlg.OnSysCommand(static_cast<unsigned>(wParam)) ? TRUE : FALSE;
        case WM_PAINT:
            return OnPaint();
        case WM_QUERYDRAGICON:
            return reinterpret_cast<INT_PTR>(m_hIcon);
        default:
            (void)lParam;
            return FALSE;
    }
}

BOOL CPelorinWindow::OnInitDialog() {
    HMENU hSysMenu = GetSystemMenu(m_hWnd, FALSE);
    if (hSysMenu != nullptr) {
        wchar_t aboutText[128] = {};
        if (LoadStringW(Instance(), IDS_ABOUTBOX, aboutText, 128) > 0) {
            AppendMenuW(hSysMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(hSysMenu, MF_STRING, IDM_ABOUTBOX, aboutText);
        }
    }
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    m_hEditFont = CreatePointFont(kEditFontTenthsOfPoint, kEditFontFace);
    for (const int nID : kEditFontBoxes) {
        SendMessageW(Item(nID), WM_SETFONT, reinterpret_cast<WPARAM>(m_hEditFont), TRUE);
    }
    return m_dlg.OnInitDialog() ? TRUE : FALSE;
}

void CPelorinWindow::OnCommand(int nID, int nCode) {
    switch (nID) {
        case IDOK:
            // Enter: store, and close unless the store failed.
            if (m_dlg.UpdateData(true)) {
                EndDialog(m_hWnd, IDOK);
            }
            return;
        case IDCANCEL:
            EndDialog(m_hWnd, IDCANCEL);
            return;
        case IDC_PORT:
            if (nCode == CBN_SELCHANGE) {
                m_dlg.OnSelchangePort();
            }
            return;
        default:
            break;
    }
    if (nCode != BN_CLICKED) {
        return;
    }
    for (const auto& [nButton, handler] : kButtonHandlers) {
        if (nButton == nID) {
            (m_dlg.*handler)();
            return;
        }
    }
}

// Minimised, the window is its icon, drawn centred on the erased background.
BOOL CPelorinWindow::OnPaint() {
    if (!IsIconic(m_hWnd)) {
        return FALSE;
    }
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(m_hWnd, &paint);
    SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0);
    RECT client;
    GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(hdc, x, y, m_hIcon);
    EndPaint(m_hWnd, &paint);
    return TRUE;
}

HWND CPelorinWindow::Item(int nID) const {
    return GetDlgItem(m_hWnd, nID);
}

bool CPelorinWindow::IsTimerActive(int nIDEvent) const {
    return m_abTimerActive.at(static_cast<std::size_t>(nIDEvent - 1));
}

std::string CPelorinWindow::GetItemText(int nID) const {
    HWND hItem = Item(nID);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hItem)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetDlgItemTextW(m_hWnd, nID, text.data(), static_cast<int>(text.size()))));
    return Utf8FromUtf16(text);
}

void CPelorinWindow::SetItemText(int nID, std::string_view text) {
    SetDlgItemTextW(m_hWnd, nID, Utf16FromUtf8(text).c_str());
}

void CPelorinWindow::LimitText(int nID, int nMaxBytes) {
    LimitGbkBytes(Item(nID), nMaxBytes);
}

void CPelorinWindow::GotoDlgCtrl(int nID) {
    SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(nID)), TRUE);
}

bool CPelorinWindow::IsButtonChecked(int nID) const {
    return IsDlgButtonChecked(m_hWnd, nID) == BST_CHECKED;
}

void CPelorinWindow::CheckButton(int nID, bool bChecked) {
    CheckDlgButton(m_hWnd, nID, bChecked ? BST_CHECKED : BST_UNCHECKED);
}

void CPelorinWindow::EnableItem(int nID, bool bEnable) {
    EnableWindow(Item(nID), bEnable ? TRUE : FALSE);
}

void CPelorinWindow::AddListString(int nID, std::string_view text) {
    const std::wstring wide = Utf16FromUtf8(text);
    SendDlgItemMessageW(m_hWnd, nID, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

int CPelorinWindow::GetListSel(int nID) const {
    return static_cast<int>(SendDlgItemMessageW(m_hWnd, nID, CB_GETCURSEL, 0, 0));
}

void CPelorinWindow::SetListSel(int nID, int nIndex) {
    SendDlgItemMessageW(m_hWnd, nID, CB_SETCURSEL, static_cast<WPARAM>(nIndex), 0);
}

void CPelorinWindow::SetTimer(int nIDEvent, int nElapseMs) {
    if (::SetTimer(m_hWnd, static_cast<UINT_PTR>(nIDEvent), static_cast<UINT>(nElapseMs),
                   nullptr) != 0) {
        m_abTimerActive.at(static_cast<std::size_t>(nIDEvent - 1)) = true;
    }
}

void CPelorinWindow::KillTimer(int nIDEvent) {
    ::KillTimer(m_hWnd, static_cast<UINT_PTR>(nIDEvent));
    m_abTimerActive.at(static_cast<std::size_t>(nIDEvent - 1)) = false;
}

void CPelorinWindow::ShowMessage(std::string_view text) {
    ShowMessageBox(m_hWnd, text);
}

bool CPelorinWindow::AskYesNo(std::string_view text) {
    return MessageBoxW(m_hWnd, Utf16FromUtf8(text).c_str(), kAppName,
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void CPelorinWindow::ShowAboutBox() {
    DialogBoxParamW(Instance(), MAKEINTRESOURCEW(IDD_ABOUTBOX), m_hWnd, &AboutProc, 0);
}

void CPelorinWindow::AppendMenuItem(unsigned nID, std::string_view text) {
    HMENU hSysMenu = GetSystemMenu(m_hWnd, FALSE);
    if (hSysMenu == nullptr) {
        return;
    }
    if (nID == 0) {
        AppendMenuW(hSysMenu, MF_SEPARATOR, 0, nullptr);
        return;
    }
    AppendMenuW(hSysMenu, MF_STRING, nID, Utf16FromUtf8(text).c_str());
}

void CPelorinWindow::CheckMenuItem(unsigned nID, bool bChecked) {
    HMENU hSysMenu = GetSystemMenu(m_hWnd, FALSE);
    if (hSysMenu != nullptr) {
        ::CheckMenuItem(hSysMenu, nID, MF_BYCOMMAND | (bChecked ? MF_CHECKED : MF_UNCHECKED));
    }
}

int CPelorinWindow::GetProfileInt(std::string_view section, std::string_view entry,
                                  int nDefault) const {
    DWORD dwValue = 0;
    DWORD dwSize = sizeof(dwValue);
    const LSTATUS status =
        RegGetValueW(HKEY_CURRENT_USER, SettingsKey(section).c_str(), Utf16FromUtf8(entry).c_str(),
                     RRF_RT_REG_DWORD, nullptr, &dwValue, &dwSize);
    return status == ERROR_SUCCESS ? static_cast<int>(dwValue) : nDefault;
}

bool CPelorinWindow::WriteProfileInt(std::string_view section, std::string_view entry, int nValue) {
    HKEY hKey = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKey(section).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &hKey, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const auto dwValue = static_cast<DWORD>(nValue);
    const LSTATUS status = RegSetValueExW(hKey, Utf16FromUtf8(entry).c_str(), 0, REG_DWORD,
                                          reinterpret_cast<const BYTE*>(&dwValue), sizeof(dwValue));
    RegCloseKey(hKey);
    return status == ERROR_SUCCESS;
}
