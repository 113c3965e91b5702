// The statistics workbook: its file format byte for byte, worksheets per pupil, text conversion, saving that never
// damages the file on disk, unreadable files kept as backups, crafted files that must not reach other files, and a
// spreadsheet application reading the result.

#include "reporting/StatisticsWorkbook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <regex>
#include <sstream>

#include <unistd.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include "reporting/WorkbookFiles.h"

using namespace workbook_test;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

const std::wstring StartRowName = L"Время начала работы с упражнением";
const std::wstring CallsRowName = L"Количество дополнительных вызовов инструкций";
const std::wstring TotalRowName = L"Общее время работы с упражнением. с.";

// One attempt's rows as the application writes them.
void AddAttempt(StatisticsWorkbook& book, const std::wstring& started, int calls, int seconds)
{
    book.AddRow(StartRowName, started, L"String");
    book.AddRow(CallsRowName, std::to_wstring(calls), L"Number");
    book.AddRow(TotalRowName, std::to_wstring(seconds), L"Number");
    book.AddSeparatorRow();
}

std::vector<std::vector<std::string>> AttemptRows(const std::string& started, int calls, int seconds)
{
    return {{"Время начала работы с упражнением", started},
        {"Количество дополнительных вызовов инструкций", std::to_string(calls)},
        {"Общее время работы с упражнением. с.", std::to_string(seconds)}, {}};
}

std::vector<std::vector<std::string>> Join(
    std::vector<std::vector<std::string>> first, const std::vector<std::vector<std::string>>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

class StatisticsWorkbookTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    const std::wstring bookPath = folder.Wide(L"Класс.xls");
    const std::string bookFile = folder.Utf8("Класс.xls");
};

// ---------------------------------------------------------------------------------------------------------------------
// Format and worksheets

TEST_F(StatisticsWorkbookTest, FreshWorkbookIsTheTemplateWithThePupilsEmptyWorksheet)
{
    // Open a workbook for a file that does not exist yet and save it without rows.
    {
        StatisticsWorkbook book(bookPath, L"Иванов Петя");
        EXPECT_TRUE(folder.Listing().empty()) << "opening writes nothing";
        ASSERT_TRUE(book.Save(L""));
    }

    // Byte for byte: declaration, processing instruction, the template's Workbook and one empty worksheet.
    EXPECT_EQ(ReadFile(bookFile), ReadFile(ZV_SOURCE_DIR "tests/reporting/golden/FreshWorkbook.xls"));
    // Beside it only the lock file that every save of the workbook takes.
    EXPECT_EQ(folder.Listing(), (std::set<std::string> {"Класс.xls", ".Класс.xls.lock"}))
        << "no temporary file is left behind";
}

TEST_F(StatisticsWorkbookTest, AnotherPupilsWorksheetIsKeptUnchangedAndFirst)
{
    // Petya works first and his results are saved.
    {
        StatisticsWorkbook book(bookPath, L"Иванов Петя");
        AddAttempt(book, L"05-March-2008 14:07", 2, 312);
        ASSERT_TRUE(book.Save(L""));
    }
    const std::vector<Worksheet> before = WorksheetsOf(ReadFile(bookFile));
    ASSERT_EQ(before.size(), 1u);

    // Masha opens the same file and finishes an attempt.
    {
        StatisticsWorkbook book(bookPath, L"Маша");
        AddAttempt(book, L"05-March-2008 14:30", 0, 95);
        ASSERT_TRUE(book.Save(L""));
    }

    const std::vector<Worksheet> after = WorksheetsOf(ReadFile(bookFile));
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].markup, before[0].markup);
    EXPECT_EQ(after[1].name, "Маша");
    EXPECT_EQ(after[1].columns, 2);
    EXPECT_EQ(after[1].rows, AttemptRows("05-March-2008 14:30", 0, 95));
}

struct SecondSessionCase {
    const char* story;
    std::wstring secondName;
    std::vector<std::string> expectedNames;  // worksheets after the second session, in file order
};

