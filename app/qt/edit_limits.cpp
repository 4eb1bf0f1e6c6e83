#include "edit_limits.h"

#include <QLineEdit>
#include <QValidator>

#include "gbk_text.h"

namespace {

class CGbkBytesValidator : public QValidator {
public:
    CGbkBytesValidator(int nMaxBytes, QObject* parent)
        : QValidator(parent), m_nMaxBytes(nMaxBytes) {}

    State validate(QString& input, int&) const override {
        const std::size_t bytes = GbkFromUtf8(input.toStdString()).size();
        return bytes > static_cast<std::size_t>(m_nMaxBytes) ? Invalid : Acceptable;
    }

private:
    int m_nMaxBytes;
};

}  // namespace

void LimitGbkBytes(QLineEdit* edit, int nMaxBytes) {
    if (edit->validator() == nullptr) {
        edit->setValidator(new CGbkBytesValidator(nMaxBytes, edit));
    }
}
