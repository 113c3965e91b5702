// The Windows files: atomic replacement while a reader holds the old file, new files that never replace, the lock
// between two processes, Cyrillic names all the way to the file system, and the results folder's rule.

#include "platform/FileLock.h"
#include "platform/Files.h"
#include "platform/ResultsFolder.h"
#include "platform/Utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

namespace fs = std::filesystem;

namespace {

// Started with ZV_TEST_LOCK_HOLDER=<lock file>, this test program only holds that lock: it takes it, creates
// <lock file>.held, and lets go (by ending) when <lock file>.release appears or after 20 seconds.
[[maybe_unused]] const bool lockHolderChild = [] {
    const wchar_t* lockPath = ::_wgetenv(L"ZV_TEST_LOCK_HOLDER");
    if (!lockPath)
        return false;
    const std::string path = ToUtf8(lockPath);
    std::string whyNot;
    bool busy = false;
    bool forbidden = false;
    auto lock = FileLock::Acquire(path, std::chrono::seconds(5), whyNot, busy, forbidden);
    if (!lock)
        ::ExitProcess(3);
    std::string ignored;
    ReplaceFileAtomically(path + ".held", "held", ignored);
    for (int i = 0; i < 2000 && !fs::exists(fs::path(FromUtf8(path + ".release"))); ++i)
        ::Sleep(10);
    ::ExitProcess(0);
}();

// A fresh folder under the system's temporary folder, removed with everything in it.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::wstring& name = L"zvonkary")
    {
        wchar_t base[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH + 1, base);
        folder = fs::path(base)
            / (name + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount64())
                + L"-" + std::to_wstring(counter++));
        fs::create_directories(folder);
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    // A path inside, as the program names files: UTF-8 with '/' separators.
    std::string Utf8(const std::wstring& name = L"") const
    {
        std::string path = ToUtf8((name.empty() ? folder : folder / name).wstring());
        for (char& c : path) {
            if (c == '\\')
                c = '/';
        }
        return path;
    }
    fs::path Wide(const std::wstring& name) const { return folder / name; }
    // The names in the folder.
    std::vector<std::wstring> Names() const
    {
        std::vector<std::wstring> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().wstring());
        return names;
    }

private:
    static inline int counter = 0;
    fs::path folder;
};

std::string Contents(const std::string& path)
{
    std::string bytes;
    EXPECT_EQ(ReadWholeFile(path, bytes), ReadOutcome::Read) << path;
    return bytes;
}

// Sets an environment variable (or clears it: nullptr) for one test, restoring it after.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const wchar_t* value)
        : name(name)
    {
        if (const wchar_t* old = ::_wgetenv(name))
            previous = std::wstring(old);
        ::_wputenv_s(name, value ? value : L"");
    }
    ~ScopedEnvironment() { ::_wputenv_s(name, previous ? previous->c_str() : L""); }

private:
    const wchar_t* name;
    std::optional<std::wstring> previous;
};

}  // namespace