void PrintTo(const SecondSessionCase& value, std::ostream* out)
{
    *out << value.story;
}

class SecondSession : public StatisticsWorkbookTest, public ::testing::WithParamInterface<SecondSessionCase> { };

TEST_P(SecondSession, FindsTheWorksheetByItsExactName)
{
    // A first session of "Иванов Петя", saved.
    {
        StatisticsWorkbook book(bookPath, L"Иванов Петя");
        AddAttempt(book, L"05-March-2008 14:07", 1, 100);
        ASSERT_TRUE(book.Save(L""));
    }

    // A second session under the name of the case.
    {
        StatisticsWorkbook book(bookPath, GetParam().secondName);
        AddAttempt(book, L"06-March-2008 09:00", 3, 200);
        ASSERT_TRUE(book.Save(L""));
    }

    const std::vector<Worksheet> sheets = WorksheetsOf(ReadFile(bookFile));
    std::vector<std::string> names;
    for (const Worksheet& sheet : sheets)
        names.push_back(sheet.name);
    ASSERT_EQ(names, GetParam().expectedNames);
    for (const Worksheet& sheet : sheets)
        EXPECT_EQ(sheet.columns, 2) << sheet.name << ": columns are added once, with the worksheet";
    const auto first = AttemptRows("05-March-2008 14:07", 1, 100);
    const auto second = AttemptRows("06-March-2008 09:00", 3, 200);
    if (sheets.size() == 1) {
        EXPECT_EQ(sheets[0].rows, Join(first, second));
    } else {
        EXPECT_EQ(sheets[0].rows, first);
        EXPECT_EQ(sheets[1].rows, second);
    }
}

INSTANTIATE_TEST_SUITE_P(StatisticsWorkbookTest, SecondSession,
    ::testing::Values(SecondSessionCase {"SameName", L"Иванов Петя", {"Иванов Петя"}},
        SecondSessionCase {"NameInOtherCase", L"иванов петя", {"Иванов Петя", "иванов петя"}},
        SecondSessionCase {"NameWithTrailingSpace", L"Иванов Петя ", {"Иванов Петя", "Иванов Петя "}}),
    [](const auto& info) { return std::string(info.param.story); });

struct TextCase {
    const char* story;
    std::wstring text;
    std::string written;           // how it stands in the file, escaped
    std::string writtenName = {};  // how it stands as the worksheet's name, when not as `written`
};

void PrintTo(const TextCase& value, std::ostream* out)
{
    *out << value.story;
}

class TextConversion : public StatisticsWorkbookTest, public ::testing::WithParamInterface<TextCase> { };

