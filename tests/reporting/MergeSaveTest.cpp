// Saving the workbook's own file merges under a lock: two programs keep each other's rows, a lock held too long sends
// the rows to a fresh file beside it, interrupted saves leave no temporary file for long, a workbook that a spreadsheet
// program saved again goes on working, and pupils whose names the code page cannot hold keep worksheets of their own.

#include "reporting/StatisticsWorkbook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <sstream>

#include <fcntl.h>

#include "reporting/ChildProcess.h"
#include "reporting/WorkbookFiles.h"

using namespace workbook_test;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

class MergeSaveTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    const std::wstring bookPath = folder.Wide(L"Класс.xls");
    const std::string bookFile = folder.Utf8("Класс.xls");
};

std::vector<std::string> Names(const std::vector<Worksheet>& sheets)
{
    std::vector<std::string> names;
    for (const Worksheet& sheet : sheets)
        names.push_back(sheet.name);
    return names;
}

TEST_F(MergeSaveTest, TwoWorkbooksOfOneFileKeepEachOthersPupils)
{
    StatisticsWorkbook first(bookPath, L"Петя");
    StatisticsWorkbook second(bookPath, L"Маша");
    first.AddRow(L"Петя", L"1", L"Number");
    second.AddRow(L"Маша", L"2", L"Number");
    ASSERT_TRUE(first.Save(L""));
    ASSERT_TRUE(second.Save(L""));
    // Saved again with nothing new: nothing doubles.
    ASSERT_TRUE(first.Save(L""));

    const auto sheets = WorksheetsOf(ReadFile(bookFile));
    ASSERT_EQ(Names(sheets), (std::vector<std::string> {"Петя", "Маша"}));
    EXPECT_THAT(sheets[0].rows, ElementsAre(ElementsAre("Петя", "1")));
    EXPECT_THAT(sheets[1].rows, ElementsAre(ElementsAre("Маша", "2")));
}

TEST_F(MergeSaveTest, SaveAsOntoTheOwnFileIsAMergeToo)
{
    StatisticsWorkbook first(bookPath, L"Петя");
    StatisticsWorkbook second(bookPath, L"Маша");
    second.AddRow(L"Маша", L"2", L"Number");
    ASSERT_TRUE(second.Save(L""));
    first.AddRow(L"Петя", L"1", L"Number");
    ASSERT_TRUE(first.Save(first.FileName()));

    EXPECT_EQ(Names(WorksheetsOf(ReadFile(bookFile))), (std::vector<std::string> {"Маша", "Петя"}));
}

TEST_F(MergeSaveTest, TwoProcessesSavingAtOnceKeepBothPupilsRows)
{
    constexpr int Saves = 100;
    const auto saver = [this](const std::wstring& pupil) {
        return [this, pupil] {
            for (int i = 0; i < Saves; ++i) {
                StatisticsWorkbook book(bookPath, pupil);
                book.AddRow(L"Попытка", std::to_wstring(i), L"Number");
                if (book.SaveMerging() != StatisticsWorkbook::SaveOutcome::Merged)
                    return false;
            }
            return true;
        };
    };
    ChildProcess first(saver(L"Петя"));
    ChildProcess second(saver(L"Маша"));
    ASSERT_EQ(first.Wait(), 0);
    ASSERT_EQ(second.Wait(), 0);

    const auto sheets = WorksheetsOf(ReadFile(bookFile));
    ASSERT_EQ(sheets.size(), 2u);
    for (const Worksheet& sheet : sheets) {
        ASSERT_EQ(sheet.rows.size(), static_cast<std::size_t>(Saves)) << sheet.name;
        for (int i = 0; i < Saves; ++i)
            EXPECT_THAT(sheet.rows[i], ElementsAre("Попытка", std::to_string(i))) << sheet.name;
    }
    for (const std::string& name : folder.Listing())
        EXPECT_FALSE(name.ends_with(".tmp")) << name;

    if (!OnPath("soffice"))
        GTEST_SKIP() << "soffice is not installed (Debian package libreoffice-calc-nogui)";
    ASSERT_TRUE(ConvertToCsv(folder, "Класс.xls")) << ReadFile(folder.Utf8("soffice.log"));
    for (const char* pupil : {"Петя", "Маша"}) {
        const auto lines = Lines(ReadFile(folder.Utf8(std::string("csv/Класс-") + pupil + ".csv")));
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(Saves)) << pupil;
        EXPECT_EQ(lines.back(), "Попытка,99");
    }
}

