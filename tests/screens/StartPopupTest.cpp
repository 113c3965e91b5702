// The start popup: its controls, the description with its scroll bar, the
// ways to start, Exit, and the workbook each start opens.

#include "support/AppFixture.h"
#include "toolkit/IMScroll.h"

#include <filesystem>

namespace {

class StartPopup : public ScreensTest {
protected:
    void SetUp() override
    {
        ScreensTest::SetUp();
        app->ShowStartPopup();
        program.Turn();
        popup = TopScreen();
    }
    IMDialogBase* popup = nullptr;
};

}  // namespace

TEST_F(StartPopup, ControlsStandWhereTheScreenPutsThem)
{
    ASSERT_NE(popup, nullptr);
    auto* name = Find<IMEditBar>(popup);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->GetRect(), (Rect {135, 460, 655, 480}));
    EXPECT_TRUE(name->edit->HasFocus());
    auto* bar = Find<IMScroll>(popup);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetRect(), (Rect {712, 187, 726, 427}));
    EXPECT_NE(ButtonAt(Places::PopupStart), nullptr);
    EXPECT_NE(ButtonAt(Places::Exit), nullptr);
    // The ink of the labels over the backdrop: "Номер ЦОР:" starts at (30, 115).
    bool inked = false;
    for (int x = 30; x < 60 && !inked; ++x)
        for (int y = 118; y < 133 && !inked; ++y)
            inked = program.Pixel(x, y) == 0xFF072134u;
    EXPECT_TRUE(inked) << "the dark blue text is drawn";
    EXPECT_TRUE(program.Screenshot("start-popup.png"));
}

TEST_F(StartPopup, LongDescriptionScrollsRowByRowAndShortOneHidesTheBar)
{
    auto* bar = Find<IMScroll>(popup);
    ASSERT_NE(bar, nullptr);
    // The description is taller than its 236-pixel area with these fonts.
    const int height = bar->maximum;
    ASSERT_GT(height, 236);
    EXPECT_FALSE(bar->IsHidden());
    EXPECT_EQ(bar->page, 236);
    const int p = (height - 236) / 2;
    bar->SetScrollPosition(p);
    // The text lies on a panel that moves up inside the clip area.
    IMLabel* text = LabelShowing(popup, app->description);
    ASSERT_NE(text, nullptr);
    IMDialogBase* panel = text->GetParent();
    EXPECT_EQ(panel->GetParent()->GetRect(), (Rect {119, 187, 712, 423})) << "the clip area";
    EXPECT_EQ(panel->GetRect().top, -p) << "row p of the text is the first visible";
    bar->SetScrollPosition(100000);
    EXPECT_EQ(panel->GetRect().top, -(height - 236)) << "no further than the text's end";

    // A short description fits: no bar.
    popup->Close();
    app->description = L"Коротко.";
    app->ShowStartPopup();
    program.Turn();
    EXPECT_TRUE(Find<IMScroll>(TopScreen())->IsHidden());
}

TEST_F(StartPopup, EnterWithANameOpensTheWorkbookAndTheInstruction)
{
    StartWithName(L"Маша Иванова");
    ASSERT_NE(app->report, nullptr);
    EXPECT_EQ(app->pupilName, L"Маша Иванова");
    EXPECT_TRUE(app->instructionActive);
    EXPECT_NE(TopScreen(), popup) << "the popup closed";
    EXPECT_FALSE(std::filesystem::exists(DefaultFile())) << "nothing is written before the end";
    // Enter's key and its character both came: one instruction only.
    int screens = 0;
    app->mainWindow->ForEachChild([&](IMControl*) { ++screens; });
    EXPECT_EQ(screens, 1);
}

TEST_F(StartPopup, EnterWithoutANameStartsWithoutAWorkbook)
{
    program.Key(VirtualKey::Return);
    EXPECT_EQ(app->report, nullptr);
    EXPECT_TRUE(app->instructionActive);
}

TEST_F(StartPopup, StartButtonStartsLikeEnter)
{
    program.Type(L"Петя");
    ClickOn(Places::PopupStart);
    ASSERT_NE(app->report, nullptr);
    EXPECT_EQ(app->pupilName, L"Петя");
}

TEST_F(StartPopup, ExitOnTheFirstPopupWritesNothing)
{
    ClickOn(Places::Exit);
    EXPECT_TRUE(program.quit);
    EXPECT_TRUE(folder.Listing().empty());
}

TEST_F(StartPopup, StartingAgainWithAnotherNameKeepsTheFirstPupilsRows)
{
    StartWithName(L"Маша");
    program.Key(VirtualKey::Escape);  // the instruction: the step starts, row 1 is written
    // Back on the popup with another pupil.
    app->ShowStartPopup();
    program.Turn();
    StartWithName(L"Петя");
    const auto sheets = SavedSheets(DefaultFile());
    ASSERT_EQ(sheets.size(), 1u) << "the first pupil's workbook was saved before the second opened";
    EXPECT_EQ(sheets[0].rows.size(), 1u);
    EXPECT_EQ(app->pupilName, L"Петя");

    // An empty name keeps the open workbook: rows go to Петя's sheet.
    app->ShowStartPopup();
    program.Turn();
    StartWithName(L"");
    EXPECT_EQ(app->pupilName, L"");
    ASSERT_NE(app->report, nullptr);
    EXPECT_TRUE(app->SaveReportAs(L""));
    EXPECT_EQ(SavedSheets(DefaultFile()).size(), 2u);
}
