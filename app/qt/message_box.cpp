#include "message_box.h"

void ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, QString::fromUtf8(kAppName), text, QMessageBox::Ok, parent);
    box.exec();
}

bool AskYesNo(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(kAppName), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
