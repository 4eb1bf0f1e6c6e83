#include "pelorin_app.h"

CPelorinApp::CPelorinApp(std::string_view libraryFileName)
    : m_strLibraryFileName(libraryFileName) {}

bool CPelorinApp::InitInstance() {
    g_portLibrary.Reset();
    g_portLibrary.Reset(new CPortLibrary(ShowAppMessage, m_strLibraryFileName));
    RunMainWindow();
    return false;
}

int CPelorinApp::ExitInstance() {
    g_portLibrary.Reset();
    return 0;
}
