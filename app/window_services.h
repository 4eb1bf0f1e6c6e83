// What the handlers of the main window ask of the window toolkit: the services a dialog framework
// gives a dialog, with controls named by their template ids. Texts are UTF-8.
#ifndef PELORIN_WINDOW_SERVICES_H
#define PELORIN_WINDOW_SERVICES_H

#include <string>
#include <string_view>

class CWindowServices {
public:
    virtual ~CWindowServices() = default;

    // Text of a control, and replacing it.
    virtual std::string GetItemText(int nID) const = 0;
    virtual void SetItemText(int nID, std::string_view text) = 0;
    // Typing into edit box nID stops where its text would exceed nMaxBytes bytes in GBK; a text
    // set by SetItemText is shown whole.
    virtual void LimitText(int nID, int nMaxBytes) = 0;
    // Focus to control nID with its text selected, after a check of that control failed.
    virtual void GotoDlgCtrl(int nID) = 0;

    virtual bool IsButtonChecked(int nID) const = 0;
    virtual void CheckButton(int nID, bool bChecked) = 0;
    virtual void EnableItem(int nID, bool bEnable) = 0;

    // A drop-down list: entries appended in order, the current entry by index (-1: none).
    virtual void AddListString(int nID, std::string_view text) = 0;
    virtual int GetListSel(int nID) const = 0;
    virtual void SetListSel(int nID, int nIndex) = 0;

    // Window timers; every message of either goes to CPelorinDlg::OnTimer. Starting a running
    // timer restarts it.
    virtual void SetTimer(int nIDEvent, int nElapseMs) = 0;
    virtual void KillTimer(int nIDEvent) = 0;

    // A modal message box with an OK button only and the application's name as caption; returns
    // when the operator closed it. Its loop still delivers timer messages.
    virtual void ShowMessage(std::string_view text) = 0;
    // The same box with Yes and No instead of OK; true when the operator chose Yes.
    virtual bool AskYesNo(std::string_view text) = 0;
    // The About box, modal.
    virtual void ShowAboutBox() = 0;

    // The window menu: an item appended at its end (nID 0: a separator), and an item's check mark.
    // Choosing an item goes to CPelorinDlg::OnSysCommand.
    virtual void AppendMenuItem(unsigned nID, std::string_view text) = 0;
    virtual void CheckMenuItem(unsigned nID, bool bChecked) = 0;

    // Integer settings kept between runs for the user, by section and entry; false when a value
    // could not be stored.
    virtual int GetProfileInt(std::string_view section, std::string_view entry,
                              int nDefault) const = 0;
    virtual bool WriteProfileInt(std::string_view section, std::string_view entry, int nValue) = 0;
};

#endif
