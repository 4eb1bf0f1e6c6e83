#include "pelorin_app.h"

#include "pelorin_window.h"

void ShowAppMessage(std::string_view message) {
    ShowMessageBox(nullptr, message);
}

void RunMainWindow() {
    CPelorinWindow dlg;
    dlg.DoModal();
}
