// The application object: binds Corvanel, runs the main window, unbinds at exit. Each window
// (qt/, win32/) provides the two functions below it.
#ifndef PELORIN_PELORIN_APP_H
#define PELORIN_PELORIN_APP_H

#include <string>
#include <string_view>

#include "port_library.h"

class CPelorinApp {
public:
    // `libraryFileName` is looked for in the program's directory.
    explicit CPelorinApp(std::string_view libraryFileName = kPortLibraryFileName);
    virtual ~CPelorinApp() = default;

    // Runs the main window to its end and returns false, so that the program ends instead of
    // waiting for events. The Qt window needs the QApplication first.
    virtual bool InitInstance();
    // The program's exit code.
    virtual int ExitInstance();

private:
    std::string m_strLibraryFileName;
};

// The application's message box, OK only, shown before the main window exists.
void ShowAppMessage(std::string_view message);
// Runs the main window modally to its end.
void RunMainWindow();

#endif
