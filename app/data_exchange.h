// Exchange between the window's boxes and its members, with the checks a store makes.
#ifndef PELORIN_DATA_EXCHANGE_H
#define PELORIN_DATA_EXCHANGE_H

#include <cstdint>
#include <string>
#include <string_view>

class CWindowServices;

inline constexpr char kPromptInteger[] = "请输入一个整数。";

// The prompt for a text longer than `nMaxBytes` bytes.
std::string MaxCharsPrompt(int nMaxBytes);

// A box's integer: blanks, an optional sign, digits, blanks. An empty text, a text whose number
// reads as 0 without starting with '0', and a number outside 32 bits are refused.
bool ParseDialogInteger(std::string_view text, std::int32_t& value);

class CDataExchange {
public:
    CDataExchange(CWindowServices& window, bool bSaveAndValidate)
        : m_window(window), m_bSaveAndValidate(bSaveAndValidate) {}
    virtual ~CDataExchange() = default;

    // A text whose GBK form holds at most nMaxBytes bytes, the identity code's unit: a store takes
    // the text and then checks it; a refresh shows the member and limits typing.
    void Text(int nID, std::string& value, int nMaxBytes);
    // An integer: a store that cannot read the box leaves the member as it was.
    void Text(int nID, std::int32_t& value);

    // After a failed check every later exchange is skipped.
    bool Failed() const { return m_bFailed; }

private:
    void Fail(int nID, std::string_view prompt);

    CWindowServices& m_window;
    bool m_bSaveAndValidate;
    bool m_bFailed = false;
};

#endif
