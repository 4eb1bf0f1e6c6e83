#include <windows.h>

#include "pelorin_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CPelorinApp app;
    if (app.InitInstance()) {
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return app.ExitInstance();
}
