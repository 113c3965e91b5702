// The save-as dialog: the proposed path, saving elsewhere, a path that
// cannot be written, and a second dialog.

#include "reporting/IMSaveAsDialog.h"
#include "support/AppFixture.h"

#include <filesystem>

namespace {

class SaveAs : public ScreensTest {
protected:
    void SetUp() override
    {
        ScreensTest::SetUp();
        app->OpenReport(L"Маша");
        app->SetPupilName(L"Маша");
        app->report->AddRow(L"Время начала работы с упражнением", L"05-March-2026 14:07", L"String");
        app->OnSaveAsClicked();
        program.Turn();
        dialog = dynamic_cast<IMSaveAsDialog*>(TopScreen());
    }
    void Retype(const std::string& path)
    {
        dialog->SetFileName(FromUtf8(path));
        program.Turn();
    }
    IMSaveAsDialog* dialog = nullptr;
};

}  // namespace

TEST_F(SaveAs, ProposesTheDefaultFileAndSavesThere)
{
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(ToUtf8(dialog->GetFileName()), DefaultFile());
    EXPECT_TRUE(dialog->editBar->edit->HasFocus());
    EXPECT_TRUE(program.Screenshot("save-as.png"));
    ClickOn(Places::SaveAsSave);
    EXPECT_TRUE(std::filesystem::exists(workbook_test::PathOf(DefaultFile())));
    EXPECT_NE(TopScreen(), dialog) << "a successful save closes the dialog";
}

TEST_F(SaveAs, ShowsItsWholeSheetUnsqueezed)
{
    // The dialog's own backdrop lies over the stretched screen backdrop: its paper sheet ends inside the
    // dialog, its orange edge 7 pixels above the dialog's bottom and sky below it.
    ASSERT_NE(dialog, nullptr);
    const std::uint32_t edge = program.Pixel(220 + 180, 225 + 143);
    const std::uint32_t sky = program.Pixel(220 + 180, 225 + 147);
    EXPECT_EQ(edge & 0xFFFFFFu, 0xF3B65Eu) << std::hex << edge;
    EXPECT_GT(sky & 0xFFu, (sky >> 16) & 0xFFu) << "sky, bluer than red: " << std::hex << sky;
}

TEST_F(SaveAs, AnotherFolderGetsTheFileAndTheDefaultIsStillWrittenAtTheEnd)
{
    std::filesystem::create_directory(folder.path / "elsewhere");
    Retype(folder.Utf8("elsewhere/class.xls"));
    ClickOn(Places::SaveAsSave);
    EXPECT_TRUE(std::filesystem::exists(workbook_test::PathOf(folder.Utf8("elsewhere/class.xls"))));
    EXPECT_FALSE(std::filesystem::exists(workbook_test::PathOf(DefaultFile())));
    app->mainWindow->Close();
    program.Pump();
    EXPECT_TRUE(std::filesystem::exists(workbook_test::PathOf(DefaultFile())))
        << "the end of the program saves the default file";
}

TEST_F(SaveAs, AnUnwritablePathKeepsTheDialogOpenWithAMessage)
{
    Retype(folder.Utf8("no/such/folder/class.xls"));
    ClickOn(Places::SaveAsSave);
    EXPECT_EQ(TopScreen(), dialog) << "the dialog stays";
    EXPECT_TRUE(program.Screenshot("save-as-failed.png"));
    // A second Save as opens a second dialog above the first.
    app->OnSaveAsClicked();
    program.Turn();
    EXPECT_NE(TopScreen(), dialog);
    EXPECT_NE(dynamic_cast<IMSaveAsDialog*>(TopScreen()), nullptr);
}