TEST_P(TextConversion, ReachesTheFileInTheCodePageAndEscaped)
{
    // The same text as the pupil's name, a row's name and a row's value.
    {
        StatisticsWorkbook book(bookPath, GetParam().text);
        book.AddRow(GetParam().text, GetParam().text, L"String");
        ASSERT_TRUE(book.Save(L""));
    }

    const std::vector<Worksheet> sheets = WorksheetsOf(ReadFile(bookFile));
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets[0].name, GetParam().writtenName.empty() ? GetParam().written : GetParam().writtenName);
    EXPECT_THAT(sheets[0].rows, ElementsAre(ElementsAre(GetParam().written, GetParam().written)));

    // The converted name finds its worksheet again.
    {
        StatisticsWorkbook book(bookPath, GetParam().text);
        ASSERT_TRUE(book.Save(L""));
    }
    EXPECT_EQ(WorksheetsOf(ReadFile(bookFile)).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(StatisticsWorkbookTest, TextConversion,
    ::testing::Values(TextCase {"Cyrillic", L"Ёжиков Фёдор №5", "Ёжиков Фёдор №5"},
        TextCase {"QuoteBecomesApostropheButNotInTheName", L"Петя \"Гром\"", "Петя 'Гром'", "Петя &quot;Гром&quot;"},
        TextCase {"GreekLetterBecomesQuestionMarkButNotInTheName", L"Петя α", "Петя ?", "Петя α"},
        TextCase {"CharacterBeyondTheBasicPlane", L"Петя \U0001F600", "Петя ?", "Петя \U0001F600"},
        TextCase {"ControlCharacterXmlCannotCarryIsItsPictureInTheName", L"Петя\x01", "Петя?", "Петя\u2401"},
        TextCase {"LessThanAndAmpersandEscaped", L"a<b & c", "a&lt;b &amp; c"}),
    [](const auto& info) { return std::string(info.param.story); });

TEST_F(StatisticsWorkbookTest, FileNameIsThePathAsGiven)
{
    // Paths are never narrowed to the code page: a quote, a Greek letter and a Kazakh one stay what they are.
    StatisticsWorkbook book(folder.Wide(L"Класс \"5А\" α Ә.xls"), L"Петя");
    EXPECT_EQ(book.FileName(), folder.Wide(L"Класс \"5А\" α Ә.xls"));

    ASSERT_TRUE(book.Save(L""));
    EXPECT_EQ(folder.Listing(), (std::set<std::string> {"Класс \"5А\" α Ә.xls", ".Класс \"5А\" α Ә.xls.lock"}));
}

TEST_F(StatisticsWorkbookTest, SaveToAnotherPathLeavesTheDefaultFileAlone)
{
    StatisticsWorkbook book(bookPath, L"Петя");
    AddAttempt(book, L"05-March-2008 14:07", 0, 60);

    ASSERT_TRUE(book.Save(folder.Wide(L"Копия.xls")));

    EXPECT_EQ(folder.Listing(), std::set<std::string> {"Копия.xls"});
    EXPECT_EQ(WorksheetsOf(ReadFile(folder.Utf8("Копия.xls")))[0].rows, AttemptRows("05-March-2008 14:07", 0, 60));
    EXPECT_EQ(book.FileName(), bookPath);
}

TEST_F(StatisticsWorkbookTest, MissingTableIsRecreatedWithoutColumns)
{
    // A worksheet someone emptied in a spreadsheet application.
    WriteFile(bookFile,
        "<?xml version=\"1.0\"?><Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
        "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\"><Worksheet ss:Name=\"Петя\"/></Workbook>");

    {
        StatisticsWorkbook book(bookPath, L"Петя");
        book.AddRow(L"a", L"1", L"Number");
        book.AddSeparatorRow();
        ASSERT_TRUE(book.Save(L""));
    }

    EXPECT_THAT(ReadFile(bookFile),
        HasSubstr("<Worksheet ss:Name=\"Петя\"><Table><Row><Cell><Data ss:Type=\"String\">a"
                  "</Data></Cell><Cell><Data ss:Type=\"Number\">1</Data></Cell></Row><Row/>"
                  "</Table></Worksheet>"));
}

TEST_F(StatisticsWorkbookTest, TwoWorkbooksOpenAtOnceEachUseTheLibrary)
{
    // The library's initialisation is counted: closing one workbook leaves the other usable.
    auto first = std::make_unique<StatisticsWorkbook>(bookPath, L"Петя");
    auto second = std::make_unique<StatisticsWorkbook>(bookPath, L"Маша");
    first.reset();

    second->AddRow(L"a", L"1", L"Number");
    ASSERT_TRUE(second->Save(L""));
    EXPECT_EQ(WorksheetsOf(ReadFile(bookFile))[0].name, "Маша");
}

// ---------------------------------------------------------------------------------------------------------------------
// Saving never destroys the file

// Limits the size of any file this process writes; a write past it fails with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limited = previous;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }

private:
    rlimit previous {};
    void (*previousHandler)(int) = nullptr;
};

enum class SaveFailure { WriteFailsHalfway, RenameOntoAFolder, FolderMissing };

class FailedSave : public StatisticsWorkbookTest, public ::testing::WithParamInterface<SaveFailure> { };