TEST_F(MergeSaveTest, LockHeldPastTheWaitSendsTheRowsToAFreshFileBesideIt)
{
    // Another program holds the lock and does not let go.
    LockHeldElsewhere holder(folder.Utf8(".Класс.xls.lock"));
    ASSERT_TRUE(holder.Held());

    StatisticsWorkbook book(bookPath, L"Петя");
    book.SetLockWait(std::chrono::milliseconds(300));
    book.AddRow(L"Петя", L"1", L"Number");
    ::testing::internal::CaptureStderr();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(book.SaveMerging(), StatisticsWorkbook::SaveOutcome::SavedBeside);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(300)) << "it waited first";
    // Nothing new: the next save neither waits again nor makes another file.
    EXPECT_TRUE(book.Save(L""));
    const std::string log = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(Lines(log).size(), 1u) << log;
    EXPECT_THAT(log, HasSubstr("Класс (2).xls"));
    EXPECT_FALSE(std::filesystem::exists(bookFile));
    const auto sheets = WorksheetsOf(ReadFile(folder.Utf8("Класс (2).xls")));
    ASSERT_EQ(Names(sheets), std::vector<std::string> {"Петя"});
    EXPECT_THAT(sheets[0].rows, ElementsAre(ElementsAre("Петя", "1")));
    EXPECT_FALSE(std::filesystem::exists(folder.Utf8("Класс (3).xls")));

    // Once the lock is free the rows reach the workbook itself.
    holder.Release();
    book.AddRow(L"Петя", L"2", L"Number");
    EXPECT_EQ(book.SaveMerging(), StatisticsWorkbook::SaveOutcome::Merged);
    EXPECT_THAT(
        WorksheetsOf(ReadFile(bookFile))[0].rows, ElementsAre(ElementsAre("Петя", "1"), ElementsAre("Петя", "2")));
}

TEST_F(MergeSaveTest, StaleTemporaryFilesAreRemovedAtOpenAndSave)
{
    {
        StatisticsWorkbook book(bookPath, L"Петя");
        ASSERT_TRUE(book.Save(L""));
    }
    // What saves killed before their rename leave, and files that only look alike.
    const std::vector<std::string> stale {".Класс.xls.123456789.tmp", ".Класс.xls.7.tmp"};
    const std::vector<std::string> kept {".Класс.xls.12ab.tmp", ".Другой.xls.123.tmp", "Класс.xls.123.tmp"};
    const auto plant = [&] {
        for (const auto& name : stale)
            WriteFile(folder.Utf8(name), std::string(1000, 'x'));
        for (const auto& name : kept)
            WriteFile(folder.Utf8(name), "x");
    };
    const auto check = [&](const char* when) {
        const std::set<std::string> names = folder.Listing();
        for (const auto& name : stale)
            EXPECT_EQ(names.count(name), 0u) << name << " " << when;
        for (const auto& name : kept)
            EXPECT_EQ(names.count(name), 1u) << name << " " << when;
    };

    plant();
    StatisticsWorkbook book(bookPath, L"Петя");
    check("at open");
    plant();
    ASSERT_TRUE(book.Save(L""));
    check("at save");
}

TEST_F(MergeSaveTest, WorkbookResavedByLibreOfficeKeepsOneWorksheetPerPupil)
{
    // Our workbook of two pupils as LibreOffice Calc saves it again as XML Spreadsheet 2003
    // (soffice --convert-to 'xml:MS Excel 2003 XML'): worksheets written as "ss:Worksheet".
    std::filesystem::copy_file(ZV_SOURCE_DIR "tests/reporting/golden/ResavedByLibreOffice.xls", bookFile);

    StatisticsWorkbook book(bookPath, L"Иванов Петя");
    book.AddRow(L"Новая строка", L"7", L"Number");
    // The pupil's earlier rows are found for printing.
    const auto listing = book.Listing({});
    ASSERT_TRUE(listing);
    ASSERT_EQ(listing->rows.size(), 4u);
    EXPECT_EQ(listing->rows[0].front(), L"Время начала работы с упражнением");
    EXPECT_EQ(listing->rows[3], (std::vector<std::wstring> {L"Новая строка", L"7"}));
    ASSERT_TRUE(book.Save(L""));

    const std::string file = ReadFile(bookFile);
    const std::regex petya("Worksheet ss:Name=\"Иванов Петя\"");
    EXPECT_EQ(std::distance(std::sregex_iterator(file.begin(), file.end(), petya), std::sregex_iterator()), 1);
    EXPECT_THAT(file,
        HasSubstr("<Cell><Data ss:Type=\"Number\">100</Data></Cell></Row><Row><Cell><Data "
                  "ss:Type=\"String\">Новая строка</Data></Cell><Cell><Data ss:Type=\"Number\">7</Data>"));
    EXPECT_THAT(file, HasSubstr("ss:Name=\"Маша\""));

    // Opened again by this program, the same worksheet goes on.
    StatisticsWorkbook again(bookPath, L"Иванов Петя");
    EXPECT_EQ(again.Listing({})->rows.size(), 4u);
}

