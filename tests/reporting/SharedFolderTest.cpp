// The results folder as a school uses it: a folder whose path the code page cannot hold, accounts with a strict umask
// sharing it through their group, and a workbook that another account keeps to itself.

#include "reporting/JournalReplay.h"
#include "reporting/StatisticsWorkbook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "reporting/ChildProcess.h"
#include "reporting/WorkbookFiles.h"

using namespace workbook_test;
using ::testing::ElementsAre;

namespace {

// Accounts no one logs in as; the tests that need them run as root and drop to them in a child process.
constexpr uid_t Teacher = 65531;
constexpr uid_t Pupil = 65532;
constexpr gid_t PupilsGroup = 65533;

// Becomes `user`, a member of the pupils' group, for good (in a child process).
bool BecomeAccount(uid_t user, mode_t umask)
{
    const gid_t groups[] = {PupilsGroup};
    ::umask(umask);
    return ::setgroups(1, groups) == 0 && ::setgid(PupilsGroup) == 0 && ::setuid(user) == 0;
}

// As the package makes /var/lib/KVRT: the pupils' group's, group-writable, new files in that group; below a folder
// every account may pass through.
std::filesystem::path MakeSharedFolder(const TemporaryFolder& top)
{
    const std::filesystem::path folder = top.path / "KVRT";
    std::filesystem::create_directory(folder);
    if (::chmod(top.path.c_str(), 0755) != 0 || ::chown(folder.c_str(), 0, PupilsGroup) != 0
        || ::chmod(folder.c_str(), 02775) != 0)
        ADD_FAILURE() << "cannot make the shared folder";
    return folder;
}

mode_t ModeOf(const std::string& path)
{
    struct stat info { };
    ::stat(path.c_str(), &info);
    return info.st_mode & 0777;
}

TEST(SharedFolderTest, FolderWhosePathTheCodePageLacksKeepsEveryRow)
{
    TemporaryFolder top;
    const std::filesystem::path folder = top.path / "Résultats Şule Әлфия α";
    std::filesystem::create_directory(folder);
    const std::wstring book = FromUtf8(folder.string()) + L"/Класс.xls";

    // A run journals and saves; a second run is killed before it saves, and the next start merges its journal.
    {
        StatisticsWorkbook first(book, L"Маша");
        first.KeepJournal();
        first.AddRow(L"Маша", L"1", L"Number");
        ASSERT_TRUE(first.Save(L""));
    }
    ChildProcess killed([&] {
        StatisticsWorkbook second(book, L"Петя");
        second.KeepJournal();
        second.AddRow(L"Петя", L"2", L"Number");
        ::_exit(0);
        return true;
    });
    ASSERT_EQ(killed.Wait(), 0);
    EXPECT_EQ(ReplayJournals(folder.string() + "/"), 1);

    const auto sheets = WorksheetsOf(ReadFile((folder / "Класс.xls").string()));
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_THAT(sheets[0].rows, ElementsAre(ElementsAre("Маша", "1")));
    EXPECT_THAT(sheets[1].rows, ElementsAre(ElementsAre("Петя", "2")));

    // Save as into the same folder.
    StatisticsWorkbook third(book, L"Оля");
    ASSERT_TRUE(third.Save(FromUtf8(folder.string()) + L"/Копия ε.xls"));
    EXPECT_EQ(WorksheetsOf(ReadFile((folder / "Копия ε.xls").string())).size(), 3u);
}

TEST(SharedFolderTest, FilesMadeUnderAStrictUmaskStayTheGroupsToSaveInto)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as two accounts";
    TemporaryFolder top;
    const std::filesystem::path folder = MakeSharedFolder(top);
    const std::wstring book = FromUtf8(folder.string()) + L"/Класс.xls";

    // One account under the strict umask writes a pupil's row and merge-saves it into the class's workbook.
    const auto saveAs = [&book](uid_t account, const wchar_t* pupil, const wchar_t* value) {
        return [&book, account, pupil, value] {
            if (!BecomeAccount(account, 077))
                return false;
            StatisticsWorkbook workbook(book, pupil);
            workbook.KeepJournal();
            workbook.AddRow(pupil, value, L"Number");
            return workbook.SaveMerging() == StatisticsWorkbook::SaveOutcome::Merged;
        };
    };
    ChildProcess teacher(saveAs(Teacher, L"Учитель", L"1"));
    ASSERT_EQ(teacher.Wait(), 0);
    EXPECT_EQ(ModeOf((folder / "Класс.xls").string()) & 0060, 0060u);
    EXPECT_EQ(ModeOf((folder / ".Класс.xls.lock").string()) & 0060, 0060u);

    ChildProcess pupil(saveAs(Pupil, L"Маша", L"2"));
    ASSERT_EQ(pupil.Wait(), 0) << "the second account saves into the teacher's workbook";
    EXPECT_EQ(WorksheetsOf(ReadFile((folder / "Класс.xls").string())).size(), 2u);
}

TEST(SharedFolderTest, WorkbookAnotherAccountKeepsToItselfSendsTheRowsBesideItAndSaysSo)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as two accounts";
    TemporaryFolder top;
    const std::filesystem::path folder = MakeSharedFolder(top);
    // The workbook and its lock, made by an older version under a strict umask: the teacher's alone.
    for (const char* name : {"Класс.xls", ".Класс.xls.lock"}) {
        const std::string path = (folder / name).string();
        WriteFile(path, "");
        ASSERT_EQ(::chown(path.c_str(), Teacher, PupilsGroup), 0);
        ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    }
    const std::wstring book = FromUtf8(folder.string()) + L"/Класс.xls";

    Signal said;
    ChildProcess pupil([&] {
        if (!BecomeAccount(Pupil, 022))
            return false;
        StatisticsWorkbook workbook(book, L"Маша");
        workbook.AddRow(L"Маша", L"2", L"Number");
        ::testing::internal::CaptureStderr();
        const bool beside = workbook.SaveMerging() == StatisticsWorkbook::SaveOutcome::SavedBeside;
        const std::string log = ::testing::internal::GetCapturedStderr();
        return beside && workbook.SavedBesidePath() == FromUtf8(folder.string()) + L"/Класс (2).xls"
            && log.find("Класс (2).xls") != std::string::npos;
    });
    ASSERT_EQ(pupil.Wait(), 0);
    const auto sheets = WorksheetsOf(ReadFile((folder / "Класс (2).xls").string()));
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_THAT(sheets[0].rows, ElementsAre(ElementsAre("Маша", "2")));
    EXPECT_EQ(ReadFile((folder / "Класс.xls").string()), "") << "the other account's file is left alone";
}

}  // namespace
