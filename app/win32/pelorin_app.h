// The application object: binds Corvanel, runs the main window, unbinds at exit.
#ifndef PELORIN_WIN32_PELORIN_APP_H
#define PELORIN_WIN32_PELORIN_APP_H

#include <string>
#include <string_view>

#include "port_library.h"

class CPelorinApp {
public:
    // `libraryFileName` is looked for in the program's directory.
    explicit CPelorinApp(std::string_view libraryFileName = kPortLibraryFileName);
    virtual ~CPelorinApp() = default;

    // Runs the main window to its end and returns false: the program then ends.
    virtual bool InitInstance();
    // The program's exit code.
    virtual int ExitInstance();

private:
    std::string m_strLibraryFileName;
};

#endif
