// The journal of written rows: its text survives any field, a torn tail is dropped, a left-behind journal is merged
// into its workbook once, a living run's journal is left alone, and a crafted journal writes nowhere else.

#include "reporting/ResultsJournal.h"
#include "reporting/JournalReplay.h"
#include "reporting/StatisticsWorkbook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "reporting/WorkbookFiles.h"

using namespace workbook_test;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

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
        EntryCase {"EmptyFields", Row("a.xls", L"", L"", L"", L"")}),
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

}  // namespace
