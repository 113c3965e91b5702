#include "platform/ResultsFolder.h"

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsWritableFolder(const std::string& path)
{
    struct stat info { };
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && ::access(path.c_str(), W_OK | X_OK) == 0;
}

// Creates path and the folders above it that are missing; true when it is a
// writable folder afterwards.
bool EnsureFolder(const std::string& path)
{
    if (path.empty())
        return false;
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0777);
    ::mkdir(path.c_str(), 0777);
    return IsWritableFolder(path);
}

std::string EnvironmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string WithSlash(std::string path)
{
    if (!path.empty() && path.back() != '/')
        path.push_back('/');
    return path;
}

std::string UserDataFolder()
{
    const std::string xdg = EnvironmentValue("XDG_DATA_HOME");
    if (!xdg.empty() && xdg.front() == '/')
        return xdg;
    const std::string home = EnvironmentValue("HOME");
    return home.empty() || home.front() != '/' ? std::string() : home + "/.local/share";
}

// The per-user folder, created when missing; empty when it cannot be.
std::string UserResultsFolder()
{
    const std::string user = UserDataFolder();
    if (!user.empty() && EnsureFolder(user + "/KVRT"))
        return user + "/KVRT/";
    return {};
}

}  // namespace

std::string MachineResultsFolder()
{
    return "/var/lib/KVRT";
}

ResultsLocation LocateResultsFolder(const std::string& machineFolder)
{
    const std::string chosen = EnvironmentValue("ZVONKARY_RESULTS_DIR");
    if (!chosen.empty()) {
        if (IsWritableFolder(chosen))
            return {WithSlash(chosen), {}};
        return {UserResultsFolder(), WithSlash(chosen)};
    }
    if (IsWritableFolder(machineFolder)
        || (::mkdir(machineFolder.c_str(), 02775) == 0 && IsWritableFolder(machineFolder)))
        return {WithSlash(machineFolder), {}};
    const std::string user = UserResultsFolder();
    if (!user.empty())
        return {user, {}};
    const std::string wanted = UserDataFolder();
    return {{}, wanted.empty() ? WithSlash(machineFolder) : wanted + "/KVRT/"};
}

std::string FindResultsFolder(const std::string& machineFolder)
{
    return LocateResultsFolder(machineFolder).folder;
}
