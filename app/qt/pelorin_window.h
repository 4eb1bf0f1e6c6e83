// The main window in Qt: the dialog built from pelorin_dlg.ui, wired to the handlers of
// CPelorinDlg, and the window services those handlers call. Settings live in the user's
// QSettings of organisation and application "Pelorin" (~/.config/Pelorin/Pelorin.conf).
#ifndef PELORIN_PELORIN_WINDOW_H
#define PELORIN_PELORIN_WINDOW_H

#include <QBasicTimer>
#include <QDialog>
#include <QFont>
#include <QIcon>
#include <array>
#include <map>
#include <memory>

#include "pelorin_dlg.h"

class QContextMenuEvent;
class QKeyEvent;
class QMenu;
class QTimerEvent;

namespace Ui {
class CPelorinDlg;
}

inline constexpr unsigned kScMinimize = 0xF020;
inline constexpr unsigned kScClose = 0xF060;

class CPelorinWindow : public QDialog, public CWindowServices {
    Q_OBJECT

public:
    explicit CPelorinWindow(QWidget* parent = nullptr);
    ~CPelorinWindow() override;

    // The handlers and their members.
    CPelorinDlg& Dlg() { return m_dlg; }
    // The controls, for tests.
    Ui::CPelorinDlg& Controls() { return *m_ui; }
    // The window menu (right click on the window's background); null before initialisation.
    QMenu* SystemMenu() const { return m_pSystemMenu; }
    bool IsTimerActive(int nIDEvent) const;

    // The window menu's commands (About, minimise, close).
    void OnSysCommand(unsigned nID);

    // Enter: store, then close unless the store failed.
    void accept() override;
    void setVisible(bool visible) override;

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

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void OnInitDialog();
    QWidget* Item(int nID) const;
    template <typename Widget>
    Widget* ItemAs(int nID) const;

    std::unique_ptr<Ui::CPelorinDlg> m_ui;
    std::map<int, QWidget*> m_items;
    CPelorinDlg m_dlg;
    QIcon m_hIcon;
    QFont m_editFont;
    QMenu* m_pSystemMenu = nullptr;
    bool m_bInitialized = false;
    std::array<QBasicTimer, 2> m_timers;
};

#endif
