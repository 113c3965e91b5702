#include "support/CupsTestServer.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

constexpr const char* GenericPdfPpd = "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd";

std::optional<std::string> GetEnvironment(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
}

void SetEnvironment(const std::string& name, const std::optional<std::string>& value)
{
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
}

bool WriteText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

// Spawns argv with stdin from /dev/null and stdout and stderr into `outputFd` (or /dev/null when it is -1).
pid_t Spawn(const std::vector<std::string>& argv, int outputFd)
{
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (outputFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outputFd, 1);
        posix_spawn_file_actions_adddup2(&actions, outputFd, 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t child = -1;
    const int error = posix_spawn(&child, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? child : -1;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------------------

EnvironmentOverride::EnvironmentOverride(std::string name, const std::optional<std::string>& value)
    : name(std::move(name))
    , previous(GetEnvironment(this->name))
{
    SetEnvironment(this->name, value);
}

EnvironmentOverride::~EnvironmentOverride()
{
    SetEnvironment(name, previous);
}

std::string FindProgram(const std::string& name)
{
    std::vector<std::string> folders;
    std::stringstream path(GetEnvironment("PATH").value_or(""));
    for (std::string folder; std::getline(path, folder, ':');)
        if (!folder.empty())
            folders.push_back(folder);
    // cupsd and lpadmin live in sbin, which a user's PATH may lack.
    folders.insert(folders.end(), {"/usr/sbin", "/sbin", "/usr/bin"});
    for (const std::string& folder : folders) {
        const std::string candidate = folder + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// ---------------------------------------------------------------------------------------------------------------------

CupsTestServer::CupsTestServer()
{
    const std::string cupsd = FindProgram("cupsd");
    if (cupsd.empty()) {
        whyNot = "cupsd is not installed";
        return;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "zv-cups-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        whyNot = "no temporary folder";
        return;
    }
    folder = pattern;
    socket = folder + "/cups.sock";
    // The scheduler hands work to filters under another account, which must reach the spool and the output.
    ::chmod(folder.c_str(), 0755);
    for (const char* sub : {"spool", "state", "cache", "log", "client", "home"})
        std::filesystem::create_directory(folder + "/" + sub);
    for (const char* shared : {"tmp", "out"}) {
        std::filesystem::create_directory(folder + "/" + shared);
        ::chmod((folder + "/" + shared).c_str(), 01777);
    }

    // Only the unix socket: no network port that could clash with another scheduler on the machine.
    const std::string conf = "Listen " + socket
        + "\n"
          "LogLevel warn\n"
          "Browsing No\n"
          "WebInterface No\n"
          "DefaultAuthType None\n"
          "PageLogFormat %j\t%{job-name}\n"
          "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
          "<Location /admin>\n  Order allow,deny\n  Allow all\n</Location>\n"
          "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n";
    const std::string files = "ServerRoot " + folder
        + "\n"
          "RequestRoot "
        + folder
        + "/spool\n"
          "TempDir "
        + folder
        + "/tmp\n"
          "StateDir "
        + folder
        + "/state\n"
          "CacheDir "
        + folder
        + "/cache\n"
          "ErrorLog "
        + folder
        + "/log/error_log\n"
          "AccessLog "
        + folder
        + "/log/access_log\n"
          "PageLog "
        + folder
        + "/log/page_log\n"
          "ServerBin /usr/lib/cups\n"
          "DataDir /usr/share/cups\n"
          "FileDevice Yes\n";
    if (!WriteText(folder + "/cupsd.conf", conf) || !WriteText(folder + "/cups-files.conf", files)) {
        whyNot = "cannot write the scheduler's configuration";
        return;
    }

    const int log = ::open((folder + "/log/cupsd.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid = Spawn({cupsd, "-f", "-c", folder + "/cupsd.conf", "-s", folder + "/cups-files.conf"}, log);
    if (log >= 0)
        ::close(log);
    if (pid <= 0) {
        pid = -1;
        whyNot = "cupsd does not start";
        return;
    }
    if (!WaitForSocket(std::chrono::seconds(20))) {
        std::ifstream errors(folder + "/log/cupsd.out");
        std::stringstream text;
        text << errors.rdbuf();
        whyNot = "cupsd does not answer on its socket: " + text.str();
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
        return;
    }

    // From here on this process's CUPS client talks to this scheduler only.
    environment.push_back(std::make_unique<EnvironmentOverride>("CUPS_SERVER", socket));
    environment.push_back(std::make_unique<EnvironmentOverride>("CUPS_SERVERROOT", folder + "/client"));
    environment.push_back(std::make_unique<EnvironmentOverride>("HOME", folder + "/home"));
    environment.push_back(std::make_unique<EnvironmentOverride>("LPDEST", std::nullopt));
    environment.push_back(std::make_unique<EnvironmentOverride>("PRINTER", std::nullopt));
}

CupsTestServer::~CupsTestServer()
{
    if (pid > 0) {
        if (suspended)
            Resume();
        ::kill(pid, SIGTERM);
        bool exited = false;
        for (int i = 0; i < 100 && !exited; ++i) {
            exited = ::waitpid(pid, nullptr, WNOHANG) == pid;
            if (!exited)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (!exited) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    environment.clear();
    // ZV_KEEP_CUPS_FOLDER=1 keeps the logs and printouts for a look after the test.
    if (GetEnvironment("ZV_KEEP_CUPS_FOLDER") == "1") {
        std::fprintf(stderr, "CupsTestServer: kept %s\n", folder.c_str());
        return;
    }
    if (!folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
}

bool CupsTestServer::WaitForSocket(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (socket.size() >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, socket.c_str(), socket.size() + 1);
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid)
            return false;  // it died
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool connected
            = fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
        if (fd >= 0)
            ::close(fd);
        if (connected)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool RunProgram(const std::vector<std::string>& argv, std::string& output)
{
    output.clear();
    if (argv.empty() || argv[0].empty())
        return false;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;
    const pid_t child = Spawn(argv, pipeFds[1]);
    ::close(pipeFds[1]);
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof(buffer))) > 0;)
        output.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool CupsTestServer::Run(const std::vector<std::string>& argv, std::string* output)
{
    std::string text;
    const bool ran = RunProgram(argv, text);
    if (output)
        *output = text;
    if (!ran)
        whyNot = (argv.empty() ? std::string("?") : argv[0]) + " failed: " + text;
    return ran;
}

bool CupsTestServer::AddQueue(const std::string& name, bool makeDefault, const std::string& media)
{
    if (!Started())
        return false;
    if (::access(GenericPdfPpd, R_OK) != 0) {
        whyNot = std::string("no ") + GenericPdfPpd + " (Debian package cups-filters)";
        return false;
    }
    const std::string lpadmin = FindProgram("lpadmin");
    if (!Run({lpadmin, "-p", name, "-E", "-v", "file://" + OutputPath(name), "-P", GenericPdfPpd, "-o",
            "media-default=" + media}))
        return false;
    return !makeDefault || Run({lpadmin, "-d", name});
}

bool CupsTestServer::RejectJobs(const std::string& name)
{
    return Started() && Run({FindProgram("cupsreject"), name});
}

std::string CupsTestServer::OutputPath(const std::string& queue) const
{
    return folder + "/out/" + queue + ".pdf";
}

void CupsTestServer::Suspend()
{
    if (pid > 0 && !suspended && ::kill(pid, SIGSTOP) == 0)
        suspended = true;
}

void CupsTestServer::Resume()
{
    if (pid > 0 && suspended.exchange(false))
        ::kill(pid, SIGCONT);
}

bool CupsTestServer::WaitUntilIdle(std::chrono::milliseconds timeout)
{
    const std::string lpstat = FindProgram("lpstat");
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        std::string pending;
        if (Run({lpstat, "-W", "not-completed", "-o"}, &pending)
            && pending.find_first_not_of(" \n") == std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

std::map<int, std::string> CupsTestServer::FinishedJobs() const
{
    std::map<int, std::string> jobs;
    std::ifstream log(folder + "/log/page_log");
    for (std::string line; std::getline(log, line);) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        jobs[std::atoi(line.substr(0, tab).c_str())] = line.substr(tab + 1);
    }
    return jobs;
}
