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

TEST_F(ResultsFolder, TheEnvironmentNamesTheFolderAndItIsCreated)
{
    const std::string chosen = temp.Utf8("share/class 5A");
    ScopedEnvironment override("ZVONKARY_RESULTS_DIR", &chosen);
    EXPECT_EQ(FindResultsFolder(temp.Utf8("machine")), chosen + "/");
    EXPECT_TRUE(std::filesystem::is_directory(chosen));
    EXPECT_FALSE(std::filesystem::exists(temp.Utf8("machine"))) << "the machine folder is not touched";
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
