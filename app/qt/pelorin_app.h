// The application object: binds Corvanel, runs the main window, unbinds at exit.
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

    // Needs the QApplication. Runs the main window to its end and returns false, so that the
    // program ends instead of waiting for events.
    virtual bool InitInstance();
    // The program's exit code.
    virtual int ExitInstance();

private:
    std::string m_strLibraryFileName;
};

#endif
