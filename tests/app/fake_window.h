// A window without a toolkit for the handlers: boxes, check boxes, enabled states, the port list,
// the timers, the window menu and the settings are plain values, and every message box and
// question is recorded.
#ifndef PELORIN_FAKE_WINDOW_H
#define PELORIN_FAKE_WINDOW_H

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "pelorin_dlg.h"
#include "window_services.h"

class CFakeWindow : public CWindowServices {
public:
    // Runs while a message box or a question is open, with its text: what the box's modal loop
    // delivers.
    std::function<void(const std::string&)> m_onMessageOpen;
    // The operator's answer to every question.
    bool m_bAnswerYes = true;

    // The handlers that timer messages go to.
    CPelorinDlg* m_pDlg = nullptr;

    std::map<int, std::string> m_texts;
    std::map<int, int> m_limits;
    std::map<int, bool> m_checked;
    std::set<int> m_disabled;
    std::vector<std::string> m_list;
    int m_nListSel = -1;
    std::map<int, int> m_timers;  // running timers and their periods
    std::vector<std::string> m_messages;
    int m_nOpenMessages = 0;
    int m_nFocus = 0;
    int m_nAboutBoxes = 0;
    std::vector<std::string> m_questions;
    // The window menu's items in order (0: a separator), and the checked ones.
    std::vector<std::pair<unsigned, std::string>> m_menu;
    std::set<unsigned> m_menuChecked;
    // Settings as "section/entry"; m_bSettingsWritable false makes every store fail.
    std::map<std::string, int> m_profile;
    bool m_bSettingsWritable = true;

    bool IsEnabled(int nID) const { return !m_disabled.contains(nID); }
    bool IsTimerActive(int nIDEvent) const { return m_timers.contains(nIDEvent); }
    bool AnyTimerActive() const { return !m_timers.empty(); }
    std::string ListText() const {
        return m_nListSel >= 0 && m_nListSel < static_cast<int>(m_list.size())
                   ? m_list[static_cast<std::size_t>(m_nListSel)]
                   : std::string();
    }
    // One timer message, as the window delivers it while a timer runs.
    void DeliverTimerMessage() {
        if (AnyTimerActive() && m_pDlg != nullptr) {
            m_pDlg->OnTimer();
        }
    }

    std::string GetItemText(int nID) const override {
        const auto it = m_texts.find(nID);
        return it != m_texts.end() ? it->second : std::string();
    }
    void SetItemText(int nID, std::string_view text) override { m_texts[nID] = text; }
    void LimitText(int nID, int nMaxBytes) override { m_limits[nID] = nMaxBytes; }
    void GotoDlgCtrl(int nID) override { m_nFocus = nID; }
    bool IsButtonChecked(int nID) const override {
        const auto it = m_checked.find(nID);
        return it != m_checked.end() && it->second;
    }
    void CheckButton(int nID, bool bChecked) override { m_checked[nID] = bChecked; }
    void EnableItem(int nID, bool bEnable) override {
        if (bEnable) {
            m_disabled.erase(nID);
        } else {
            m_disabled.insert(nID);
        }
    }
    void AddListString(int, std::string_view text) override { m_list.emplace_back(text); }
    int GetListSel(int) const override { return m_nListSel; }
    void SetListSel(int, int nIndex) override { m_nListSel = nIndex; }
    void SetTimer(int nIDEvent, int nElapseMs) override { m_timers[nIDEvent] = nElapseMs; }
    void KillTimer(int nIDEvent) override { m_timers.erase(nIDEvent); }
    void ShowMessage(std::string_view text) override {
        m_messages.emplace_back(text);
        RunModalLoop(text);
    }
    bool AskYesNo(std::string_view text) override {
        m_questions.emplace_back(text);
        RunModalLoop(text);
        return m_bAnswerYes;
    }
    void ShowAboutBox() override { ++m_nAboutBoxes; }
    void AppendMenuItem(unsigned nID, std::string_view text) override {
        m_menu.emplace_back(nID, text);
    }
    void CheckMenuItem(unsigned nID, bool bChecked) override {
        if (bChecked) {
            m_menuChecked.insert(nID);
        } else {
            m_menuChecked.erase(nID);
        }
    }
    int GetProfileInt(std::string_view section, std::string_view entry,
                      int nDefault) const override {
        const auto it = m_profile.find(ProfileKey(section, entry));
        return it != m_profile.end() ? it->second : nDefault;
    }
    bool WriteProfileInt(std::string_view section, std::string_view entry, int nValue) override {
        if (m_bSettingsWritable) {
            m_profile[ProfileKey(section, entry)] = nValue;
        }
        return m_bSettingsWritable;
    }
    static std::string ProfileKey(std::string_view section, std::string_view entry) {
        return std::string(section) + "/" + std::string(entry);
    }

private:
    // What happens while the box with `text` is open.
    void RunModalLoop(std::string_view text) {
        ++m_nOpenMessages;
        if (m_onMessageOpen) {
            m_onMessageOpen(std::string(text));
        }
        --m_nOpenMessages;
    }
};

#endif
