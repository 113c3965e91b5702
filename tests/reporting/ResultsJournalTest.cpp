// The journal of written rows: its text survives any field, a torn tail is dropped, a left-behind journal is merged
// into its workbook once, a living run's journal is left alone, and a crafted journal writes nowhere else.

#include "reporting/ResultsJournal.h"
#include "reporting/JournalReplay.h"
#include "reporting/StatisticsWorkbook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "reporting/ChildProcess.h"
#include "reporting/WorkbookFiles.h"

using namespace workbook_test;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

JournalEntry Row(const std::string& workbook, const std::wstring& sheet, const std::wstring& name,
    const std::wstring& value, const std::wstring& type = L"Number")
{
    JournalEntry entry;
    entry.workbook = workbook;
    entry.sheet = sheet;
    entry.name = name;
    entry.value = value;
    entry.type = type;
    return entry;
}

JournalEntry Empty(const std::string& workbook, const std::wstring& sheet)
{
    JournalEntry entry;
    entry.workbook = workbook;
    entry.sheet = sheet;
    entry.empty = true;
    return entry;
}

struct EntryCase {
    const char* story;
    JournalEntry entry;
};

class JournalText : public ::testing::TestWithParam<EntryCase> { };

TEST_P(JournalText, IsOneLineThatReadsBackTheSame)
{
    const std::string line = FormatJournalEntry(GetParam().entry);
    EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line, ended by its line break";
    bool known = false;
    EXPECT_THAT(ParseJournal(std::string(JournalVersionLine) + line, known), ElementsAre(GetParam().entry));
    EXPECT_TRUE(known);
}

INSTANTIATE_TEST_SUITE_P(ResultsJournalTest, JournalText,
    ::testing::Values(EntryCase {"Cyrillic", Row("Класс.xls", L"Маша", L"Общее время", L"95")},
        EntryCase {"EmptyRow", Empty("Класс.xls", L"Маша")},
        EntryCase {"TabsAndLineBreaks", Row("a.xls", L"Ма\tша\n", L"x\r\ny", L"\t", L"String")},
        EntryCase {"Backslashes", Row("a.xls", L"\\t", L"\\", L"\\\\n", L"String")},
        EntryCase {"BeyondTheBasicPlane", Row("a.xls", L"Әлфия \U0001F600", L"α", L"1")},
        EntryCase {"EmptyFields", Row("a.xls", L"", L"", L"", L"")},
        EntryCase {"Numbered",
            [] {
                JournalEntry entry = Row("Класс.xls", L"Маша", L"Общее время", L"95");
                entry.sequence = 17;
                return entry;
            }()},
        EntryCase {"NumberedEmptyRow",
            [] {
                JournalEntry entry = Empty("Класс.xls", L"Маша");
                entry.sequence = 18;
                return entry;
            }()}),
    [](const auto& info) { return std::string(info.param.story); });

TEST(ResultsJournalTest, ParsingDropsATornTailAndDamagedLines)
{
    const std::string first = FormatJournalEntry(Row("a.xls", L"Маша", L"первая", L"1"));
    const std::string second = FormatJournalEntry(Row("a.xls", L"Маша", L"вторая", L"2"));
    const std::string torn = FormatJournalEntry(Row("a.xls", L"Маша", L"третья", L"3"));
    bool known = false;
    const auto entries = ParseJournal(std::string(JournalVersionLine) + first + "row\tbroken\\q\n" + "what\n" + second
            + torn.substr(0, torn.size() / 2),
        known);
    EXPECT_TRUE(known);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, L"первая");
    EXPECT_EQ(entries[1].name, L"вторая");
}

TEST(ResultsJournalTest, AnotherVersionIsNotRead)
{
    bool known = true;
    EXPECT_THAT(
        ParseJournal("zvonkary-journal 2\n" + FormatJournalEntry(Row("a.xls", L"М", L"x", L"1")), known), IsEmpty());
    EXPECT_FALSE(known);
}

