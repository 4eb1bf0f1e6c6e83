// The main window on Windows: dialog template 102 run by the dialog manager, wired to the
// handlers of CPelorinDlg, and the window services those handlers call. Settings live in the
// registry under HKEY_CURRENT_USER\Software\Pelorin.
#ifndef PELORIN_WIN32_PELORIN_WINDOW_H
#define PELORIN_WIN32_PELORIN_WINDOW_H

#include <windows.h>

#include <array>
#include <atomic>

#include "pelorin_dlg.h"

// A modal box with OK only and the application's name as caption.
void ShowMessageBox(HWND hOwner, std::string_view text);

class CPelorinWindow : public CWindowServices {
public:
    CPelorinWindow();
    ~CPelorinWindow() override;
    CPelorinWindow(const CPelorinWindow&) = delete;
    CPelorinWindow& operator=(const CPelorinWindow&) = delete;

    // Runs the window to its end; IDOK after Enter, IDCANCEL after Esc or the close box, -1 when
    // the template could not be loaded.
    INT_PTR DoModal();

    CPelorinDlg& Dlg() { return m_dlg; }
    // For tests: the window while it runs, and the timer messages it has taken.
    HWND Handle() const { return m_hWnd; }
    int TimerMessages() const { return m_nTimerMessages; }
    bool IsTimerActive(int nIDEvent) const;

    std::string GetItemText(int nID) const override;
    void SetItemText(int nID, std::string_view text) override;
    void LimitText(int nID, int nMaxBytes) override;
    void GotoDlgCtrl(int nID) override;
    bool IsButtonChecked(int nID) const override;
    void CheckButton(int nID, bool bChecked) override;
    void EnableItem(int nID, bool bEnable) override;
    void AddListString(int nID, std::string_view text) override;
    int GetListSel(int nID) const override;
    void SetListSel(int nID, int nIndex) override;
    void SetTimer(int nIDEvent, int nElapseMs) override;
    void KillTimer(int nIDEvent) override;
    void ShowMessage(std::string_view text) override;
    bool AskYesNo(std::string_view text) override;
    void ShowAboutBox() override;
    void AppendMenuItem(unsigned nID, std::string_view text) override;
    void CheckMenuItem(unsigned nID, bool bChecked) override;
    int GetProfileInt(std::string_view section, std::string_view entry,
                      int nDefault) const override;
    bool WriteProfileInt(std::string_view section, std::string_view entry, int nValue) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL OnInitDialog();
    void OnCommand(int nID, int nCode);
    BOOL OnPaint();
    HWND Item(int nID) const;

    HWND m_hWnd = nullptr;
    CPelorinDlg m_dlg;
    HICON m_hIcon;
    HFONT m_hEditFont = nullptr;
    std::array<bool, 2> m_abTimerActive{};
    std::atomic<int> m_nTimerMessages = 0;
};

#endif
