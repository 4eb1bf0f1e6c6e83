// Exchange between a dialog's boxes and its members, with the checks a store makes.
#ifndef PELORIN_DATA_EXCHANGE_H
#define PELORIN_DATA_EXCHANGE_H

#include <QString>
#include <cstdint>

class QLineEdit;
class QWidget;

inline constexpr char kPromptInteger[] = "请输入一个整数。";
// %1 is the character limit.
inline constexpr char kPromptMaxChars[] = "请输入不超过 %1 个字符。";

// A box's integer: blanks, an optional sign, digits, blanks. An empty text, a text whose number
// reads as 0 without starting with '0', and a number outside 32 bits are refused.
bool ParseDialogInteger(const QString& text, std::int32_t& value);

class CDataExchange {
public:
    CDataExchange(QWidget* dialog, bool bSaveAndValidate)
        : m_pDialog(dialog), m_bSaveAndValidate(bSaveAndValidate) {}

    // A text with a character limit: a store takes the text and then checks its length; a
    // refresh shows the member and limits typing to nMaxChars.
    void Text(QLineEdit* edit, QString& value, int nMaxChars);
    // An integer: a store that cannot read the box leaves the member as it was.
    void Text(QLineEdit* edit, std::int32_t& value);

    // After a failed check every later exchange is skipped.
    bool Failed() const { return m_bFailed; }
    bool SaveAndValidate() const { return m_bSaveAndValidate; }

private:
    void Fail(QLineEdit* edit, const QString& prompt);

    QWidget* m_pDialog;
    bool m_bSaveAndValidate;
    bool m_bFailed = false;
};

#endif
