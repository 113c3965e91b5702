// The result screen and the exit panel.

#include "exercise/Game.h"
#include "reporting/IMSaveAsDialog.h"
#include "reporting/IMSelectPrinterDialog.h"
#include "support/AppFixture.h"

namespace {

class Results : public ScreensTest {
protected:
    // An attempt up to its result screen, with or without a pupil's name.
    void FinishAttempt(const std::wstring& name)
    {
        app->ShowStartPopup();
        program.Turn();
        StartWithName(name);
        program.Key(VirtualKey::Escape);
        Emit(app->board->staff->Completed);
        program.Wait(3500, 50);
        results = TopScreen();
    }
    // The buttons of a screen.
    int ButtonCount(IMDialogBase* screen)
    {
        int count = 0;
        screen->ForEachChild([&](IMControl* c) { count += dynamic_cast<IMButtonBase*>(c) ? 1 : 0; });
        return count;
    }
    int ScreenCount()
    {
        int count = 0;
        app->mainWindow->ForEachChild([&](IMControl*) { ++count; });
        return count;
    }
    IMDialogBase* results = nullptr;
};

}  // namespace

TEST_F(Results, WithANameEverythingWorksAndEnterPlaysAgain)
{
    FinishAttempt(L"Маша");
    ASSERT_NE(results, nullptr);
    EXPECT_EQ(ButtonCount(results), 5);
    for (const ScreenPlace& place :
        {Places::ResultPrint, Places::ResultSaveAs, Places::ResultRetry, Places::ResultClose, Places::Exit}) {
        IMButtonBase* button = ButtonAt(place);
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->IsEnabled()) << ToUtf8(place.picture);
    }
    EXPECT_EQ(app->nextStep, L"Dialog1") << "the steps were rewound";
    EXPECT_TRUE(program.Screenshot("results.png"));
    // Print opens the printer selection, Save as the save-as dialog.
    ClickOn(Places::ResultPrint);
    program.Turn();
    auto* printers = dynamic_cast<IMSelectPrinterDialog*>(TopScreen());
    ASSERT_NE(printers, nullptr);
    EXPECT_TRUE(program.Screenshot("printers.png"));
    printers->Close();
    ClickOn(Places::ResultSaveAs);
    program.Turn();
    auto* saveAs = dynamic_cast<IMSaveAsDialog*>(TopScreen());
    ASSERT_NE(saveAs, nullptr);
    saveAs->Close();
    program.Turn();
    // Enter after a press has given the screen the focus: a new row 1, the board at once.
    program.Click(Places::ResultBlank.x, Places::ResultBlank.y);
    program.Key(VirtualKey::Return);
    EXPECT_NE(app->stepDialog, nullptr);
    EXPECT_FALSE(app->instructionActive) << "no instruction this time";
    app->SaveReport();
    const auto sheets = SavedSheets(DefaultFile());
    ASSERT_EQ(sheets.size(), 1u);
    ASSERT_EQ(sheets[0].rows.size(), 5u);
    EXPECT_EQ(sheets[0].rows[4][0], "Время начала работы с упражнением");
}

TEST_F(Results, WithoutANameTheStatisticsButtonsAreGreyAndInert)
{
    FinishAttempt(L"");
    EXPECT_EQ(ButtonCount(results), 5);
    for (const ScreenPlace& place : {Places::ResultPrint, Places::ResultSaveAs}) {
        IMButtonBase* button = ButtonAt(place);
        ASSERT_NE(button, nullptr);
        EXPECT_FALSE(button->IsEnabled());
        EXPECT_EQ(button->colour, 0xFF808080u);
    }
    const int before = ScreenCount();
    ClickOn(Places::ResultPrint);
    ClickOn(Places::ResultSaveAs);
    EXPECT_EQ(ScreenCount(), before) << "nothing opened";
    EXPECT_TRUE(program.Screenshot("results-without-name.png"));
    // Retry opens the start popup.
    ClickOn(Places::ResultRetry);
    program.Turn();
    EXPECT_NE(Find<IMEditBar>(TopScreen()), nullptr);
}

TEST_F(Results, ExitPanelOnceAndCancelLeavesTheExerciseRunning)
{
    app->ShowStartPopup();
    program.Turn();
    StartWithName(L"Маша");
    program.Key(VirtualKey::Escape);
    ASSERT_NE(app->stepDialog, nullptr);
    const std::uint32_t undimmed = program.Pixel(700, 550);
    program.Key(VirtualKey::F12);
    ASSERT_NE(app->exitPanel, nullptr);
    const std::uint32_t dimmed = program.Pixel(700, 550);
    EXPECT_LT(dimmed & 0xFF0000, undimmed & 0xFF0000) << "the veil darkens the board";
    IMDialogBase* panel = app->exitPanel;
    program.Key(VirtualKey::F12);
    EXPECT_EQ(app->exitPanel, panel) << "one panel at a time";
    EXPECT_EQ(app->mainWindow->layers[1099].size(), 1u);
    EXPECT_TRUE(program.Screenshot("exit-panel.png"));
    // The veil: a press outside the box reaches nothing below.
    Brick* brick = app->board->bricks[0].get();
    const Point p = brick->picture->GetPosition();
    program.Press(p.x + 6, p.y + 6);
    EXPECT_FALSE(brick->dragging);
    program.Release(p.x + 6, p.y + 6);
    // Cancel: nothing written, the board goes on.
    ClickOn(Places::PanelCancel);
    program.Turn();
    EXPECT_EQ(app->exitPanel, nullptr);
    program.Press(p.x + 6, p.y + 6);
    EXPECT_TRUE(brick->dragging) << "the board takes presses again";
    program.Release(p.x + 6, p.y + 6);
    app->SaveReport();
    EXPECT_EQ(SavedSheets(DefaultFile())[0].rows.size(), 1u);
}

TEST_F(Results, ExitPanelRetryAbandonsTheAttemptAndOpensThePopup)
{
    app->ShowStartPopup();
    program.Turn();
    StartWithName(L"Маша");
    program.Key(VirtualKey::Escape);
    program.Key(VirtualKey::F12);
    ClickOn(Places::PanelRetry);
    program.Turn();
    EXPECT_EQ(app->exitPanel, nullptr);
    EXPECT_EQ(app->stepDialog, nullptr);
    EXPECT_NE(Find<IMEditBar>(TopScreen()), nullptr) << "the start popup on top";
    EXPECT_EQ(ScreenCount(), 2) << "above a result screen";
    app->SaveReport();
    const auto rows = SavedSheets(DefaultFile())[0].rows;
    ASSERT_EQ(rows.size(), 4u) << "the abandoned attempt's closing rows";
    EXPECT_TRUE(rows[3].empty());
}

TEST_F(Results, ExitPanelRetryOnTheResultScreenOnlyClosesThePanel)
{
    FinishAttempt(L"Маша");
    program.Key(VirtualKey::F12);
    EXPECT_EQ(app->Restart(), 1);
    program.Turn();
    EXPECT_EQ(app->exitPanel, nullptr);
    EXPECT_EQ(TopScreen(), results);
}

TEST_F(Results, ExitPanelCloseSavesAndEnds)
{
    app->ShowStartPopup();
    program.Turn();
    StartWithName(L"Маша");
    program.Key(VirtualKey::Escape);
    program.Key(VirtualKey::F12);
    ClickOn(Places::PanelClose);
    EXPECT_TRUE(program.quit);
    EXPECT_EQ(SavedSheets(DefaultFile())[0].rows.size(), 1u);
}