TEST_P(FailedSave, LeavesEverythingOnDiskAsItWas)
{
    // A saved workbook with one attempt, and a folder that must survive too.
    {
        StatisticsWorkbook book(bookPath, L"Петя");
        AddAttempt(book, L"05-March-2008 14:07", 1, 100);
        ASSERT_TRUE(book.Save(L""));
    }
    std::filesystem::create_directory(folder.path / "Папка.xls");
    WriteFile(folder.Utf8("Папка.xls/inside"), "kept");
    const std::string oldBytes = ReadFile(bookFile);
    const std::set<std::string> oldListing = folder.Listing();

    // Many more rows, then a save that fails at the step the case names.
    StatisticsWorkbook book(bookPath, L"Петя");
    for (int attempt = 0; attempt < 20; ++attempt)
        AddAttempt(book, L"06-March-2008 10:00", attempt, 60);
    bool saved = true;
    switch (GetParam()) {
    case SaveFailure::WriteFailsHalfway: {
        FileSizeLimit limit(oldBytes.size() + 100);
        saved = book.Save(L"");
        break;
    }
    case SaveFailure::RenameOntoAFolder:
        saved = book.Save(folder.Wide(L"Папка.xls"));
        break;
    case SaveFailure::FolderMissing:
        saved = book.Save(folder.Wide(L"Нет такой папки/Класс.xls"));
        break;
    }

    // Reported, and nothing changed: the old file, the folder, and no temporary file left over.
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFile(bookFile), oldBytes);
    EXPECT_EQ(ReadFile(folder.Utf8("Папка.xls/inside")), "kept");
    EXPECT_EQ(folder.Listing(), oldListing);

    // Once the cause is gone, the same workbook saves.
    ASSERT_TRUE(book.Save(L""));
    EXPECT_EQ(WorksheetsOf(ReadFile(bookFile))[0].rows.size(), 4u * 21u);
}

INSTANTIATE_TEST_SUITE_P(StatisticsWorkbookTest, FailedSave,
    ::testing::Values(SaveFailure::WriteFailsHalfway, SaveFailure::RenameOntoAFolder, SaveFailure::FolderMissing),
    [](const auto& info) {
        switch (info.param) {
        case SaveFailure::WriteFailsHalfway:
            return "WriteFailsHalfway";
        case SaveFailure::RenameOntoAFolder:
            return "RenameOntoAFolder";
        case SaveFailure::FolderMissing:
            return "FolderMissing";
        }
        return "";
    });

TEST_F(StatisticsWorkbookTest, SavedFileKeepsThePermissionsOfTheOldOne)
{
    WriteFile(bookFile, "");
    ::chmod(bookFile.c_str(), 0640);

    StatisticsWorkbook book(bookPath, L"Петя");
    ASSERT_TRUE(book.Save(L""));

    struct stat saved { };
    ASSERT_EQ(::stat(bookFile.c_str(), &saved), 0);
    EXPECT_EQ(saved.st_mode & 07777, 0640u);
}

// ---------------------------------------------------------------------------------------------------------------------
// Unreadable files are kept

struct UnreadableCase {
    const char* story;
    std::string bytes;
};

void PrintTo(const UnreadableCase& value, std::ostream* out)
{
    *out << value.story;
}

class UnreadableFile : public StatisticsWorkbookTest, public ::testing::WithParamInterface<UnreadableCase> { };

// The backups beside the workbook: its name, the words for a damaged copy and the time to the minute, and the
// extension last, so that a double click opens them.
std::vector<std::string> BackupsIn(const TemporaryFolder& folder)
{
    static const std::regex pattern(R"(^Класс \(повреждённая копия \d{4}-\d{2}-\d{2} \d{2}-\d{2}( №\d+)?\)\.xls$)");
    std::vector<std::string> backups;
    for (const std::string& name : folder.Listing())
        if (std::regex_match(name, pattern))
            backups.push_back(name);
    return backups;
}

