// Replacing a file atomically and keeping timestamped backups. The failures that must leave the old file intact are
// told through StatisticsWorkbook::Save in StatisticsWorkbookTest.cpp; these are the file-level promises.

#include "platform/Files.h"

#include <gtest/gtest.h>

#include <regex>

#include <sys/stat.h>

#include "reporting/WorkbookFiles.h"

using namespace workbook_test;

namespace {

TEST(AtomicFileTest, ReplacesTheFileWholeAndLeavesNothingElse)
{
    TemporaryFolder folder;
    const std::string path = folder.Utf8("Класс.xls");
    std::string whyNot;

    // Created, then replaced by shorter contents: nothing of the old remains.
    ASSERT_TRUE(ReplaceFileAtomically(path, "first, longer contents", whyNot)) << whyNot;
    ASSERT_TRUE(ReplaceFileAtomically(path, "second", whyNot)) << whyNot;

    EXPECT_EQ(ReadFile(path), "second");
    EXPECT_EQ(folder.Listing(), std::set<std::string> {"Класс.xls"});
}

TEST(AtomicFileTest, ReplacingThroughASymbolicLinkReplacesTheLinkNotItsTarget)
{
    // Someone with write access to the folder planted a link to another file of the user.
    TemporaryFolder folder;
    WriteFile(folder.Utf8("other"), "precious");
    ASSERT_EQ(::symlink(folder.Utf8("other").c_str(), folder.Utf8("Класс.xls").c_str()), 0);

    std::string whyNot;
    ASSERT_TRUE(ReplaceFileAtomically(folder.Utf8("Класс.xls"), "workbook", whyNot)) << whyNot;

    EXPECT_EQ(ReadFile(folder.Utf8("other")), "precious");
    EXPECT_EQ(ReadFile(folder.Utf8("Класс.xls")), "workbook");
}

TEST(AtomicFileTest, BackupsGetNamesThatSayWhatTheyAreAndNeverOverwriteEachOther)
{
    TemporaryFolder folder;
    const std::string path = folder.Utf8("Класс.xls");
    WriteFile(path, "broken");

    // Three backups within the same second or two: each gets a name of its own.
    std::set<std::string> backups;
    for (int i = 0; i < 3; ++i) {
        std::string backupPath;
        std::string whyNot;
        ASSERT_TRUE(KeepBackupOfFile(path, backupPath, whyNot)) << whyNot;
        backups.insert(backupPath.substr(folder.path.string().size() + 1));
        EXPECT_EQ(ReadFile(backupPath), "broken");
    }

    EXPECT_EQ(backups.size(), 3u);
    for (const std::string& name : backups)
        EXPECT_TRUE(std::regex_match(
            name, std::regex(R"(^Класс \(повреждённая копия \d{4}-\d{2}-\d{2} \d{2}-\d{2}( №\d+)?\)\.xls$)")))
            << name;
    EXPECT_EQ(ReadFile(path), "broken") << "the file itself stays";
}

TEST(AtomicFileTest, BackupOfAMissingFileFailsAndCreatesNothing)
{
    TemporaryFolder folder;
    std::string backupPath;
    std::string whyNot;

    EXPECT_FALSE(KeepBackupOfFile(folder.Utf8("Нет.xls"), backupPath, whyNot));

    EXPECT_FALSE(whyNot.empty());
    EXPECT_TRUE(folder.Listing().empty());
}

// A teacher's umask of 077 must not keep the pupils' group out of the files the program makes in the results folder.
TEST(AtomicFileTest, NewFilesAreTheGroupsToReadAndWriteWhateverTheUmask)
{
    TemporaryFolder folder;
    const mode_t before = ::umask(077);
    std::string whyNot;
    bool nameTaken = false;
    const bool replaced = ReplaceFileAtomically(folder.Utf8("Класс.xls"), "a", whyNot);
    const bool created = WriteNewFileAtomically(folder.Utf8("Класс (2).xls"), "b", nameTaken, whyNot);
    ::umask(before);
    ASSERT_TRUE(replaced && created) << whyNot;

    for (const char* name : {"Класс.xls", "Класс (2).xls"}) {
        struct stat info { };
        ASSERT_EQ(::stat(folder.Utf8(name).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0660u) << name;
    }
}

TEST(ReadWholeFileTest, AFileLargerThanAskedIsNotRead)
{
    TemporaryFolder folder;
    WriteFile(folder.Utf8("big"), std::string(1000, 'x'));
    std::string bytes;
    EXPECT_EQ(ReadWholeFile(folder.Utf8("big"), bytes, nullptr, 999), ReadOutcome::TooLarge);
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(ReadWholeFile(folder.Utf8("big"), bytes, nullptr, 1000), ReadOutcome::Read);
    EXPECT_EQ(bytes.size(), 1000u);
}

}  // namespace
