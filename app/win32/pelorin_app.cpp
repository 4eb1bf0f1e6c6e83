#include "pelorin_app.h"

#include "pelorin_window.h"

CPelorinApp::CPelorinApp(std::string_view libraryFileName)
    : m_strLibraryFileName(libraryFileName) {}

bool CPelorinApp::InitInstance() {
    g_portLibrary.Reset();
    const MessageSink showMessage = [](std::string_view message) {
        ShowMessageBox(nullptr, message);
    };
    g_portLibrary.Reset(new CPortLibrary(showMessage, m_strLibraryFileName));

    CPelorinWindow dlg;
    dlg.DoModal();
    return false;
}

int CPelorinApp::ExitInstance() {
    g_portLibrary.Reset();
    return 0;
}
