// Results that a run could not save: a run killed in the middle of an attempt leaves its rows in the journal, and the
// next start merges them into the workbook, once; a results folder that cannot be written costs the attempt nothing.

#include "reporting/ChildProcess.h"
#include "reporting/ResultsJournal.h"
#include "support/AppFixture.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

using namespace workbook_test;

namespace {

const std::string WorkbookName = "00917 Игра «Звонкары».xls";

class ResultsRecoveryTest : public AppTest {
protected:
    std::vector<Worksheet> Sheets() const { return WorksheetsOf(ReadFile(folder.Utf8(WorkbookName))); }
    bool AnyJournal() const
    {
        for (const std::string& name : folder.Listing())
            if (name.ends_with(".journal"))
                return true;
        return false;
    }
};

TEST_F(ResultsRecoveryTest, RowsOfARunKilledMidAttemptAreInTheWorkbookOnceAfterTheNextStart)
{
    // The run: a pupil starts, finishes one attempt (rows 1 to 4), starts the next one (row 1 again) and is killed.
    Signal written;
    ChildProcess run([&] {
        app->OpenReport(L"Маша Иванова");
        app->SetPupilName(L"Маша Иванова");
        StartStep();
        Complete();
        PlayPraise();
        // Enter on the result screen: the step again, without an instruction.
        app->SetNextStep(L"Dialog1");
        app->NextStep();
        written.Send();
        for (;;)
            ::pause();
        return true;
    });
    ASSERT_TRUE(written.Await());
    run.Kill();
    ASSERT_FALSE(std::filesystem::exists(folder.Utf8(WorkbookName))) << "the run never saved";
    ASSERT_TRUE(AnyJournal());

    // The next start, twice over: the rows are there once.
    for (int start = 0; start < 2; ++start) {
        app->RecoverResults();
        app->WaitForResults();
        const auto sheets = Sheets();
        ASSERT_EQ(sheets.size(), 1u);
        EXPECT_EQ(sheets[0].name, "Маша Иванова");
        const auto& rows = sheets[0].rows;
        ASSERT_EQ(rows.size(), 5u) << "start " << start;
        EXPECT_EQ(rows[0][0], "Время начала работы с упражнением");
        EXPECT_EQ(rows[1][0], "Количество дополнительных вызовов инструкций");
        EXPECT_EQ(rows[2][0], "Общее время работы с упражнением. с.");
        EXPECT_TRUE(rows[3].empty());
        EXPECT_EQ(rows[4][0], "Время начала работы с упражнением");
        EXPECT_FALSE(AnyJournal());
    }
}

TEST_F(ResultsRecoveryTest, RowsAreMergedWhenTheNextPupilStarts)
{
    ChildProcess run([&] {
        app->OpenReport(L"Петя");
        app->AddStatisticsRow(L"Петя", L"1", L"Number");
        ::kill(::getpid(), SIGKILL);
        return false;
    });
    run.Wait();

    app->OpenReport(L"Маша");
    app->AddStatisticsRow(L"Маша", L"2", L"Number");
    app->SaveReport();

    const auto sheets = Sheets();
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets[0].name, "Петя");
    EXPECT_EQ(sheets[0].rows, (std::vector<std::vector<std::string>> {{"Петя", "1"}}));
    EXPECT_EQ(sheets[1].rows, (std::vector<std::vector<std::string>> {{"Маша", "2"}}));
}

// A class taking turns at one computer: every pupil's rows are saved, and closing the window saves the workbook once,
// not once for every pupil the run has had.
TEST_F(ResultsRecoveryTest, PupilsTakingTurnsAreSavedAndClosingSavesOnce)
{
    const std::size_t slotsBefore = app->mainWindow->Closing.num_slots();
    for (const wchar_t* pupil : {L"Маша", L"Петя", L"Оля"}) {
        app->OpenReport(pupil);
        app->AddStatisticsRow(pupil, L"1", L"Number");
    }
    EXPECT_EQ(app->mainWindow->Closing.num_slots(), slotsBefore)
        << "the window's own slot saves every pupil's workbook";
    app->mainWindow->Closing(IMEvent(app->mainWindow.get(), 0));

    const auto sheets = Sheets();
    ASSERT_EQ(sheets.size(), 3u);
    EXPECT_EQ(sheets[0].name, "Маша");
    EXPECT_EQ(sheets[1].name, "Петя");
    EXPECT_EQ(sheets[2].name, "Оля");
    EXPECT_EQ(sheets[2].rows, (std::vector<std::vector<std::string>> {{"Оля", "1"}}));
}

