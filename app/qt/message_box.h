// Messages to the operator: an OK button only, the application's name as caption.
#ifndef PELORIN_MESSAGE_BOX_H
#define PELORIN_MESSAGE_BOX_H

#include <QMessageBox>
#include <QString>

class QWidget;

inline constexpr char kAppName[] = "Pelorin";

// Waits until the operator closes the box; its modal loop keeps timers running.
void ShowMessage(QWidget* parent, const QString& text,
                 QMessageBox::Icon icon = QMessageBox::NoIcon);
// The same with Yes and No; true for Yes. Closing the box answers No.
bool AskYesNo(QWidget* parent, const QString& text);

#endif