class JournalReplayTest : public ::testing::Test {
protected:
    // A journal left behind by a run, as its bytes.
    void LeaveJournal(const std::string& name, const std::string& bytes) const
    {
        WriteFile(folder.Utf8(".zvonkary-" + name + ".journal"), bytes);
    }
    std::string Folder() const { return folder.path.string() + "/"; }
    std::vector<Worksheet> Sheets() const { return WorksheetsOf(ReadFile(folder.Utf8("Класс.xls"))); }

    TemporaryFolder folder;
};

TEST_F(JournalReplayTest, TornJournalMergesItsCompleteEntriesOnce)
{
    const std::string torn = FormatJournalEntry(Row("Класс.xls", L"Маша", L"Общее время", L"95"));
    LeaveJournal("dead-1",
        std::string(JournalVersionLine)
            + FormatJournalEntry(Row("Класс.xls", L"Маша", L"Начало", L"05-March-2008 14:07", L"String"))
            + FormatJournalEntry(Row("Класс.xls", L"Маша", L"Вызовы", L"2")) + torn.substr(0, torn.size() - 5));

    EXPECT_EQ(ReplayJournals(Folder()), 1);
    const auto sheets = Sheets();
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets[0].name, "Маша");
    EXPECT_THAT(sheets[0].rows, ElementsAre(ElementsAre("Начало", "05-March-2008 14:07"), ElementsAre("Вызовы", "2")));

    // The journal is gone with its rows merged; a second start merges nothing again.
    EXPECT_EQ(ReplayJournals(Folder()), 0);
    EXPECT_EQ(Sheets()[0].rows.size(), 2u);
    for (const std::string& name : folder.Listing())
        EXPECT_FALSE(name.ends_with(".journal")) << name;
}

TEST_F(JournalReplayTest, EntriesGoToTheirOwnPupilsAfterTheRowsAlreadySaved)
{
    {
        StatisticsWorkbook book(folder.Wide(L"Класс.xls"), L"Петя");
        book.AddRow(L"Сохранено", L"1", L"Number");
        ASSERT_TRUE(book.Save(L""));
    }
    LeaveJournal("dead-2",
        std::string(JournalVersionLine) + FormatJournalEntry(Row("Класс.xls", L"Петя", L"Из журнала", L"2"))
            + FormatJournalEntry(Row("Класс.xls", L"Маша", L"Маша", L"3"))
            + FormatJournalEntry(Empty("Класс.xls", L"Петя")));

    EXPECT_EQ(ReplayJournals(Folder()), 1);
    const auto sheets = Sheets();
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_THAT(sheets[0].rows, ElementsAre(ElementsAre("Сохранено", "1"), ElementsAre("Из журнала", "2"), IsEmpty()));
    EXPECT_THAT(sheets[1].rows, ElementsAre(ElementsAre("Маша", "3")));
}

TEST_F(JournalReplayTest, JournalOfALivingRunIsLeftAlone)
{
    StatisticsWorkbook book(folder.Wide(L"Класс.xls"), L"Маша");
    book.KeepJournal();
    book.AddRow(L"Начало", L"1", L"Number");

    EXPECT_EQ(ReplayJournals(Folder()), 0);
    EXPECT_FALSE(std::filesystem::exists(folder.Utf8("Класс.xls"))) << "nothing merged behind the run's back";
}

TEST_F(JournalReplayTest, JournalOfASavedWorkbookIsRemovedWithIt)
{
    {
        StatisticsWorkbook book(folder.Wide(L"Класс.xls"), L"Маша");
        book.KeepJournal();
        book.AddRow(L"Начало", L"1", L"Number");
        ASSERT_TRUE(book.Save(L""));
    }
    EXPECT_EQ(ReplayJournals(Folder()), 0);
    EXPECT_EQ(Sheets()[0].rows.size(), 1u);
    for (const std::string& name : folder.Listing())
        EXPECT_FALSE(name.ends_with(".journal")) << name;
}

