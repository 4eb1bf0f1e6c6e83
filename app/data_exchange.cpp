#include "data_exchange.h"

#include <limits>

#include "gbk_text.h"
#include "window_services.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::string MaxCharsPrompt(int nMaxBytes) {
    return "请输入不超过 " + std::to_string(nMaxBytes) + " 个字符。";
}

bool ParseDialogInteger(std::string_view text, std::int32_t& value) {
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && IsBlank(text[i])) {
        ++i;
    }
    const char first = i < n ? text[i] : '\0';
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t magnitude = 0;
    bool overflow = false;
    const std::size_t digitsStart = i;
    while (i < n && IsDigit(text[i])) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLimit) {
            overflow = true;
            magnitude = kLimit;
        }
        ++i;
    }
    const std::int64_t number = negative ? -magnitude : magnitude;
    if (i == digitsStart || (number == 0 && first != '0')) {
        return false;
    }
    while (i < n && IsBlank(text[i])) {
        ++i;
    }
    if (i != n || overflow || number > std::numeric_limits<std::int32_t>::max() ||
        number < std::numeric_limits<std::int32_t>::min()) {
        return false;
    }
    value = static_cast<std::int32_t>(number);
    return true;
}

void CDataExchange::Text(int nID, std::string& value, int nMaxBytes) {
    if (m_bFailed) {
        return;
    }
    if (!m_bSaveAndValidate) {
        m_window.SetItemText(nID, value);
        m_window.LimitText(nID, nMaxBytes);
        return;
    }
    value = m_window.GetItemText(nID);
    if (GbkFromUtf8(value).size() > static_cast<std::size_t>(nMaxBytes)) {
        Fail(nID, MaxCharsPrompt(nMaxBytes));
    }
}

void CDataExchange::Text(int nID, std::int32_t& value) {
    if (m_bFailed) {
        return;
    }
    if (!m_bSaveAndValidate) {
        m_window.SetItemText(nID, std::to_string(value));
        return;
    }
    if (!ParseDialogInteger(m_window.GetItemText(nID), value)) {
        Fail(nID, kPromptInteger);
    }
}

void CDataExchange::Fail(int nID, std::string_view prompt) {
    m_bFailed = true;
    m_window.ShowMessage(prompt);
    m_window.GotoDlgCtrl(nID);
}
