#include "pelorin_app.h"

#include <QString>

#include "message_box.h"
#include "pelorin_window.h"

void ShowAppMessage(std::string_view message) {
    ShowMessage(nullptr, QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
}

void RunMainWindow() {
    CPelorinWindow dlg;
    dlg.exec();
}