TEST_F(JournalReplayTest, CraftedWorkbookNamesWriteNothingOutsideTheFolder)
{
    const std::filesystem::path outside = folder.path / "outside";
    std::filesystem::create_directory(outside);
    const std::filesystem::path inside = folder.path / "results";
    std::filesystem::create_directory(inside);
    WriteFile((inside / ".zvonkary-crafted.journal").string(),
        std::string(JournalVersionLine) + FormatJournalEntry(Row("../outside/x.xls", L"М", L"a", L"1"))
            + FormatJournalEntry(Row((outside / "y.xls").string(), L"М", L"a", L"1"))
            + FormatJournalEntry(Row("..", L"М", L"a", L"1")) + FormatJournalEntry(Row("notes.txt", L"М", L"a", L"1")));

    ReplayJournals(inside.string() + "/");

    EXPECT_TRUE(std::filesystem::is_empty(outside));
    EXPECT_FALSE(std::filesystem::exists(inside / "notes.txt"));
}

// A run that saved its rows and was killed before it could retire them: the workbook holds them, and the journal
// still does too.
TEST_F(JournalReplayTest, RowsSavedButNotRetiredWhenTheRunWasKilledAreMergedOnce)
{
    ChildProcess run([&] {
        StatisticsWorkbook book(folder.Wide(L"Класс.xls"), L"Маша");
        book.KeepJournal();
        book.AddRow(L"Начало", L"1", L"Number");
        book.AddRow(L"Вызовы", L"2", L"Number");
        book.AddSeparatorRow();
        // The journal as it stood between the rename of the saved workbook and the journal's retirement.
        std::string journal;
        for (const std::string& name : folder.Listing())
            if (name.ends_with(".journal"))
                journal = name;
        const std::string entries = ReadFile(folder.Utf8(journal));
        if (!book.Save(L""))
            return false;
        WriteFile(folder.Utf8(journal), entries);
        ::_exit(0);  // killed: no destructor runs
    });
    ASSERT_EQ(run.Wait(), 0);
    ASSERT_EQ(Sheets()[0].rows.size(), 3u);

    EXPECT_EQ(ReplayJournals(Folder()), 1);

    EXPECT_THAT(Sheets()[0].rows, ElementsAre(ElementsAre("Начало", "1"), ElementsAre("Вызовы", "2"), IsEmpty()));
    for (const std::string& name : folder.Listing())
        EXPECT_FALSE(name.ends_with(".journal")) << name;
}

// A replay killed after one pupil's rows reached the workbook and before the journal went: the next replay adds
// only what is missing.
TEST_F(JournalReplayTest, ReplayRepeatedAfterItWasKilledMergesEachRowOnce)
{
    const std::string journal = std::string(JournalVersionLine)
        + FormatJournalEntry(Row("Класс.xls", L"Петя", L"Петя", L"1"))
        + FormatJournalEntry(Row("Класс.xls", L"Маша", L"Маша", L"2"))
        + FormatJournalEntry(Row("Класс.xls", L"Петя", L"Петя", L"3"));
    LeaveJournal("dead-3", journal);
    ASSERT_EQ(ReplayJournals(Folder()), 1);
    // The same journal again, as a killed replay would have left it.
    LeaveJournal("dead-3", journal);

    EXPECT_EQ(ReplayJournals(Folder()), 1);

    const auto sheets = Sheets();
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_THAT(sheets[0].rows, ElementsAre(ElementsAre("Петя", "1"), ElementsAre("Петя", "3")));
    EXPECT_THAT(sheets[1].rows, ElementsAre(ElementsAre("Маша", "2")));
}