TEST_P(UnreadableFile, IsKeptAsABackupBeforeTheNewWorkbookReplacesIt)
{
    WriteFile(bookFile, GetParam().bytes);

    // Opening alone changes nothing on disk.
    auto book = std::make_unique<StatisticsWorkbook>(bookPath, L"Петя");
    EXPECT_EQ(folder.Listing(), std::set<std::string> {"Класс.xls"});

    // The first save keeps the old bytes under a timestamped name, then writes a fresh workbook.
    AddAttempt(*book, L"05-March-2008 14:07", 0, 42);
    ASSERT_TRUE(book->Save(L""));
    const std::vector<std::string> backups = BackupsIn(folder);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(folder.Listing(), (std::set<std::string> {"Класс.xls", ".Класс.xls.lock", backups[0]}));
    EXPECT_EQ(ReadFile(folder.Utf8(backups[0])), GetParam().bytes);
    const std::vector<Worksheet> sheets = WorksheetsOf(ReadFile(bookFile));
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_EQ(sheets[0].rows, AttemptRows("05-March-2008 14:07", 0, 42));

    // Saving again replaces the workbook, which is now readable; no second backup.
    ASSERT_TRUE(book->Save(L""));
    EXPECT_EQ(BackupsIn(folder).size(), 1u);

    // And the next opening continues the new workbook without any backup.
    book = std::make_unique<StatisticsWorkbook>(bookPath, L"Петя");
    ASSERT_TRUE(book->Save(L""));
    EXPECT_EQ(BackupsIn(folder).size(), 1u);
}

const std::string SavedWorkbookStart = R"(<?xml version="1.0" encoding="UTF-8" standalone="no" ?>)"
                                       R"(<?mso-application progid="Excel.Sheet"?><Workbook xmlns:ss="urn:x">)"
                                       R"(<Worksheet ss:Name="Маша"><Table><Row><Cell><Data ss:Type="String">Ы)";

INSTANTIATE_TEST_SUITE_P(StatisticsWorkbookTest, UnreadableFile,
    ::testing::Values(UnreadableCase {"CutOffMidway", SavedWorkbookStart},
        UnreadableCase {"BinaryGarbage", std::string("\x00\xff\xfe\x01garbage\x00", 12)},
        UnreadableCase {"NotAWorkbook", "<?xml version=\"1.0\"?><html><body>Ы</body></html>"},
        UnreadableCase {"Empty", ""},
        // Deeper than any workbook: the library's writer would recurse once per level and overflow the stack.
        UnreadableCase {"NestedDeeperThanAnyWorkbook",
            R"(<?xml version="1.0"?><Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet">)" +
                [] {
                    std::string nested;
                    for (int i = 0; i < 100000; ++i)
                        nested += "<a>";
                    for (int i = 0; i < 100000; ++i)
                        nested += "</a>";
                    return nested;
                }()
                + "</Workbook>"}),
    [](const auto& info) { return std::string(info.param.story); });

TEST_F(StatisticsWorkbookTest, FileLargerThanAnyWorkbookIsKeptAsABackupUnread)
{
    // 65 MB that take no room on the disk: the size alone refuses it, before anything is read.
    WriteFile(bookFile, "");
    std::filesystem::resize_file(bookFile, 65u << 20);

    StatisticsWorkbook book(bookPath, L"Петя");
    book.AddRow(L"Петя", L"1", L"Number");
    ASSERT_TRUE(book.Save(L""));

    ASSERT_EQ(BackupsIn(folder).size(), 1u);
    EXPECT_EQ(std::filesystem::file_size(folder.Utf8(BackupsIn(folder)[0])), 65u << 20);
    EXPECT_THAT(WorksheetsOf(ReadFile(bookFile))[0].rows, ElementsAre(ElementsAre("Петя", "1")));
}

