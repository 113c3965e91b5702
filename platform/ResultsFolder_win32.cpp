#include "platform/ResultsFolder.h"

#include "platform/Utf8.h"
#include "platform/WinPaths.h"

#include <cstdlib>

#include <windows.h>

namespace {

std::string EnvironmentValue(const wchar_t* name)
{
    const wchar_t* value = ::_wgetenv(name);
    return value ? ToUtf8(value) : std::string();
}

// The path with '/' separators and without a trailing one.
std::string Normalised(std::string path)
{
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    while (path.size() > 1 && path.back() == '/' && path[path.size() - 2] != ':')
        path.pop_back();
    return path;
}

bool IsFolder(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether this account can make files in the folder: a file is made and removed again. The folder's access control
// list decides that, which no look at its attributes can tell.
bool IsWritableFolder(const std::string& path)
{
    if (!IsFolder(path))
        return false;
    const std::wstring probe
        = WidePath(path + "/.zvonkary-write-test-" + std::to_string(::GetCurrentProcessId()) + ".tmp");
    const HANDLE file = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(file);
    return true;
}

// Creates the folder and the folders above it that are missing; true when it is a writable folder afterwards.
bool EnsureFolder(const std::string& path)
{
    if (path.empty())
        return false;
    // A drive ("C:"), a share ("//server/share") or the root is never made, only the folders below it.
    std::size_t from = 1;
    if (path.size() > 2 && path[1] == ':')
        from = 3;
    else if (path.starts_with("//")) {
        const std::size_t server = path.find('/', 2);
        from = server == std::string::npos ? path.size() : path.find('/', server + 1);
    }
    for (std::size_t slash = path.find('/', from); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::CreateDirectoryW(WidePath(path.substr(0, slash)).c_str(), nullptr);
    ::CreateDirectoryW(WidePath(path).c_str(), nullptr);
    return IsWritableFolder(path);
}

// The per-user folder, created when missing; empty when it cannot be.
std::string UserResultsFolder()
{
    const std::string user = Normalised(EnvironmentValue(L"LOCALAPPDATA"));
    if (!user.empty() && EnsureFolder(user + "/KVRT"))
        return user + "/KVRT/";
    return {};
}

}  // namespace

std::string MachineResultsFolder()
{
    const std::string common = Normalised(EnvironmentValue(L"PROGRAMDATA"));
    return common.empty() ? std::string() : common + "/KVRT";
}

ResultsLocation LocateResultsFolder(const std::string& machineFolder)
{
    const std::string chosen = Normalised(EnvironmentValue(L"ZVONKARY_RESULTS_DIR"));
    if (!chosen.empty()) {
        // Never made: a missing one is most likely a share that is not connected.
        if (IsWritableFolder(chosen))
            return {chosen + "/", {}};
        return {UserResultsFolder(), chosen + "/"};
    }
    const std::string machine = Normalised(machineFolder);
    if (!machine.empty()
        && (IsWritableFolder(machine)
            || (::CreateDirectoryW(WidePath(machine).c_str(), nullptr) && IsWritableFolder(machine))))
        return {machine + "/", {}};
    const std::string user = UserResultsFolder();
    if (!user.empty())
        return {user, {}};
    const std::string wanted = Normalised(EnvironmentValue(L"LOCALAPPDATA"));
    return {{}, wanted.empty() ? machine + "/" : wanted + "/KVRT/"};
}

std::string FindResultsFolder(const std::string& machineFolder)
{
    return LocateResultsFolder(machineFolder).folder;
}