TEST_F(JournalReplayTest, RecordOfMergedRowsForgetsJournalsThatAreGone)
{
    LeaveJournal("dead-4", std::string(JournalVersionLine) + FormatJournalEntry(Row("Класс.xls", L"Петя", L"a", L"1")));
    ASSERT_EQ(ReplayJournals(Folder()), 1);
    EXPECT_THAT(ReadFile(folder.Utf8("Класс.xls")), HasSubstr(".zvonkary-dead-4.journal 1"));

    // The next save finds the journal gone and drops its record.
    StatisticsWorkbook book(folder.Wide(L"Класс.xls"), L"Петя");
    book.AddRow(L"b", L"2", L"Number");
    ASSERT_TRUE(book.Save(L""));
    EXPECT_THAT(ReadFile(folder.Utf8("Класс.xls")), Not(HasSubstr("dead-4")));
}

// A journal that stopped the program while it was merged (a crash, say) must not stop every later start: after two
// unfinished replays it is put aside, kept, and said so.
TEST_F(JournalReplayTest, JournalWhoseReplayNeverFinishedIsMovedAside)
{
    const std::string bytes = std::string(JournalVersionLine)
        + FormatJournalEntry(Row("Класс.xls", L"Петя", L"a", L"1")) + std::string(JournalReplayLine)
        + std::string(JournalReplayLine);
    LeaveJournal("dead-5", bytes);

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ReplayJournals(Folder()), 0);
    const std::string log = ::testing::internal::GetCapturedStderr();

    EXPECT_THAT(log, HasSubstr(".zvonkary-dead-5.journal.failed"));
    EXPECT_EQ(ReadFile(folder.Utf8(".zvonkary-dead-5.journal.failed")), bytes);
    EXPECT_FALSE(std::filesystem::exists(folder.Utf8("Класс.xls")));
    EXPECT_EQ(ReplayJournals(Folder()), 0) << "not tried again";
}

TEST_F(JournalReplayTest, OneUnfinishedReplayIsTriedAgain)
{
    LeaveJournal("dead-6",
        std::string(JournalVersionLine) + FormatJournalEntry(Row("Класс.xls", L"Петя", L"a", L"1"))
            + std::string(JournalReplayLine));

    EXPECT_EQ(ReplayJournals(Folder()), 1);
    EXPECT_THAT(Sheets()[0].rows, ElementsAre(ElementsAre("a", "1")));
}

// A hung program holds the workbook's lock: the replay neither waits long nor writes files beside the workbook, and
// the rows stay in their journals, however often it runs.
TEST_F(JournalReplayTest, StuckLockLeavesTheRowsInTheirJournalsWithoutWaitingOrCopies)
{
    for (const char* run : {"dead-7", "dead-8", "dead-9"})
        LeaveJournal(run, std::string(JournalVersionLine) + FormatJournalEntry(Row("Класс.xls", L"Петя", L"a", L"1")));
    LockHeldElsewhere holder(folder.Utf8(".Класс.xls.lock"));
    ASSERT_TRUE(holder.Held());

    for (int start = 0; start < 3; ++start) {
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(ReplayJournals(Folder()), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - started, StatisticsWorkbook::DefaultLockWait / 2)
            << "start " << start;
    }

    std::set<std::string> expected {
        ".zvonkary-dead-7.journal", ".zvonkary-dead-8.journal", ".zvonkary-dead-9.journal", ".Класс.xls.lock"};
    EXPECT_EQ(folder.Listing(), expected) << "no workbook beside the locked one";
    holder.Release();
    EXPECT_EQ(ReplayJournals(Folder()), 3);
    EXPECT_EQ(Sheets()[0].rows.size(), 3u);
}

TEST_F(JournalReplayTest, StartingFilesOfDeadRunsAreRemovedAndFreshOnesKept)
{
    const std::string dead = folder.Utf8(".zvonkary-dead-10.new");
    const std::string starting = folder.Utf8(".zvonkary-starting-11.new");
    WriteFile(dead, "zvonkary-journal 1\n");
    WriteFile(starting, "zvonkary-journal 1\n");
    std::filesystem::last_write_time(dead, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));

    ReplayJournals(Folder());

    EXPECT_FALSE(std::filesystem::exists(dead));
    EXPECT_TRUE(std::filesystem::exists(starting)) << "a program may be making it right now";
}

}  // namespace
