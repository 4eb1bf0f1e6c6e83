#include "data_exchange.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QValidator>
#include <limits>

#include "message_box.h"

namespace {

bool IsBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// Limits what the operator types or pastes, but not what the window itself shows: a refresh of a
// longer text keeps it whole, and the next store reports it.
class CMaxCharsValidator : public QValidator {
public:
    CMaxCharsValidator(int nMaxChars, QObject* parent)
        : QValidator(parent), m_nMaxChars(nMaxChars) {}

    State validate(QString& input, int&) const override {
        return input.size() > m_nMaxChars ? Invalid : Acceptable;
    }

private:
    int m_nMaxChars;
};

// Each box has one limit for the life of the window.
void LimitText(QLineEdit* edit, int nMaxChars) {
    if (edit->validator() == nullptr) {
        edit->setValidator(new CMaxCharsValidator(nMaxChars, edit));
    }
}

}  // namespace

bool ParseDialogInteger(const QString& text, std::int32_t& value) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && IsBlank(text[i])) {
        ++i;
    }
    const QChar first = i < n ? text[i] : QChar();
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::int64_t magnitude = 0;
    bool overflow = false;
    const qsizetype digitsStart = i;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') {
        magnitude = magnitude * 10 + (text[i].unicode() - u'0');
        if (magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) {
            overflow = true;
            magnitude = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
        }
        ++i;
    }
    const std::int64_t number = negative ? -magnitude : magnitude;
    if (i == digitsStart || (number == 0 && first != u'0')) {
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

void CDataExchange::Text(QLineEdit* edit, QString& value, int nMaxChars) {
    if (m_bFailed) {
        return;
    }
    if (!m_bSaveAndValidate) {
        edit->setText(value);
        LimitText(edit, nMaxChars);
        return;
    }
    value = edit->text();
    if (value.size() > nMaxChars) {
        Fail(edit, QString::fromUtf8(kPromptMaxChars).arg(nMaxChars));
        return;
    }
    LimitText(edit, nMaxChars);
}

void CDataExchange::Text(QLineEdit* edit, std::int32_t& value) {
    if (m_bFailed) {
        return;
    }
    if (!m_bSaveAndValidate) {
        edit->setText(QString::number(value));
        return;
    }
    if (!ParseDialogInteger(edit->text(), value)) {
        Fail(edit, QString::fromUtf8(kPromptInteger));
    }
}

void CDataExchange::Fail(QLineEdit* edit, const QString& prompt) {
    m_bFailed = true;
    ShowMessage(m_pDialog, prompt, QMessageBox::Warning);
    edit->setFocus();
    edit->selectAll();
}
