// Printing the statistics from the result screen: the printer selection dialog with the queues of a private CUPS
// scheduler, and a pupil's worksheet printed through it into a PDF file that is read back. Also what happens without
// a printer, without the scheduler, with a printer that refuses the job, and while the scheduler hangs.

#include "reporting/IMSelectPrinterDialog.h"
#include "reporting/StatisticsWorkbook.h"

#include "WorkbookFiles.h"
#include "support/CupsTestServer.h"
#include "support/PdfReader.h"
#include "support/WindowScreen.h"

#include <atomic>
#include <filesystem>
#include <regex>
#include <thread>

using workbook_test::TemporaryFolder;

namespace {

constexpr Point DialogAt {220, 125};

class PrintingTest : public WindowScreen {
protected:
    void SetUp() override
    {
        WindowScreen::SetUp();
        REQUIRE_CUPS(server);
        ASSERT_TRUE(server.AddQueue("Zeta")) << server.WhyNot();
        ASSERT_TRUE(server.AddQueue("Office_PDF", true)) << server.WhyNot();
        ASSERT_TRUE(server.AddQueue("archive")) << server.WhyNot();
        workbook = std::make_unique<StatisticsWorkbook>(folder.Wide(L"Класс.xls"), L"Вася");
    }
    void TearDown() override
    {
        server.Resume();
        EXPECT_TRUE(PrintJob::WaitForAll(std::chrono::seconds(60)));
        workbook.reset();
    }

    void AddAttempt(const std::wstring& start, const std::wstring& calls, const std::wstring& seconds)
    {
        workbook->AddRow(L"Время начала работы с упражнением", start, L"String");
        workbook->AddRow(L"Количество дополнительных вызовов инструкций", calls, L"Number");
        workbook->AddRow(L"Общее время работы с упражнением. с.", seconds, L"Number");
        workbook->AddSeparatorRow();
    }
    // Opens the dialog as the result screen does, printing the workbook with the pupil's header.
    IMSelectPrinterDialog* OpenDialog(const ReportHeader& header)
    {
        dialog = OpenPrinterSelection(screen, [this, header](const std::wstring& printer) {
            printedWhileOpen = !closed;
            chosenPrinter = printer;
            job = workbook->Print(printer, header);
            return 0L;
        });
        dialog->ConnectClosing([this](const IMEvent&) {
            closed = true;
            return 0L;
        });
        Turn();
        return dialog;
    }
    // The screen point at the middle of a control of the dialog (pictures are hit only where they are opaque).
    Point Middle(const IMControl* control) const
    {
        const Rect r = control->GetRect();
        return {DialogAt.x + (r.left + r.right) / 2, DialogAt.y + (r.top + r.bottom) / 2};
    }
    void ClickPrint()
    {
        const Point at = Middle(dialog->okButton);
        Click(at.x, at.y);
        Turn();
    }
    // Waits for the job, then for the scheduler to have printed it, and returns the output's lines.
    std::vector<std::string> PrintedLines(const std::string& queue)
    {
        EXPECT_NE(job, nullptr);
        if (!job)
            return {};
        EXPECT_TRUE(job->Wait(std::chrono::seconds(60)));
        EXPECT_EQ(job->GetState(), PrintJob::State::Printed);
        EXPECT_TRUE(server.WaitUntilIdle());
        EXPECT_EQ(server.FinishedJobs()[job->JobNumber()], "Print1: Printing");
        return PdfLines(server.OutputPath(queue));
    }
    std::vector<std::wstring> ListedNames() const
    {
        std::vector<std::wstring> names;
        for (const IMList::Item* item : dialog->printerList->items)
            names.push_back(item->GetText());
        return names;
    }

