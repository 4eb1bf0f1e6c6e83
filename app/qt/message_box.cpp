#include "message_box.h"

void ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, QString::fromUtf8(kAppName), text, QMessageBox::Ok, parent);
    box.exec();
}