namespace {

// Opens the file the way the program's readers do (sharing reading, writing and deleting).
HANDLE OpenAsReader(const fs::path& path)
{
    return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

TEST(Win32Files, ReplacingWaitsForAReaderThatLetsGoSoon)
{
    TemporaryFolder temp;
    const std::string path = temp.Utf8(L"workbook.xls");
    std::string whyNot;
    ASSERT_TRUE(ReplaceFileAtomically(path, "old contents", whyNot)) << whyNot;
    const std::optional<FileVersion> before = VersionOfFile(path);
    ASSERT_TRUE(before);

    // Windows refuses to rename over a file someone has open; a reader (or a virus scanner) that closes it within
    // the second the save keeps trying does not make the save fail.
    const HANDLE reader = OpenAsReader(temp.Wide(L"workbook.xls"));
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    std::thread letGo([reader] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ::CloseHandle(reader);
    });
    const bool replaced = ReplaceFileAtomically(path, "new contents, longer", whyNot);
    letGo.join();
    ASSERT_TRUE(replaced) << whyNot;

    EXPECT_EQ(Contents(path), "new contents, longer");
    const std::optional<FileVersion> after = VersionOfFile(path);
    ASSERT_TRUE(after);
    EXPECT_NE(*before, *after);
    EXPECT_EQ(temp.Names(), std::vector<std::wstring> {L"workbook.xls"});
}

TEST(Win32Files, AReplaceThatCannotHappenLeavesTheOldFileWholeAndSaysWhy)
{
    TemporaryFolder temp;
    const std::string path = temp.Utf8(L"workbook.xls");
    std::string whyNot;
    ASSERT_TRUE(ReplaceFileAtomically(path, "old contents", whyNot)) << whyNot;
    const HANDLE reader = OpenAsReader(temp.Wide(L"workbook.xls"));
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    const bool replaced = ReplaceFileAtomically(path, "new contents", whyNot);
    char buffer[64] = {};
    DWORD got = 0;
    const bool read = ::ReadFile(reader, buffer, sizeof buffer, &got, nullptr);
    ::CloseHandle(reader);
    ASSERT_FALSE(replaced) << "a reader that holds the file keeps it";
    EXPECT_NE(whyNot.find("workbook.xls"), std::string::npos) << whyNot;
    ASSERT_TRUE(read);
    EXPECT_EQ(std::string(buffer, got), "old contents");
    EXPECT_EQ(Contents(path), "old contents");
    EXPECT_EQ(temp.Names(), std::vector<std::wstring> {L"workbook.xls"}) << "no temporary is left";
}

TEST(Win32Files, ANewFileNeverReplacesOneOfTheSameName)
{
    TemporaryFolder temp;
    const std::string path = temp.Utf8(L"book (2).xls");
    bool nameTaken = true;
    std::string whyNot;
    ASSERT_TRUE(WriteNewFileAtomically(path, "first", nameTaken, whyNot)) << whyNot;
    EXPECT_FALSE(nameTaken);
    EXPECT_FALSE(WriteNewFileAtomically(path, "second", nameTaken, whyNot));
    EXPECT_TRUE(nameTaken) << whyNot;
    EXPECT_EQ(Contents(path), "first");
    EXPECT_EQ(temp.Names(), std::vector<std::wstring> {L"book (2).xls"});
}

TEST(Win32Files, CyrillicNamesReachTheFileSystemAsTyped)
{
    const std::wstring folderName = L"Звонкары ученик Ёлкин";
    const std::wstring fileName = L"00917 Игра «Звонкары».xls";
    TemporaryFolder temp(folderName);
    const std::string folder = temp.Utf8();
    const std::string path = folder + "/" + ToUtf8(fileName);
    std::string whyNot;
    ASSERT_TRUE(ReplaceFileAtomically(path, "Лист", whyNot)) << whyNot;
    EXPECT_TRUE(fs::exists(temp.Wide(fileName))) << "the wide name, not a code-page guess";
    EXPECT_EQ(Contents(path), "Лист");
    EXPECT_TRUE(IdentifyFile(path));

    std::string backup;
    ASSERT_TRUE(KeepBackupOfFile(path, backup, whyNot)) << whyNot;
    EXPECT_EQ(Contents(backup), "Лист");
    EXPECT_TRUE(backup.starts_with(path + "."));

    bool busy = false;

    bool forbidden = false;
    auto lock = FileLock::Acquire(
        folder + "/." + ToUtf8(fileName) + ".lock", std::chrono::seconds(1), whyNot, busy, forbidden);
    EXPECT_TRUE(lock) << whyNot;
    EXPECT_TRUE(fs::exists(temp.Wide(L"." + fileName + L".lock")));
}

TEST(Win32Files, StaleTemporariesOfTheFileAreRemovedAndNothingElse)
{
    TemporaryFolder temp;
    const std::string path = temp.Utf8(L"book.xls");
    std::string whyNot;
    for (const wchar_t* name : {L".book.xls.123456.tmp", L".book.xls.7.tmp", L".other.xls.5.tmp", L".book.xls.x.tmp"})
        ASSERT_TRUE(ReplaceFileAtomically(temp.Utf8(name), "left over", whyNot)) << whyNot;
    EXPECT_EQ(RemoveStaleTemporaries(path), 2);
    auto names = temp.Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring> {L".book.xls.x.tmp", L".other.xls.5.tmp"}));
}

TEST(Win32Files, ReadingAMissingFileSaysAbsent)
{
    TemporaryFolder temp;
    std::string bytes = "stale";
    EXPECT_EQ(ReadWholeFile(temp.Utf8(L"none.xls"), bytes), ReadOutcome::Absent);
    EXPECT_EQ(ReadWholeFile(temp.Utf8(L"no folder/none.xls"), bytes), ReadOutcome::Absent);
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(VersionOfFile(temp.Utf8(L"none.xls")));
}