TEST_F(StatisticsWorkbookTest, FormattingNestedAsDeepAsARealWorkbookIsRead)
{
    // A cell whose text someone formatted in a spreadsheet program: nesting well within the bound stays readable.
    std::string data = "Ы";
    for (int i = 0; i < 40; ++i)
        data = "<Font>" + data + "</Font>";
    WriteFile(bookFile,
        R"(<?xml version="1.0"?><Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet" )"
        R"(xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet"><Worksheet ss:Name="Маша"><Table><Row><Cell>)"
        R"(<Data ss:Type="String">)"
            + data + "</Data></Cell></Row></Table></Worksheet></Workbook>");

    StatisticsWorkbook book(bookPath, L"Петя");
    ASSERT_TRUE(book.Save(L""));

    EXPECT_TRUE(BackupsIn(folder).empty());
    EXPECT_EQ(WorksheetsOf(ReadFile(bookFile)).size(), 2u);
}

TEST_F(StatisticsWorkbookTest, UnreadableFileIsNotBackedUpBySavingElsewhere)
{
    WriteFile(bookFile, "not xml");
    StatisticsWorkbook book(bookPath, L"Петя");

    ASSERT_TRUE(book.Save(folder.Wide(L"Копия.xls")));

    EXPECT_EQ(folder.Listing(), (std::set<std::string> {"Класс.xls", "Копия.xls"}));
    EXPECT_EQ(ReadFile(bookFile), "not xml");
}

// ---------------------------------------------------------------------------------------------------------------------
// Crafted files

struct CraftedCase {
    const char* story;
    std::string document;  // "FOLDER" stands for the test's folder
};

void PrintTo(const CraftedCase& value, std::ostream* out)
{
    *out << value.story;
}

class CraftedFile : public StatisticsWorkbookTest, public ::testing::WithParamInterface<CraftedCase> { };

// The workbook's file lives in a folder other accounts can write. Whatever they put there, opening it must not read
// another file nor expand entities without bound: the crafted file is treated as unreadable and kept aside.
TEST_P(CraftedFile, ReadsNoOtherFileAndExpandsNothing)
{
    // A secret file and a DTD that would copy it into the document, were either ever read.
    const std::string folderUrl = "file://" + folder.path.string();
    WriteFile(folder.Utf8("secret.txt"), "SECRET-MARKER");
    WriteFile(folder.Utf8("evil.dtd"),
        "<!ENTITY secret SYSTEM \"" + folderUrl
            + "/secret.txt\">"
              "<!ATTLIST Workbook marker CDATA \"DTD-MARKER\">");
    std::string document = GetParam().document;
    for (std::size_t at; (at = document.find("FOLDER")) != std::string::npos;)
        document.replace(at, 6, folderUrl);
    WriteFile(bookFile, document);

    // Opening returns promptly, and the saved workbook holds nothing of the crafted file.
    const auto started = std::chrono::steady_clock::now();
    StatisticsWorkbook book(bookPath, L"Петя");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    ASSERT_TRUE(book.Save(L""));

    const std::string saved = ReadFile(bookFile);
    EXPECT_THAT(saved, Not(HasSubstr("SECRET-MARKER")));
    EXPECT_THAT(saved, Not(HasSubstr("DTD-MARKER")));
    EXPECT_THAT(saved, Not(HasSubstr("lol")));
    EXPECT_THAT(saved, Not(HasSubstr("DOCTYPE")));
    EXPECT_EQ(WorksheetsOf(saved).size(), 1u);
    EXPECT_EQ(BackupsIn(folder).size(), 1u);
}

std::string BillionLaughs()
{
    std::string dtd = "<!ENTITY lol0 \"lol\">";
    for (int level = 1; level < 10; ++level) {
        dtd += "<!ENTITY lol" + std::to_string(level) + " \"";
        for (int copy = 0; copy < 10; ++copy)
            dtd += "&lol" + std::to_string(level - 1) + ";";
        dtd += "\">";
    }
    return "<?xml version=\"1.0\"?><!DOCTYPE Workbook [" + dtd
        + "]><Workbook><Worksheet ss:Name=\"Маша\"><Table><Row><Cell><Data ss:Type=\"String\">&lol9;</Data></Cell>"
          "</Row></Table></Worksheet></Workbook>";
}