    CupsTestServer server;
    TemporaryFolder folder;
    std::unique_ptr<StatisticsWorkbook> workbook;
    IMSelectPrinterDialog* dialog = nullptr;  // owned by the screen
    std::shared_ptr<PrintJob> job;
    std::wstring chosenPrinter = L"(not asked)";
    bool closed = false;
    bool printedWhileOpen = false;
};

// A line of the listing: the first column, at least two spaces, the second.
::testing::AssertionResult IsListingLine(const std::string& line, const std::string& first, const std::string& second)
{
    const std::regex shape("^\\s*" + first + "\\s{2,}" + second + "$");
    if (std::regex_match(line, shape))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << line << "\" is not \"" << first << " ... " << second << "\"";
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------------------
// The dialog

TEST_F(PrintingTest, DialogLayoutAndCloseButton)
{
    OpenDialog({});
    EXPECT_EQ(dialog->GetRect(), (Rect {220, 125, 580, 375}));
    EXPECT_EQ(dialog->printerList->GetRect(), (Rect {30, 58, 330, 158}));
    EXPECT_EQ(dialog->okButton->GetRect().left, 30);
    EXPECT_EQ(dialog->okButton->GetRect().top, 179);
    EXPECT_EQ(dialog->closeButton->GetRect().left, 221);
    EXPECT_EQ(dialog->closeButton->GetRect().top, 179);
    // The prompt, in black, above the list.
    bool prompt = false;
    dialog->ForEachChild([&](IMControl* child) {
        if (auto* text = dynamic_cast<IMStaticPictureBase<IMTextView>*>(child)) {
            prompt = text->GetText() == L"Выберите принтер:" && text->GetRect().left == 30 && text->GetRect().top == 38
                && text->GetGlyphColour(0) == 0xFF000000u;
        }
    });
    EXPECT_TRUE(prompt);

    const Point close = Middle(dialog->closeButton);
    Click(close.x, close.y);
    Turn();
    EXPECT_TRUE(closed);
    EXPECT_EQ(chosenPrinter, L"(not asked)") << "Close prints nothing";
}

TEST_F(PrintingTest, ListsTheQueuesInCupsOrderAndPreselectsTheDefault)
{
    OpenDialog({});
    EXPECT_EQ(ListedNames(), (std::vector<std::wstring> {L"archive", L"Office_PDF", L"Zeta"}));
    ASSERT_NE(dialog->printerList->selected, nullptr);
    EXPECT_EQ(dialog->printerList->selected, dialog->printerList->items[1]);
    EXPECT_FALSE(dialog->printerList->highlight->IsHidden());
    EXPECT_EQ(dialog->SelectedPrinter(), L"Office_PDF");

    // A click on another printer selects it instead.
    // Items lie in the list's items panel, inside its one-pixel frame.
    const Rect zeta = dialog->printerList->items[2]->GetRect();
    Click(DialogAt.x + 31 + zeta.left + 5, DialogAt.y + 59 + (zeta.top + zeta.bottom) / 2);
    EXPECT_EQ(dialog->SelectedPrinter(), L"Zeta");
}

struct UnlistedDefaultCase {
    const char* what;
    const char* lpdest;  // the user's default destination
};

class UnlistedDefault : public PrintingTest, public ::testing::WithParamInterface<UnlistedDefaultCase> { };

TEST_P(UnlistedDefault, PreselectsNothingAndPrintsNothing)
{
    EnvironmentOverride userDefault("LPDEST", GetParam().lpdest);
    AddAttempt(L"05-March-2008 14:07", L"2", L"312");
    OpenDialog(MakeReportHeader(L"Игра", L"00917", L"Вася"));
    EXPECT_EQ(ListedNames().size(), 3u);
    EXPECT_EQ(dialog->printerList->selected, nullptr);
    EXPECT_TRUE(dialog->printerList->highlight->IsHidden());

    ClickPrint();
    EXPECT_TRUE(printedWhileOpen);
    EXPECT_EQ(chosenPrinter, L"");
    EXPECT_EQ(job, nullptr) << "no printer, no job";
    EXPECT_TRUE(closed);
    ASSERT_TRUE(server.WaitUntilIdle());
    EXPECT_TRUE(server.FinishedJobs().empty());
}

INSTANTIATE_TEST_SUITE_P(PrintingTest, UnlistedDefault,
    ::testing::Values(UnlistedDefaultCase {"NoSuchQueue", "Nowhere"},
        UnlistedDefaultCase {"AnotherServersQueue", "Office_PDF@printserver.invalid"}),
    [](const auto& info) { return std::string(info.param.what); });

// ---------------------------------------------------------------------------------------------------------------------
// The printout

TEST_F(PrintingTest, TwoAttemptsPrintThreeHeaderLinesAnEmptyLineAndEightLines)
{
    AddAttempt(L"05-March-2008 14:07", L"2", L"312");
    AddAttempt(L"05-March-2008 14:20", L"0", L"95");
    OpenDialog(MakeReportHeader(L"Игра «Звонкары»", L"00917", L"Вася Пупкин"));
    ClickPrint();
    EXPECT_TRUE(printedWhileOpen) << "printed first, then closed";
    EXPECT_TRUE(closed);
    EXPECT_EQ(chosenPrinter, L"Office_PDF");

    // The last line, the second attempt's empty row, leaves nothing to read.
    const std::vector<std::string> lines = PrintedLines("Office_PDF");
    ASSERT_EQ(lines.size(), 11u) << ::testing::PrintToString(lines);
    EXPECT_TRUE(IsListingLine(lines[0], "Название", "Игра «Звонкары»"));
    EXPECT_TRUE(IsListingLine(lines[1], "Номер ЦОР", "00917"));
    EXPECT_TRUE(IsListingLine(lines[2], "Ученик", "Вася Пупкин"));
    EXPECT_EQ(lines[3], "");
    EXPECT_TRUE(IsListingLine(lines[4], "Время начала работы с упражнением", "05-March-2008 14:07"));
    EXPECT_TRUE(IsListingLine(lines[5], "Количество дополнительных вызовов инструкций", "2"));
    EXPECT_TRUE(IsListingLine(lines[6], "Общее время работы с упражнением\\. с\\.", "312"));
    EXPECT_EQ(lines[7], "");
    EXPECT_TRUE(IsListingLine(lines[8], "Время начала работы с упражнением", "05-March-2008 14:20"));
    EXPECT_TRUE(IsListingLine(lines[9], "Количество дополнительных вызовов инструкций", "0"));
    EXPECT_TRUE(IsListingLine(lines[10], "Общее время работы с упражнением\\. с\\.", "95"));
    EXPECT_EQ(PdfPageCount(server.OutputPath("Office_PDF")), 1);
}

TEST_F(PrintingTest, EveryAttemptTheWorkbookHoldsIsPrinted)
{
    // An earlier session's attempt is in the file; this session adds one.
    AddAttempt(L"04-March-2008 09:00", L"1", L"200");
    ASSERT_TRUE(workbook->Save(L""));
    workbook = std::make_unique<StatisticsWorkbook>(folder.Wide(L"Класс.xls"), L"Вася");
    AddAttempt(L"05-March-2008 14:07", L"2", L"312");

    job = workbook->Print(L"Office_PDF", MakeReportHeader(L"Игра", L"00917", L"Вася"));
    const std::vector<std::string> lines = PrintedLines("Office_PDF");
    ASSERT_EQ(lines.size(), 11u) << ::testing::PrintToString(lines);
    EXPECT_TRUE(IsListingLine(lines[4], "Время начала работы с упражнением", "04-March-2008 09:00"));
    EXPECT_TRUE(IsListingLine(lines[8], "Время начала работы с упражнением", "05-March-2008 14:07"));
}

struct TextCase {
    const char* what;
    const wchar_t* pupil;  // header: printed as it is, "?" only where the font has no glyph
    const wchar_t* cell;   // row: through the code page, "?" for what it lacks
    const char* printedPupil;
    const char* printedCell;
};

class PrintedText : public PrintingTest, public ::testing::WithParamInterface<TextCase> { };

TEST_P(PrintedText, CyrillicStaysOutsideTheCodePageBecomesQuestionMarks)
{
    workbook->AddRow(GetParam().cell, L"1", L"Number");
    job = workbook->Print(L"Office_PDF", MakeReportHeader(L"Игра", L"00917", GetParam().pupil));
    const std::vector<std::string> lines = PrintedLines("Office_PDF");
    ASSERT_EQ(lines.size(), 5u) << ::testing::PrintToString(lines);
    EXPECT_TRUE(IsListingLine(lines[2], "Ученик", GetParam().printedPupil));
    EXPECT_TRUE(IsListingLine(lines[4], GetParam().printedCell, "1"));
}

INSTANTIATE_TEST_SUITE_P(PrintingTest, PrintedText,
    ::testing::Values(
        TextCase {"Cyrillic", L"Ёжик Съешьжеещё", L"Щётка «№5» — ЪЫЬ", "Ёжик Съешьжеещё", "Щётка «№5» — ЪЫЬ"},
        TextCase {"Greek", L"Ωмега", L"Ωмега и λ", "Ωмега", "\\?мега и \\?"},
        TextCase {"Chinese", L"Вася 中文", L"Вася 中文", "Вася \\?\\?", "Вася \\?\\?"}),
    [](const auto& info) { return std::string(info.param.what); });

// ---------------------------------------------------------------------------------------------------------------------
// Without printing

TEST_F(PrintingTest, NoSchedulerListsNothingAndPrintsNothing)
{
    EnvironmentOverride nowhere("CUPS_SERVER", server.Folder() + "/nobody-listens.sock");
    AddAttempt(L"05-March-2008 14:07", L"2", L"312");
    OpenDialog(MakeReportHeader(L"Игра", L"00917", L"Вася"));
    EXPECT_TRUE(dialog->printerList->items.empty());
    ClickPrint();
    EXPECT_EQ(job, nullptr);
    EXPECT_TRUE(closed);

    // Even a printer named outright goes nowhere.
    job = workbook->Print(L"Office_PDF", MakeReportHeader(L"Игра", L"00917", L"Вася"));
    ASSERT_NE(job, nullptr);
    ASSERT_TRUE(job->Wait(std::chrono::seconds(60)));
    EXPECT_EQ(job->GetState(), PrintJob::State::Failed);
}

TEST_F(PrintingTest, ARefusedJobPrintsNothing)
{
    ASSERT_TRUE(server.RejectJobs("Office_PDF")) << server.WhyNot();
    AddAttempt(L"05-March-2008 14:07", L"2", L"312");
    OpenDialog(MakeReportHeader(L"Игра", L"00917", L"Вася"));
    ClickPrint();
    ASSERT_NE(job, nullptr);
    ASSERT_TRUE(job->Wait(std::chrono::seconds(60)));
    EXPECT_EQ(job->GetState(), PrintJob::State::Failed);
    ASSERT_TRUE(server.WaitUntilIdle());
    EXPECT_FALSE(std::filesystem::exists(server.OutputPath("Office_PDF")));
}

TEST_F(PrintingTest, AWorksheetWithoutATablePrintsNothing)
{
    // The pupil's worksheet in the file has lost its table.
    workbook.reset();
    workbook_test::WriteFile(folder.Utf8("Класс.xls"),
        R"(<?xml version="1.0"?><Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet" )"
        R"(xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet"><Worksheet ss:Name="Вася"/></Workbook>)");
    workbook = std::make_unique<StatisticsWorkbook>(folder.Wide(L"Класс.xls"), L"Вася");
    EXPECT_EQ(workbook->Print(L"Office_PDF", MakeReportHeader(L"Игра", L"00917", L"Вася")), nullptr);
}

TEST_F(PrintingTest, DialogShowsItsWholeSheetUnsqueezed)
{
    // The dialog's own backdrop lies over the stretched screen backdrop: its paper sheet ends inside the
    // dialog, its orange edge 7 pixels above the dialog's bottom and sky below it, where the squeezed
    // screen backdrop would show its sheet running off the edge.
    OpenDialog({});
    Frame();
    const std::uint32_t edge = Pixel(220 + 180, 125 + 243);
    const std::uint32_t sky = Pixel(220 + 180, 125 + 247);
    EXPECT_EQ(edge & 0xFFFFFFu, 0xF3B65Eu) << std::hex << edge;
    EXPECT_GT(sky & 0xFFu, (sky >> 16) & 0xFFu) << "sky, bluer than red: " << std::hex << sky;
}

// ---------------------------------------------------------------------------------------------------------------------
// A scheduler that hangs

TEST_F(PrintingTest, FramesKeepComingWhileAHangingSchedulerHasTheJob)
{
    AddAttempt(L"05-March-2008 14:07", L"2", L"312");
    OpenDialog(MakeReportHeader(L"Игра", L"00917", L"Вася"));
    ASSERT_EQ(dialog->SelectedPrinter(), L"Office_PDF");

    // A square that each frame shows or hides, to see fresh frames drawn.
    IMStaticPictureBase<IMTextureView>* blinker = screen->CreatePicture(0, 0, L"EditBarKaretka", 1);
    blinker->SetRect({0, 0, 50, 50});
    Frame();
    const std::uint32_t shown = Pixel(25, 25);
    blinker->Hide();
    Frame();
    const std::uint32_t hidden = Pixel(25, 25);
    ASSERT_NE(shown, hidden);

    // From now on the scheduler accepts connections and answers nothing. Should the press wait for it anyway, a
    // watchdog wakes the scheduler after a while: the press then comes back with the job over, and the test fails
    // instead of hanging.
    server.Suspend();
    std::atomic<bool> pressed = false;
    std::thread watchdog([&] {
        for (int i = 0; i < 300 && !pressed; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!pressed)
            server.Resume();
    });
    ClickPrint();
    pressed = true;
    watchdog.join();
    ASSERT_NE(job, nullptr);
    EXPECT_TRUE(closed);

    // Frames go on being drawn while the job waits for the scheduler.
    for (int frame = 0; frame < 20; ++frame) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        if (frame % 2 == 0)
            blinker->Show();
        else
            blinker->Hide();
        Frame();
        EXPECT_EQ(Pixel(25, 25), frame % 2 == 0 ? shown : hidden);
        ASSERT_EQ(job->GetState(), PrintJob::State::Running) << "the press waited for the scheduler";
    }

    // Once the scheduler answers again the job goes through.
    server.Resume();
    const std::vector<std::string> lines = PrintedLines("Office_PDF");
    ASSERT_EQ(lines.size(), 7u) << ::testing::PrintToString(lines);
    EXPECT_TRUE(IsListingLine(lines[2], "Ученик", "Вася"));
}
