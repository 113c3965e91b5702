// The attempt: the sequence of its screens (the instruction, the steps, the
// result screen) and the statistics rows it writes into the pupil's worksheet.

#include "app/App.h"
#include "app/IMWindow.h"
#include "platform/LocalTime.h"
#include "platform/PlatformWindow.h"
#include "platform/Random.h"
#include "reporting/StatisticsWorkbook.h"

#include <cstdio>
#include <string>

namespace {

const wchar_t* const StartRowName = L"Время начала работы с упражнением";
const wchar_t* const ExtraCallsRowName = L"Количество дополнительных вызовов инструкций";
const wchar_t* const TotalTimeRowName = L"Общее время работы с упражнением. с.";

// The local date and time as "05-March-2008 14:07": English month names
// whatever language the desktop speaks, as the workbook has always held them.
std::wstring FormatStartTime(std::int64_t seconds)
{
    static const char* const Months[] = {"January", "February", "March", "April", "May", "June", "July", "August",
        "September", "October", "November", "December"};
    const std::tm local = LocalCalendarTime(seconds);
    char text[128] = {};
    std::snprintf(text, sizeof text, "%02d-%s-%04d %02d:%02d", local.tm_mday, Months[(local.tm_mon % 12 + 12) % 12],
        local.tm_year + 1900, local.tm_hour, local.tm_min);
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

}  // namespace

template <class T>
void IMApp<T>::AddStatisticsRow(const std::wstring& name, const std::wstring& value, const std::wstring& type)
{
    if (report)
        report->AddRow(name, value, type);
}

template <class T> void IMApp<T>::SetPupilName(const std::wstring& name)
{
    pupilName = name;
}

// Start and Enter on the start popup.
template <class T> void IMApp<T>::StartAttempt(const std::wstring& name, IMDialogBase* popup)
{
    OpenReport(name);
    SetPupilName(name);
    StartExercise();
    popup->Close();
}

template <class T> void IMApp<T>::StartExercise()
{
    instructionActive = true;
    IMDialogBase* dialog = new IMDialogBase(mainWindow.get(), nullptr, 0);
    // Bound to the dialog, so it goes when the dialog does.
    mainWindow->ConnectKeyDown(Tracked<KeySlot>(dialog, [this, dialog](const IMKeyboardEvent& e) {
        if (e.wParam == VirtualKey::Escape)
            CloseInstruction(dialog);
        return 0L;
    }));
    dialog->ConnectClosing(Tracked<EventSlot>(this, [this](const IMEvent&) { return NextStep(); }));
    ShowInstruction(dialog);
}

template <class T> long IMApp<T>::CloseInstruction(IMDialogBase* dialog)
{
    dialog->Close();
    instructionActive = false;
    return 0;
}

template <class T> long IMApp<T>::NextStep()
{
    ShowCursor(true);
    if (nextStep.empty()) {
        // The step screen whose closing runs this is going away.
        stepDialog = nullptr;
        AddStatisticsRow(ExtraCallsRowName, std::to_wstring(extraInstructionCalls), L"Number");
        const std::int64_t now = static_cast<std::int64_t>(CurrentTime());
        AddStatisticsRow(TotalTimeRowName, std::to_wstring(now - startTime), L"Number");
        if (report)
            report->AddSeparatorRow();
        ShowResults();
        return 0;
    }
    startTime = static_cast<std::int64_t>(CurrentTime());
    AddStatisticsRow(StartRowName, FormatStartTime(startTime), L"String");
    extraInstructionCalls = 0;
    const auto step = steps.find(nextStep);
    if (step == steps.end())
        return 0;
    stepDialog = new IMDialogBase(mainWindow.get(), nullptr, 0);
    stepDialog->SetFocus(true);
    stepDialog->ConnectClosing(Tracked<EventSlot>(this, [this](const IMEvent&) { return NextStep(); }));
    const auto following = std::next(step);
    nextStep = following == steps.end() ? std::wstring() : following->first;
    step->second(stepDialog);
    return 0;
}

// The exit panel's Retry: the abandoned attempt ends and the start popup
// comes back; 1 when no exercise step was open.
template <class T> long IMApp<T>::Restart()
{
    CloseExitPanel();
    if (!stepDialog)
        return 1;
    // Its closing writes the abandoned attempt's rows and builds a result screen.
    stepDialog->Close();
    RewindSteps();
    stepDialog = nullptr;
    ShowStartPopup();
    return 0;
}

template void IMApp<App>::StartAttempt(const std::wstring&, IMDialogBase*);
template void IMApp<App>::AddStatisticsRow(const std::wstring&, const std::wstring&, const std::wstring&);
template void IMApp<App>::SetPupilName(const std::wstring&);
template void IMApp<App>::StartExercise();
template long IMApp<App>::CloseInstruction(IMDialogBase*);
template long IMApp<App>::NextStep();
template long IMApp<App>::Restart();
