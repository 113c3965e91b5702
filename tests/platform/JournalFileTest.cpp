// The journal's files on this system: a living journal is never taken for a left-behind one, a left-behind one is
// taken once, and every change is in the file when the call returns. The same tests run on Linux and under Wine.

#include "platform/JournalFile.h"
#include "reporting/WorkbookFiles.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using workbook_test::PathOf;
using workbook_test::ReadFile;
using workbook_test::TemporaryFolder;

class JournalFileTest : public ::testing::Test {
protected:
    // A folder whose name is not in any single-byte code page.
    std::string Folder() const { return temp.Utf8("журнал ünï") + "/"; }
    void SetUp() override { std::filesystem::create_directory(PathOf(Folder())); }

    TemporaryFolder temp;
};

TEST_F(JournalFileTest, ALivingJournalIsNeverLeftBehindAndALeftOneIsTakenOnce)
{
    std::string whyNot;
    const std::string base = Folder() + ".zvonkary-test";
    auto living = JournalFile::Create(base, ".journal", "first\n", whyNot);
    ASSERT_TRUE(living) << whyNot;
    EXPECT_EQ(living->Path(), base + ".journal");
    EXPECT_FALSE(std::filesystem::exists(PathOf(base + ".new"))) << "the starting name is gone";
    EXPECT_FALSE(JournalFile::OpenLeftBehind(living->Path())) << "its program still holds it";
    EXPECT_FALSE(JournalFile::Create(base, ".journal", "again\n", whyNot)) << "the name is taken";

    ASSERT_TRUE(living->Append("second\n", whyNot)) << whyNot;
    const std::string path = living->Path();
    living.reset();

    auto left = JournalFile::OpenLeftBehind(path);
    ASSERT_TRUE(left);
    std::string bytes;
    ASSERT_TRUE(left->ReadAll(bytes));
    EXPECT_EQ(bytes, "first\nsecond\n");
    EXPECT_FALSE(JournalFile::OpenLeftBehind(path)) << "one replay at a time";
    left->Remove();
    left.reset();
    EXPECT_FALSE(std::filesystem::exists(PathOf(path)));
    EXPECT_FALSE(JournalFile::OpenLeftBehind(path));
}

TEST_F(JournalFileTest, AppendTruncateRewriteAndMoveAsideReachTheFile)
{
    std::string whyNot;
    auto journal = JournalFile::Create(Folder() + ".zvonkary-edit", ".journal", "head\n", whyNot);
    ASSERT_TRUE(journal) << whyNot;
    ASSERT_TRUE(journal->Append("one\n", whyNot));
    ASSERT_TRUE(journal->Append("two\n", whyNot));
    // Read through the journal: on Windows its lock keeps other readers out while it lives.
    const auto contents = [&journal] {
        std::string bytes;
        EXPECT_TRUE(journal->ReadAll(bytes));
        return bytes;
    };
    EXPECT_EQ(contents(), "head\none\ntwo\n");
    ASSERT_TRUE(journal->Truncate(9, whyNot));
    EXPECT_EQ(contents(), "head\none\n");
    ASSERT_TRUE(journal->Append("three\n", whyNot));
    ASSERT_TRUE(journal->Rewrite("new\n", whyNot));
    ASSERT_TRUE(journal->Append("after\n", whyNot));
    EXPECT_EQ(contents(), "new\nafter\n");

    const std::string aside = Folder() + ".zvonkary-edit.journal.failed";
    ASSERT_TRUE(journal->MoveAside(aside, whyNot)) << whyNot;
    EXPECT_EQ(journal->Path(), aside);
    EXPECT_FALSE(JournalFile::OpenLeftBehind(aside)) << "still locked while its program holds it";
    journal.reset();
    EXPECT_EQ(ReadFile(aside), "new\nafter\n") << "on the disk under its new name";
}

TEST_F(JournalFileTest, NamesAreListedByPrefixAndDeadStartingFilesGo)
{
    std::string whyNot;
    auto a = JournalFile::Create(Folder() + ".zvonkary-a", ".journal", "a\n", whyNot);
    auto b = JournalFile::Create(Folder() + ".zvonkary-б", ".journal", "b\n", whyNot);
    ASSERT_TRUE(a && b) << whyNot;
    std::ofstream(PathOf(Folder() + ".zvonkary-dead.new")) << "half";
    std::ofstream(PathOf(Folder() + "other.journal")) << "not ours";

    auto names = FilesNamed(Folder(), ".zvonkary-", ".journal");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string> {".zvonkary-a.journal", ".zvonkary-б.journal"}));

    EXPECT_EQ(RemoveDeadStartingFiles(Folder(), ".zvonkary-", std::chrono::hours(1)), 0) << "too young";
    EXPECT_EQ(RemoveDeadStartingFiles(Folder(), ".zvonkary-", std::chrono::seconds(0)), 1);
    EXPECT_FALSE(std::filesystem::exists(PathOf(Folder() + ".zvonkary-dead.new")));
    EXPECT_TRUE(std::filesystem::exists(PathOf(Folder() + ".zvonkary-a.journal")));

    const std::string run = UniqueRunName();
    EXPECT_FALSE(run.empty());
    EXPECT_EQ(run.find_first_of("/\\.:"), std::string::npos) << run;
}

}  // namespace
