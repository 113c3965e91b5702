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

TEST(AtomicFileTest, BackupsGetTimestampedNamesAndNeverOverwriteEachOther)
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
        EXPECT_TRUE(std::regex_match(name, std::regex(R"(^Класс\.xls\.\d{8}-\d{6}(-\d+)?$)"))) << name;
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

}  // namespace