// Runs that were killed left three journals, and a hung program holds the workbook's lock: the start popup and the
// pupil's Enter come at once, and no file is written beside the workbook for rows that wait in their journals.
TEST_F(ResultsRecoveryTest, JournalsAndAStuckLockNeverHoldUpTheScreen)
{
    for (const char* run : {"dead-1", "dead-2", "dead-3"}) {
        JournalEntry entry;
        entry.workbook = WorkbookName;
        entry.sheet = L"Петя";
        entry.name = L"Петя";
        entry.value = L"1";
        entry.type = L"Number";
        WriteFile(folder.Utf8(std::string(".zvonkary-") + run + ".journal"),
            std::string(JournalVersionLine) + FormatJournalEntry(entry));
    }
    LockHeldElsewhere holder(folder.Utf8("." + WorkbookName + ".lock"));
    ASSERT_TRUE(holder.Held());

    // The start: recovery, the start popup's first frame, the pupil's Enter. What used to wait for the lock (once per
    // journal) returns at once; the whole start, frame included, takes nothing like one lock wait even under the
    // sanitizers on a busy machine.
    const auto started = std::chrono::steady_clock::now();
    app->RecoverResults();
    const auto recovered = std::chrono::steady_clock::now();
    app->ShowStartPopup();
    program.Turn();
    const auto drawn = std::chrono::steady_clock::now();
    app->OpenReport(L"Маша");
    const auto entered = std::chrono::steady_clock::now();
    EXPECT_LT(recovered - started, std::chrono::milliseconds(200));
    EXPECT_LT(entered - drawn, std::chrono::milliseconds(500));
    EXPECT_LT(entered - started, StatisticsWorkbook::DefaultLockWait / 2);
    app->WaitForResults();
    EXPECT_FALSE(std::filesystem::exists(folder.Utf8("00917 Игра «Звонкары» (2).xls")));

    // Once the lock is free, the next start merges every journal.
    holder.Release();
    app->RecoverResults();
    app->WaitForResults();
    const auto sheets = Sheets();
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets[0].rows.size(), 3u);
}

// A results folder named by the environment that is not there (a share that is not mounted): the rows go to the
// user's own folder, nothing is made where the share belongs, and the result screen's text says where they went.
TEST_F(ResultsRecoveryTest, MissingResultsFolderIsNotMadeAndTheResultScreenSaysWhereTheResultsWent)
{
    const std::string share = folder.Utf8("share");
    const std::string data = folder.Utf8("data");
    ::setenv("ZVONKARY_RESULTS_DIR", share.c_str(), 1);
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    app->OpenReport(L"Маша");
    app->AddStatisticsRow(L"Маша", L"1", L"Number");
    const std::wstring notice = app->ResultsNotice();
    app->SaveReport();
    ::unsetenv("XDG_DATA_HOME");

    EXPECT_FALSE(std::filesystem::exists(share));
    EXPECT_TRUE(std::filesystem::exists(data + "/KVRT/" + WorkbookName));
    EXPECT_NE(notice.find(FromUtf8(share)), std::wstring::npos) << ToUtf8(notice);
    EXPECT_NE(notice.find(FromUtf8(data + "/KVRT/")), std::wstring::npos) << ToUtf8(notice);
    EXPECT_NE(notice.find(L"недоступна"), std::wstring::npos) << ToUtf8(notice);
}

// A workbook whose lock a hung program holds: the exit says in Russian where the results went instead.
TEST_F(ResultsRecoveryTest, TheExitSaysWhereTheResultsWentWhenTheWorkbookWasLocked)
{
    LockHeldElsewhere holder(folder.Utf8("." + WorkbookName + ".lock"));
    ASSERT_TRUE(holder.Held());
    app->OpenReport(L"Маша");
    app->report->SetLockWait(std::chrono::milliseconds(50));
    app->AddStatisticsRow(L"Маша", L"1", L"Number");

    ::testing::internal::CaptureStderr();
    app->SaveReport();
    const std::string log = ::testing::internal::GetCapturedStderr();

    EXPECT_NE(log.find("Результаты сохранены в файл «" + folder.Utf8("00917 Игра «Звонкары» (2).xls") + "»"),
        std::string::npos)
        << log;
    EXPECT_NE(app->ResultsNotice().find(L"(2).xls"), std::wstring::npos);
    EXPECT_NE(app->ExitNotice().find(L"(2).xls"), std::wstring::npos);
}

// The non-empty lines of a text.
std::size_t LineCount(const std::string& text)
{
    std::stringstream stream(text);
    std::size_t count = 0;
    for (std::string line; std::getline(stream, line);)
        count += line.empty() ? 0 : 1;
    return count;
}

TEST_F(ResultsRecoveryTest, ReadOnlyResultsFolderCostsTheAttemptNothing)
{
    app->OpenReport(L"Маша Иванова");
    app->SetPupilName(L"Маша Иванова");
    // The folder can no longer be written. Permission bits do not stop root, which the tests may run as; a folder that
    // is gone stops everyone.
    const std::filesystem::path results = folder.path;
    if (::geteuid() == 0)
        std::filesystem::remove_all(results);
    else
        ::chmod(results.c_str(), 0555);

    ::testing::internal::CaptureStderr();
    StartStep();
    Complete();
    PlayPraise();
    const std::string log = ::testing::internal::GetCapturedStderr();
    ::chmod(results.c_str(), 0755);

    EXPECT_EQ(LineCount(log), 1u) << log;
    EXPECT_NE(log.find("journal"), std::string::npos) << log;
    // The attempt went on to the result screen, and its rows are still the workbook's.
    EXPECT_EQ(app->stepDialog, nullptr);
    const auto listing = app->report->Listing({});
    ASSERT_TRUE(listing);
    EXPECT_EQ(listing->rows.size(), 4u);
}

}  // namespace