// One large entity referenced many times: few expansions, a great deal of text.
std::string QuadraticBlowup()
{
    std::string references;
    for (int copy = 0; copy < 20000; ++copy)
        references += "&big;";
    return "<?xml version=\"1.0\"?><!DOCTYPE Workbook [<!ENTITY big \"" + std::string(50000, 'l')
        + "ol\">]>"
          "<Workbook><Worksheet ss:Name=\"Маша\"><Table><Row><Cell><Data ss:Type=\"String\">"
        + references + "</Data></Cell></Row></Table></Worksheet></Workbook>";
}

const char* const SecretCell = "<Workbook><Worksheet ss:Name=\"Петя\"><Table><Row><Cell><Data ss:Type=\"String\">"
                               "&secret;</Data></Cell></Row></Table></Worksheet></Workbook>";

INSTANTIATE_TEST_SUITE_P(StatisticsWorkbookTest, CraftedFile,
    ::testing::Values(CraftedCase {"ExternalEntity",
                          std::string("<?xml version=\"1.0\"?><!DOCTYPE Workbook [<!ENTITY secret SYSTEM "
                                      "\"FOLDER/secret.txt\">]>")
                              + SecretCell},
        CraftedCase {"ExternalDtd",
            std::string("<?xml version=\"1.0\"?><!DOCTYPE Workbook SYSTEM "
                        "\"FOLDER/evil.dtd\">")
                + SecretCell},
        CraftedCase {"ExternalParameterEntity",
            std::string("<?xml version=\"1.0\"?><!DOCTYPE Workbook [<!ENTITY % "
                        "remote SYSTEM \"FOLDER/evil.dtd\"> %remote;]>")
                + SecretCell},
        CraftedCase {"BillionLaughs", BillionLaughs()}, CraftedCase {"QuadraticBlowup", QuadraticBlowup()}),
    [](const auto& info) { return std::string(info.param.story); });

// ---------------------------------------------------------------------------------------------------------------------
// A spreadsheet application reads the file

TEST_F(StatisticsWorkbookTest, LibreOfficeReadsEveryPupilsRows)
{
    if (!OnPath("soffice"))
        GTEST_SKIP() << "soffice is not installed (Debian package libreoffice-calc-nogui)";

    // Two pupils in one workbook, saved in two sessions as the program does.
    {
        StatisticsWorkbook book(bookPath, L"Иванов Петя");
        AddAttempt(book, L"05-March-2008 14:07", 3, 100);
        AddAttempt(book, L"05-March-2008 14:10", 0, 58);
        ASSERT_TRUE(book.Save(L""));
    }
    {
        StatisticsWorkbook book(bookPath, L"Маша \"Ёжик\"");
        AddAttempt(book, L"06-March-2008 09:00", 1, 240);
        ASSERT_TRUE(book.Save(L""));
    }

    ASSERT_TRUE(ConvertToCsv(folder, "Класс.xls")) << ReadFile(folder.Utf8("soffice.log"));

    // The empty row between two attempts reads as two empty cells; the spreadsheet trims the last one.
    EXPECT_THAT(Lines(ReadFile(folder.Utf8("csv/Класс-Иванов Петя.csv"))),
        ElementsAre("Время начала работы с упражнением,05-March-2008 14:07",
            "Количество дополнительных вызовов инструкций,3", "Общее время работы с упражнением. с.,100", ",",
            "Время начала работы с упражнением,05-March-2008 14:10", "Количество дополнительных вызовов инструкций,0",
            "Общее время работы с упражнением. с.,58"))
        << ReadFile(folder.Utf8("soffice.log"));
    // The double quote stays in the worksheet's name, so that "Ёжик" and 'Ёжик' are two pupils.
    EXPECT_THAT(Lines(ReadFile(folder.Utf8("csv/Класс-Маша \"Ёжик\".csv"))),
        ElementsAre("Время начала работы с упражнением,06-March-2008 09:00",
            "Количество дополнительных вызовов инструкций,1", "Общее время работы с упражнением. с.,240"))
        << ReadFile(folder.Utf8("soffice.log"));
}

}  // namespace
