#pragma once
// The real application object under the program harness: its own main window
// with the harness's hand-stepped audio and clock, the results folder in a
// private folder (ZVONKARY_RESULTS_DIR), readers of the saved rows, and the
// screens' controls found by the pictures and texts they show.

#include "app/App.h"
#include "app/IMWindow.h"
#include "exercise/Game.h"
#include "platform/Utf8.h"
#include "reporting/StatisticsWorkbook.h"
#include "reporting/WorkbookFiles.h"
#include "support/Environment.h"
#include "support/ProgramHarness.h"
#include "toolkit/IMEditBar.h"
#include "toolkit/ScreenKit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

// A control of a screen: the picture it shows (for a button, its normal
// picture) and where its top-left corner stands on the screen.
struct ScreenPlace {
    const wchar_t* picture;
    Point at;
};

// Where the screens put what the tests press, as tests/e2e knows them too.
namespace Places {
inline constexpr ScreenPlace Exit {L"ExitButton", {755, 22}};  // the start popup, the result screen, the credits
inline constexpr ScreenPlace PopupStart {L"StartPopStartButton", {690, 450}};
inline constexpr ScreenPlace ResultPrint {L"PrintButton", {30, 490}};
inline constexpr ScreenPlace ResultSaveAs {L"SaveAsButton", {128, 490}};
inline constexpr ScreenPlace ResultRetry {L"RetryButton", {535, 490}};
inline constexpr ScreenPlace ResultClose {L"CloseButton", {660, 490}};
inline constexpr Point ResultBlank {400, 420};  // no control of the result screen there
// The exit panel's box stands at (332, 200), in the middle of the screen.
inline constexpr ScreenPlace PanelRetry {L"RetryButton", {342, 220}};
inline constexpr ScreenPlace PanelClose {L"CloseButton", {342, 280}};
inline constexpr ScreenPlace PanelCancel {L"CancelButton", {342, 340}};
// The save-as dialog stands at (220, 225).
inline constexpr ScreenPlace SaveAsSave {L"SaveAsButton", {250, 304}};
}  // namespace Places

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetEnvironment("ZVONKARY_RESULTS_DIR", workbook_test::Utf8Of(folder.path));
        app = GetApp(L"00917 Игра «Звонкары»", program.TakeAudioOutput());
        program.Attach(app->mainWindow.get());
    }
    void TearDown() override
    {
        program.Detach();
        ReleaseApp();
        UnsetEnvironment("ZVONKARY_RESULTS_DIR");
    }

    // --- Workbooks -----------------------------------------------------------

    // A workbook for pupil in the private folder, as the start popup opens it.
    void OpenWorkbook(const std::wstring& pupil = L"Маша Иванова")
    {
        app->report = std::make_unique<StatisticsWorkbook>(folder.Wide(L"results.xls"), pupil);
        app->SetPupilName(pupil);
    }
    // The rows of the one worksheet of the workbook OpenWorkbook saved.
    std::vector<std::vector<std::string>> SavedRows()
    {
        const auto sheets = workbook_test::WorksheetsOf(workbook_test::ReadFile(folder.Utf8("results.xls")));
        return sheets.empty() ? std::vector<std::vector<std::string>> {} : sheets[0].rows;
    }
    // The open workbook's rows, saved first.
    std::vector<std::vector<std::string>> Rows()
    {
        if (!app->report)
            return {};
        app->report->Save(L"");
        return SavedRows();
    }
    // The results file the program writes by default.
    std::string DefaultFile() const { return folder.Utf8("00917 Игра «Звонкары».xls"); }
    std::vector<workbook_test::Worksheet> SavedSheets(const std::string& path)
    {
        return workbook_test::WorksheetsOf(workbook_test::ReadFile(path));
    }

    // --- An attempt ----------------------------------------------------------

    // Types name into the popup's field and presses Enter.
    void StartWithName(const std::wstring& name)
    {
        program.Type(name);
        program.Key(VirtualKey::Return);
    }
    // Closes the instruction with Esc: the step starts and the board is built.
    void StartStep()
    {
        app->StartExercise();
        program.Key(VirtualKey::Escape);
    }
    // The board's staff announces the solution, as playing it solved does.
    void Complete() { Emit(app->board->staff->Completed); }
    // Lets the praise clip play to its end.
    void PlayPraise() { program.Wait(3500, 50); }

    // --- Screens and their controls -------------------------------------------

    // The screen opened last in layer.
    IMDialogBase* TopScreen(int layer = 0)
    {
        const auto& children = app->mainWindow->layers[layer];
        return children.empty() ? nullptr : dynamic_cast<IMDialogBase*>(children.back());
    }
    // The first child of in that is a C.
    template <class C> C* Find(IMDialogBase* in)
    {
        C* found = nullptr;
        in->ForEachChild([&](IMControl* c) {
            if (!found)
                found = dynamic_cast<C*>(c);
        });
        return found;
    }
    // Every live control under in, depth first.
    static void ForEachControl(IMDialogBase* in, const std::function<void(IMControl*)>& f)
    {
        in->ForEachChild([&](IMControl* c) {
            f(c);
            if (auto* d = dynamic_cast<IMDialogBase*>(c))
                ForEachControl(d, f);
        });
    }
    // Where a control's top-left corner stands on the screen.
    static Point ScreenPosition(const IMControl* control)
    {
        Point p {control->GetRect().left, control->GetRect().top};
        for (const IMDialogBase* d = control->GetParent(); d && d->GetParent(); d = d->GetParent()) {
            p.x += d->GetRect().left;
            p.y += d->GetRect().top;
        }
        return p;
    }
    // The buttons on the screen that show picture.
    std::vector<IMButtonBase*> ButtonsShowing(const std::wstring& picture)
    {
        std::vector<IMButtonBase*> buttons;
        ForEachControl(app->mainWindow.get(), [&](IMControl* c) {
            auto* b = dynamic_cast<IMButtonBase*>(c);
            if (b && !b->IsClosed() && b->stateImages[ButtonState::Normal] == picture)
                buttons.push_back(b);
        });
        return buttons;
    }
    // The button showing place's picture at its place, or null (with a failure saying where they are).
    IMButtonBase* ButtonAt(const ScreenPlace& place)
    {
        std::string seen;
        for (IMButtonBase* b : ButtonsShowing(place.picture)) {
            const Point p = ScreenPosition(b);
            if (p.x == place.at.x && p.y == place.at.y)
                return b;
            seen += " (" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")";
        }
        ADD_FAILURE() << "no " << ToUtf8(place.picture) << " at (" << place.at.x << ", " << place.at.y << ");"
                      << (seen.empty() ? " none on the screen" : " seen at" + seen);
        return nullptr;
    }
    // A click in the middle of the button at place.
    void ClickOn(const ScreenPlace& place)
    {
        IMButtonBase* button = ButtonAt(place);
        if (!button)
            return;
        const Rect r = button->GetRect();
        program.Click(place.at.x + r.Width() / 2, place.at.y + r.Height() / 2);
    }
    // The label under in that shows text, or null.
    IMLabel* LabelShowing(IMDialogBase* in, const std::wstring& text)
    {
        IMLabel* found = nullptr;
        ForEachControl(in, [&](IMControl* c) {
            if (auto* label = dynamic_cast<IMLabel*>(c); label && !found && label->GetText() == text)
                found = label;
        });
        return found;
    }

    workbook_test::TemporaryFolder folder;
    ProgramHarness program;
    App* app = nullptr;
};

// The application's tests and the screens' tests share the one fixture.
using AppTest = AppFixture;
using ScreensTest = AppFixture;
