#include "app/IMApp.h"

#include "app/App.h"
#include "app/IMWindow.h"
#include "platform/AudioOutput.h"
#include "platform/Random.h"
#include "reporting/ResultsWorker.h"
#include "reporting/StatisticsWorkbook.h"

namespace {
std::unique_ptr<App> theApp;  // process-wide, main thread only
int appUsers = 0;             // callers of GetApp not yet released
}  // namespace

template <class T> IMApp<T>::IMApp() = default;

template <class T> IMApp<T>::~IMApp()
{
    // ReleaseApp has already emptied the pointer; an object destroyed any
    // other way must not leave it dangling.
    if (static_cast<IMApp*>(theApp.get()) == this)
        theApp.release();
}

// The framework's own praise and instruction do nothing; the program's class
// replaces them.
template <class T> long IMApp<T>::ShowPraise(IMControl*)
{
    return 0;
}
template <class T> long IMApp<T>::ShowPraiseAt(int, int)
{
    return 0;
}
template <class T> void IMApp<T>::ShowInstruction(IMDialogBase*) { }

template <class T> void IMApp<T>::SetInfo(std::wstring number, std::wstring titleText, std::wstring descriptionText)
{
    catalogueNumber = std::move(number);
    title = std::move(titleText);
    description = std::move(descriptionText);
}

template <class T> void IMApp<T>::RegisterStep(const std::wstring& name, StepBuilder builder)
{
    if (name.empty())
        return;
    steps.emplace(name, std::move(builder));
    if (nextStep.empty())
        SetNextStep(name);
}

template <class T> void IMApp<T>::SetNextStep(const std::wstring& name)
{
    if (steps.count(name) != 0)
        nextStep = name;
}

template <class T> void IMApp<T>::RewindSteps()
{
    if (!steps.empty())
        nextStep = steps.begin()->first;
}

template <class T> void IMApp<T>::ConnectMainWindow()
{
    // Every key-down message reaching the main window runs these in this order.
    mainWindow->ConnectKeyDown(
        Tracked<KeySlot>(this, [this](const IMKeyboardEvent& e) { return OnRepeatInstructionKey(e); }));
    mainWindow->ConnectKeyDown(Tracked<KeySlot>(this, [this](const IMKeyboardEvent& e) { return OnWindowKeyDown(e); }));
    mainWindow->ConnectKeyDown(Tracked<KeySlot>(this, [this](const IMKeyboardEvent& e) { return OnCreditsKey(e); }));
    // However the program ends, the pupil's rows reach the disk: the Exit and
    // Close buttons and the exit panel close the main window, the platform
    // asks it to close. One slot each saves whichever workbook is open then,
    // however many pupils the run has had.
    mainWindow->ConnectClosing(Tracked<EventSlot>(this, [this](const IMEvent&) { return SaveReport(); }));
    mainWindow->CloseRequested.connect(Tracked<VoidSlot>(this, [this] { return SaveReport(); }));
}

template class IMApp<App>;

App* GetApp(const std::wstring& windowTitle, std::unique_ptr<AudioOutput> output)
{
    if (theApp) {
        ++appUsers;
        return theApp.get();
    }
    theApp = std::make_unique<App>();
    const Rect rect {0, 0, BackBufferWidth, BackBufferHeight};
    theApp->mainWindow.reset(CreateMainWindow(windowTitle, &rect, false, std::move(output)));
    theApp->ConnectMainWindow();
    theApp->windowTitle = windowTitle;
    theApp->RegisterSteps();
    Srand(static_cast<unsigned>(CurrentTime()));
    appUsers = 1;
    return theApp.get();
}

App* FindApp()
{
    return theApp.get();
}

void ReleaseApp()
{
    if (!theApp || --appUsers > 0)
        return;
    // Shutdown in its order: the window with every screen, the workbook, the object.
    theApp->mainWindow.reset();
    theApp->report.reset();
    theApp.reset();
}
