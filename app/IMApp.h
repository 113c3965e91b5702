#pragma once
// The application object's framework half: everything a program of this kind
// needs (the main window, the texts that describe the program, the registry of
// exercise steps and the state of one attempt) with the operations every such
// program shares. The program's own class supplies what is particular to its
// exercise through the virtual operations, in this order:
//   Restart, RegisterSteps, ShowStartPopup, ShowResults, ShowPraise,
//   ShowPraiseAt, ShowInstruction, OnWindowKeyDown.
//
// One instance exists from GetApp to ReleaseApp. Main thread only.
//
// Index: where each operation is defined.
//   app/IMApp.cpp            the object's life (GetApp, FindApp, ReleaseApp), SetInfo,
//                            RegisterStep, SetNextStep, RewindSteps,
//                            ConnectMainWindow, the framework's own ShowPraise,
//                            ShowPraiseAt and ShowInstruction
//   app/Attempt.cpp          StartAttempt, StartExercise, CloseInstruction, NextStep,
//                            Restart, AddStatisticsRow, SetPupilName
//   app/Report.cpp           OpenReport, RecoverResults, WaitForResults, SaveReport,
//                            ResultsNotice, SaveReportAs, OnSaveAsClicked,
//                            OnPrintClicked, PrintReport
//   app/App.cpp              App, RegisterSteps, BuildExerciseStep
//   screens/StartPopup.cpp   ShowStartPopup, OnPopupKey
//   screens/Instruction.cpp  App::ShowInstruction, OnInstructionSoundEnd, OnRepeatInstructionKey
//   screens/Praise.cpp       App::ShowPraiseAt
//   screens/ResultScreen.cpp ShowResults
//   screens/ExitPanel.cpp    OnWindowKeyDown, ShowExitPanel, CloseExitPanel
//   screens/CreditsPanel.cpp OnCreditsKey, IsCreditsOpen

#include "events/IMEvent.h"
#include "events/IMSignal.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

class AudioOutput;
class IMControl;
class IMDialogBase;
class IMEditBar;
class IMWindow;
class ResultsWorker;
class StatisticsWorkbook;

// Builds the content of one exercise step into the step's dialog.
using StepBuilder = std::function<void(IMDialogBase*)>;

template <class T> class IMApp : public IMLifetime {
public:
    IMApp();
    virtual ~IMApp();
    IMApp(const IMApp&) = delete;
    IMApp& operator=(const IMApp&) = delete;

    // Leaves the exercise for the start popup; 1 when no exercise step was open.
    virtual long Restart();
    virtual void RegisterSteps() { }
    virtual long ShowStartPopup();
    virtual long ShowResults();
    virtual long ShowPraise(IMControl* screen);
    virtual long ShowPraiseAt(int x, int y);
    virtual void ShowInstruction(IMDialogBase* dialog);
    // F12: the exit panel.
    virtual long OnWindowKeyDown(const IMKeyboardEvent& e);

    long ShowExitPanel();
    long CloseExitPanel();

    void SetInfo(std::wstring catalogueNumber, std::wstring title, std::wstring description);
    // Adds a step; an empty name changes nothing and a known name keeps its
    // first builder. The first step registered becomes the next step.
    void RegisterStep(const std::wstring& name, StepBuilder builder);
    // Makes name the next step when it is registered.
    void SetNextStep(const std::wstring& name);
    // The next attempt starts from the first step again.
    void RewindSteps();

    // The attempt: its statistics rows and the sequence of its screens.
    void AddStatisticsRow(const std::wstring& name, const std::wstring& value, const std::wstring& type);
    void SetPupilName(const std::wstring& name);
    void StartExercise();
    // Closes an instruction screen: its closing runs what follows it, and the
    // flag drops only after that.
    long CloseInstruction(IMDialogBase* dialog);
    long NextStep();

    // The start popup's Enter: starts the attempt with the name typed into name.
    long OnPopupKey(const IMKeyboardEvent& e, IMEditBar* name, IMDialogBase* popup);
    // Start and Enter on the start popup: the workbook, the name, the instruction.
    void StartAttempt(const std::wstring& name, IMDialogBase* popup);

    // Opens the results workbook of the results folder with the pupil's
    // worksheet; an empty name keeps the workbook that is open. Rows that a
    // run which ended without saving left in its journal are merged first.
    void OpenReport(const std::wstring& name);
    // Merges into their workbooks the rows journalled by runs that ended
    // without saving them (a crash, a power cut, a killed session), on the
    // results' worker thread: the call returns at once.
    void RecoverResults();
    // Returns once the results' worker has done what was posted to it.
    void WaitForResults();
    // Writes the open workbook to its own file, after the worker's saves of
    // earlier pupils; nothing without one.
    long SaveReport();
    // Where the results went when they could not go where they belong, in
    // plain Russian for the result screen and the exit; empty when they did.
    std::wstring ResultsNotice() const;
    // What the last SaveReport could not do, in the same words: for the way out, when the window is gone.
    const std::wstring& ExitNotice() const { return exitNotice; }
    // Writes the open workbook to path; false when it could not be written.
    bool SaveReportAs(const std::wstring& path);
    // The result screen's Save as: a dialog proposing the workbook's own file.
    long OnSaveAsClicked();
    // The result screen's Print: the printer selection for the pupil's worksheet.
    long OnPrintClicked();
    // Prints the pupil's worksheet on printer (nothing for an empty name).
    long PrintReport(const std::wstring& printer);
    long OnCreditsKey(const IMKeyboardEvent& e);
    // F1: the instruction again over any screen, counted, while none is open.
    long OnRepeatInstructionKey(const IMKeyboardEvent& e);

    // Connects the global keys and whatever must happen on every way out of the
    // program; called once, when the main window exists.
    void ConnectMainWindow();

    IMDialogBase* exitPanel = nullptr;                     // the exit panel while it is shown
    std::unique_ptr<IMWindow> mainWindow;                  // the root of every screen
    std::wstring nextStep;                                 // the step NextStep runs next; empty when none is left
    std::map<std::wstring, StepBuilder> steps;             // the registered steps, ordered by name
    IMDialogBase* stepDialog = nullptr;                    // the running step's dialog, null once it closes
    IMConnection repeatCloser;                             // closes an instruction opened with F1
    std::unique_ptr<IMConnectionBlock> repeatCloserBlock;  // holds it back during the F1 press that opened it
    std::unique_ptr<StatisticsWorkbook> report;            // the open workbook, or null
    std::wstring exitNotice;                               // what the last SaveReport could not do
    std::wstring resultsFolderNotice;                      // why the results folder is not the one they belong in
    std::unique_ptr<ResultsWorker> resultsWorker;          // made at first use; finishes its work before report goes
    std::wstring windowTitle;                              // the main window's title and the results file's name
    bool instructionActive = false;                        // an instruction screen is open
    std::int32_t extraInstructionCalls = 0;                // F1 repetitions since the step started
    std::int64_t startTime = 0;                            // the step's start, seconds since 1970
    std::wstring description;                              // shown on the start popup
    std::wstring title;                                    // the program's title
    std::wstring catalogueNumber;                          // shown on the screens
    std::wstring pupilName;                                // typed on the start popup
};

class App;

// Creates the application object on the first call (with its main window,
// whose sound goes to output when one is given) and counts the callers.
App* GetApp(const std::wstring& windowTitle, std::unique_ptr<AudioOutput> output = nullptr);
// The object while it exists, or null.
App* FindApp();
// Counts a caller off; the last one deletes the main window, the workbook
// and the object itself.
void ReleaseApp();
// Whether the credits panel is shown.
bool IsCreditsOpen();
