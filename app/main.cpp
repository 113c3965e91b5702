// Звонкары: the application object shows the start of the game and the
// message loop runs until the main window is closed.

#include "app/App.h"
#include "app/IMWindow.h"
#include "app/ProgramTexts.h"
#include "platform/Messages.h"

#include <cstdio>
#include <exception>

int main()
{
    CloseOnQuitSignals();
    App* app = nullptr;
    try {
        app = GetApp(WindowTitleText);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zvonkary: %s\n", e.what());
        return 1;
    }
    app->ShowStartPopup();
    RunMessageLoop(app->mainWindow);
    ReleaseApp();
    return 0;
}
