// The results folder: the environment's choice, the machine's shared folder
// when it can be written, the user's data folder otherwise.

#include "platform/ResultsFolder.h"
#include "reporting/WorkbookFiles.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// Sets or clears an environment variable for one test, restoring it after.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string* value)
        : name(name)
    {
        if (const char* old = std::getenv(name))
            previous = old;
        had = std::getenv(name) != nullptr;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnvironment()
    {
        if (had)
            ::setenv(name, previous.c_str(), 1);
        else
            ::unsetenv(name);
    }

private:
    const char* name;
    std::string previous;
    bool had = false;
};

class ResultsFolder : public ::testing::Test {
protected:
    workbook_test::TemporaryFolder temp;
    const std::string data = temp.Utf8("data");
    ScopedEnvironment noOverride {"ZVONKARY_RESULTS_DIR", nullptr};
    ScopedEnvironment xdg {"XDG_DATA_HOME", &data};
};

}  // namespace

TEST_F(ResultsFolder, TheEnvironmentNamesTheFolder)
{
    const std::string chosen = temp.Utf8("share/class 5A");
    std::filesystem::create_directories(chosen);
    ScopedEnvironment override("ZVONKARY_RESULTS_DIR", &chosen);
    const ResultsLocation located = LocateResultsFolder(temp.Utf8("machine"));
    EXPECT_EQ(located.folder, chosen + "/");
    EXPECT_EQ(located.intended, "");
    EXPECT_FALSE(std::filesystem::exists(temp.Utf8("machine"))) << "the machine folder is not touched";
}

// A share that is not mounted must not be made locally, where the mounted share would later hide it; a folder the
// program cannot write is not used either. The results go to the user's own folder, and the caller learns where
// they belonged.
TEST_F(ResultsFolder, AnUnusableEnvironmentFolderIsNeverMadeAndSendsTheResultsToTheUsersFolder)
{
    workbook_test::WriteFile(temp.Utf8("a file"), "x");
    for (const std::string& chosen : {temp.Utf8("share/not mounted"), temp.Utf8("a file")}) {
        ScopedEnvironment override("ZVONKARY_RESULTS_DIR", &chosen);
        const ResultsLocation located = LocateResultsFolder(temp.Utf8("machine"));
        EXPECT_EQ(located.folder, data + "/KVRT/") << chosen;
        EXPECT_EQ(located.intended, chosen + "/");
    }
    EXPECT_FALSE(std::filesystem::exists(temp.Utf8("share"))) << "nothing made where the share belongs";
}

TEST_F(ResultsFolder, NeverTheWorkingFolder)
{
    // Neither the machine folder nor a user folder can exist: both are below a file.
    workbook_test::WriteFile(temp.Utf8("file"), "x");
    const std::string blocked = temp.Utf8("file/data");
    ScopedEnvironment xdgBlocked("XDG_DATA_HOME", &blocked);
    const ResultsLocation located = LocateResultsFolder(temp.Utf8("file/KVRT"));
    EXPECT_EQ(located.folder, "");
    EXPECT_EQ(located.intended, blocked + "/KVRT/");
}

TEST_F(ResultsFolder, TheMachineFolderWhenItCanBeWrittenOrMade)
{
    const std::string machine = temp.Utf8("KVRT");
    EXPECT_EQ(FindResultsFolder(machine), machine + "/") << "made when its parent lets us";
    EXPECT_TRUE(std::filesystem::is_directory(machine));
    EXPECT_EQ(FindResultsFolder(machine), machine + "/") << "used when it exists";
    EXPECT_FALSE(std::filesystem::exists(data)) << "no fallback was needed";
    EXPECT_TRUE(temp.Listing().count("KVRT"));
}

TEST_F(ResultsFolder, TheUserDataFolderWhenTheMachineFolderCannotBeUsed)
{
    // A machine folder that cannot exist: its parent is a file.
    workbook_test::WriteFile(temp.Utf8("file"), "x");
    EXPECT_EQ(FindResultsFolder(temp.Utf8("file/KVRT")), data + "/KVRT/");
    EXPECT_TRUE(std::filesystem::is_directory(data + "/KVRT"));
    // Without XDG_DATA_HOME: the home folder's .local/share.
    const std::string home = temp.Utf8("home");
    ScopedEnvironment homeVariable("HOME", &home);
    ScopedEnvironment noXdg("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(FindResultsFolder(temp.Utf8("file/KVRT")), home + "/.local/share/KVRT/");
    EXPECT_TRUE(std::filesystem::is_directory(home + "/.local/share/KVRT"));
}