TEST_F(MergeSaveTest, AnEncodingTheLibraryCannotWriteIsSavedAsUtf8)
{
    // Found by fuzzing: a readable workbook declaring UTF-7 made every later save fail.
    WriteFile(bookFile,
        "<?xml version=\"1.0\" encoding=\"UTF-7\"?><Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
        "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\"><Worksheet ss:Name=\"Petya\"><Table><Row><Cell>"
        "<Data ss:Type=\"String\">old</Data></Cell></Row></Table></Worksheet></Workbook>");

    StatisticsWorkbook book(bookPath, L"Petya");
    book.AddRow(L"new", L"1", L"Number");
    ASSERT_TRUE(book.Save(L""));

    const std::string file = ReadFile(bookFile);
    EXPECT_THAT(file, ::testing::StartsWith(R"(<?xml version="1.0" encoding="UTF-8" standalone="no" ?>)"));
    EXPECT_THAT(WorksheetsOf(file)[0].rows, ElementsAre(ElementsAre("old"), ElementsAre("new", "1")));
}

TEST_F(MergeSaveTest, ARunLeavesOneFileBesideALockedWorkbookHoldingEveryPupil)
{
    LockHeldElsewhere holder(folder.Utf8(".Класс.xls.lock"));
    ASSERT_TRUE(holder.Held());

    // Pupils taking turns while the lock stays taken, the first one saving twice.
    ::testing::internal::CaptureStderr();
    StatisticsWorkbook first(bookPath, L"Петя");
    first.SetLockWait(std::chrono::milliseconds(50));
    first.AddRow(L"Петя", L"1", L"Number");
    EXPECT_EQ(first.SaveMerging(), StatisticsWorkbook::SaveOutcome::SavedBeside);
    first.AddRow(L"Петя", L"2", L"Number");
    EXPECT_EQ(first.SaveMerging(), StatisticsWorkbook::SaveOutcome::SavedBeside);
    StatisticsWorkbook second(bookPath, L"Маша");
    second.SetLockWait(std::chrono::milliseconds(50));
    second.AddRow(L"Маша", L"3", L"Number");
    EXPECT_EQ(second.SaveMerging(), StatisticsWorkbook::SaveOutcome::SavedBeside);
    ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(first.SavedBesidePath(), folder.Wide(L"Класс (2).xls"));
    EXPECT_FALSE(std::filesystem::exists(folder.Utf8("Класс (3).xls"))) << "one file beside for the whole run";
    const auto sheets = WorksheetsOf(ReadFile(folder.Utf8("Класс (2).xls")));
    ASSERT_EQ(Names(sheets), (std::vector<std::string> {"Петя", "Маша"}));
    EXPECT_THAT(sheets[0].rows, ElementsAre(ElementsAre("Петя", "1"), ElementsAre("Петя", "2")));
    EXPECT_THAT(sheets[1].rows, ElementsAre(ElementsAre("Маша", "3")));
}

struct NamesCase {
    const char* story;
    std::wstring first;
    std::wstring second;
    std::string firstWritten;  // the worksheet's name in the file
    std::string secondWritten;
};

class NamesTheCodePageLacks : public MergeSaveTest, public ::testing::WithParamInterface<NamesCase> { };

TEST_P(NamesTheCodePageLacks, KeepWorksheetsOfTheirOwn)
{
    for (const std::wstring& pupil : {GetParam().first, GetParam().second, GetParam().first}) {
        StatisticsWorkbook book(bookPath, pupil);
        book.AddRow(L"Ученик", L"1", L"Number");
        ASSERT_TRUE(book.Save(L""));
    }
    const auto sheets = WorksheetsOf(ReadFile(bookFile));
    ASSERT_EQ(Names(sheets), (std::vector<std::string> {GetParam().firstWritten, GetParam().secondWritten}));
    EXPECT_EQ(sheets[0].rows.size(), 2u);
    EXPECT_EQ(sheets[1].rows.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(MergeSaveTest, NamesTheCodePageLacks,
    ::testing::Values(NamesCase {"Tatar", L"Әлфия", L"Өлфия", "Әлфия", "Өлфия"},
        NamesCase {"Kazakh", L"Ғалым Қасым", L"Ұлан Қасым", "Ғалым Қасым", "Ұлан Қасым"},
        NamesCase {"Greek", L"Αλφα", L"Ωμεγα", "Αλφα", "Ωμεγα"},
        NamesCase {"Emoji", L"Петя \U0001F600", L"Петя \U0001F431", "Петя \U0001F600", "Петя \U0001F431"},
        NamesCase {"QuoteKeptInTheName", L"Σ \"1\"", L"Σ 2", "Σ &quot;1&quot;", "Σ 2"},
        NamesCase {"QuoteAndApostropheApart", L"Петя \"Гром\"", L"Петя 'Гром'", "Петя &quot;Гром&quot;", "Петя 'Гром'"},
        NamesCase {"ControlCharactersApart", L"Петя\x01", L"Петя\x02", "Петя\u2401", "Петя\u2402"},
        NamesCase {"CyrillicStaysInTheCodePage", L"Ёжиков №5", L"Ёжиков №6", "Ёжиков №5", "Ёжиков №6"}),
    [](const auto& info) { return std::string(info.param.story); });

}  // namespace
