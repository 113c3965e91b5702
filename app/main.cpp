// Звонкары: the application object shows the start of the game and the
// message loop runs until the main window is closed.

#include "app/App.h"
#include "app/IMWindow.h"
#include "app/ProgramTexts.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/PlatformWindow.h"
#include "platform/SessionEnd.h"
#include "platform/StandardStreams.h"
#include "platform/Utf8.h"
#include "platform/Warning.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

// --help and --version answer and end the program; any other argument is ignored.
bool AnsweredCommandLine(int argc, char** argv)
{
    if (argc != 2)
        return false;
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("zvonkary %ls\n", VersionText);
        return true;
    }
    if (std::strcmp(argv[1], "--help") == 0) {
        std::printf("Usage: zvonkary [--help | --version]\n"
                    "Zvonkary (Звонкары), a music game for primary-school pupils: rebuild the melody of the\n"
                    "gramophone from music bricks. Full screen; F1 repeats the instruction, F12 exits.\n"
                    "Results: /var/lib/KVRT (or $ZVONKARY_RESULTS_DIR, else ~/.local/share/KVRT).\n");
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    ConnectStandardStreams();
    if (AnsweredCommandLine(argc, argv))
        return 0;
    // The results folder is shared by the pupils' group.
    ShareNewFilesWithGroup();
    CloseOnQuitSignals();
    App* app = nullptr;
    try {
        app = GetApp(WindowTitleText);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zvonkary: %s\n", e.what());
        return 1;
    }
    // Where the session's end gives no time for another turn of the loop (Windows), it closes the window at once,
    // which saves what the close saves.
    bool sessionEnded = false;
    SaveWhenTheSessionEnds(app->mainWindow->Platform()->Handle(), [app, &sessionEnded] {
        sessionEnded = true;
        app->mainWindow->WindowProc(Msg {WindowMessage::Close, 0, 0, 0, 0});
    });
    // Rows a run left unsaved (a crash, a power cut) reach their workbook before anyone starts a new attempt.
    app->RecoverResults();
    app->ShowStartPopup();
    RunMessageLoop(app->mainWindow.get());
    const std::string notice = ToUtf8(app->ExitNotice());
    ReleaseApp();
    // Results that did not reach their file are said to whoever closed the game; a session that is ending has
    // nobody to answer, and the line on standard error stays.
    if (!notice.empty() && !ClosedBySignal() && !sessionEnded)
        ShowWarningWindow("Звонкары", notice);
    return 0;
}