TEST(Win32FileLock, AnotherProcessHoldingTheLockKeepsUsWaitingUntilItLetsGo)
{
    TemporaryFolder temp(L"замок");
    const std::string lockPath = temp.Utf8(L".book.xls.lock");
    wchar_t program[MAX_PATH + 1] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, program, MAX_PATH + 1), 0u);
    ScopedEnvironment holder(L"ZV_TEST_LOCK_HOLDER", FromUtf8(lockPath).c_str());
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child {};
    std::wstring commandLine = L"\"" + std::wstring(program) + L"\"";
    // The child takes the environment as it is now, with the variable set.
    ASSERT_TRUE(::SetEnvironmentVariableW(L"ZV_TEST_LOCK_HOLDER", FromUtf8(lockPath).c_str()));
    ASSERT_TRUE(
        ::CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child));
    ::SetEnvironmentVariableW(L"ZV_TEST_LOCK_HOLDER", nullptr);
    for (int i = 0; i < 1000 && !fs::exists(temp.Wide(L".book.xls.lock.held")); ++i)
        ::Sleep(10);
    ASSERT_TRUE(fs::exists(temp.Wide(L".book.xls.lock.held"))) << "the child took the lock";

    std::string whyNot;
    bool busy = false;
    bool forbidden = false;
    EXPECT_FALSE(FileLock::Acquire(lockPath, std::chrono::milliseconds(300), whyNot, busy, forbidden));
    EXPECT_TRUE(busy) << whyNot;
    EXPECT_FALSE(FileLock::TryExisting(lockPath));

    std::string ignored;
    ASSERT_TRUE(ReplaceFileAtomically(lockPath + ".release", "go", ignored));
    EXPECT_EQ(::WaitForSingleObject(child.hProcess, 20000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    ::GetExitCodeProcess(child.hProcess, &exitCode);
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
    EXPECT_EQ(exitCode, 0u);

    auto lock = FileLock::Acquire(lockPath, std::chrono::seconds(5), whyNot, busy, forbidden);
    EXPECT_TRUE(lock) << "the lock is free once its holder has ended: " << whyNot;
}

TEST(Win32FileLock, TwoOpensInOneProcessExcludeEachOther)
{
    TemporaryFolder temp;
    const std::string lockPath = temp.Utf8(L".book.xls.lock");
    std::string whyNot;
    bool busy = false;
    bool forbidden = false;
    auto first = FileLock::Acquire(lockPath, std::chrono::seconds(1), whyNot, busy, forbidden);
    ASSERT_TRUE(first) << whyNot;
    EXPECT_FALSE(FileLock::Acquire(lockPath, std::chrono::milliseconds(50), whyNot, busy, forbidden));
    EXPECT_TRUE(busy);
    first.reset();
    EXPECT_TRUE(FileLock::TryExisting(lockPath));
}

TEST(Win32FileLock, AFolderUnderTheLockNameIsRefused)
{
    TemporaryFolder temp;
    fs::create_directory(temp.Wide(L".book.xls.lock"));
    std::string whyNot;
    bool busy = true;
    bool forbidden = false;
    EXPECT_FALSE(
        FileLock::Acquire(temp.Utf8(L".book.xls.lock"), std::chrono::milliseconds(50), whyNot, busy, forbidden));
    EXPECT_FALSE(busy);
    EXPECT_FALSE(whyNot.empty());
}

struct FolderCase {
    const char* what;
    bool programData;  // PROGRAMDATA names a usable folder (else a file, where no folder can be made)
    bool localAppData;
    int override;             // ZVONKARY_RESULTS_DIR: 0 not set, 1 names a missing folder, 2 an existing one
    const wchar_t* expected;  // below the test's folder; empty: nothing
};

void PrintTo(const FolderCase& c, std::ostream* out)
{
    *out << c.what;
}

class Win32ResultsFolder : public ::testing::TestWithParam<FolderCase> { };

TEST_P(Win32ResultsFolder, FollowsTheRule)
{
    const FolderCase& c = GetParam();
    TemporaryFolder temp(L"данные");
    {
        std::FILE* file = ::_wfopen(temp.Wide(L"a file").c_str(), L"wb");
        ASSERT_TRUE(file);
        std::fclose(file);
    }
    const std::wstring common = (c.programData ? temp.Wide(L"ProgramData") : temp.Wide(L"a file")).wstring();
    fs::create_directories(temp.Wide(L"ProgramData"));
    const std::wstring local = (c.localAppData ? temp.Wide(L"Local") : temp.Wide(L"a file/Local")).wstring();
    const std::wstring chosen = temp.Wide(L"share/класс 5А").wstring();
    ScopedEnvironment programData(L"PROGRAMDATA", common.c_str());
    ScopedEnvironment localAppData(L"LOCALAPPDATA", local.c_str());
    if (c.override == 2)
        fs::create_directories(temp.Wide(L"share/класс 5А"));
    ScopedEnvironment overrideFolder(L"ZVONKARY_RESULTS_DIR", c.override ? chosen.c_str() : nullptr);

    const std::string found = FindResultsFolder();
    const std::string expected = *c.expected ? temp.Utf8(c.expected) + "/" : std::string();
    EXPECT_EQ(found, expected) << c.what;
    if (!expected.empty()) {
        EXPECT_TRUE(fs::is_directory(fs::path(FromUtf8(found)))) << c.what;
        std::string whyNot;
        EXPECT_TRUE(ReplaceFileAtomically(found + "probe.xls", "x", whyNot)) << c.what << ": " << whyNot;
    }
}

INSTANTIATE_TEST_SUITE_P(Rule, Win32ResultsFolder,
    ::testing::Values(
        FolderCase {"the machine's folder under PROGRAMDATA, created", true, true, 0, L"ProgramData/KVRT"},
        FolderCase {"the user's LOCALAPPDATA when no machine folder can be made", false, true, 0, L"Local/KVRT"},
        FolderCase {"ZVONKARY_RESULTS_DIR before everything", true, true, 2, L"share/класс 5А"},
        FolderCase {
            "a missing ZVONKARY_RESULTS_DIR is never made: the user's folder instead", true, true, 1, L"Local/KVRT"},
        FolderCase {"nothing usable: no folder at all, never the working folder", false, false, 0, L""}));
