// Звонкары: opens the main window and runs the message loop until the window
// is closed.

#include "app/IMWindow.h"

#include <cstdio>
#include <exception>

int main()
{
    IMWindow* window = nullptr;
    try {
        const Rect rect {0, 0, BackBufferWidth, BackBufferHeight};
        window = CreateMainWindow(L"Звонкары", &rect, false);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zvonkary: %s\n", e.what());
        return 1;
    }
    const int exitCode = RunMessageLoop(window);
    delete window;
    return exitCode;
}
