#pragma once
// A private CUPS scheduler for tests: cupsd in the foreground with its configuration, spool, logs and socket in a
// temporary folder of its own, and queues whose device is a PDF file in that folder (the generic PDF driver of
// cups-filters). While it lives, the process's CUPS client is pointed at it (CUPS_SERVER names its socket; the client
// configuration, the user's lpoptions and LPDEST/PRINTER are set aside), so tests never reach the machine's own
// printers or scheduler.
//
// cupsd is the Debian package cups; the driver is cups-filters. Tests skip only when cupsd cannot be started at all
// (REQUIRE_CUPS); a queue that cannot be added fails the test.

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// Sets (or, with nothing, removes) an environment variable for as long as it lives.
class EnvironmentOverride {
public:
    EnvironmentOverride(std::string name, const std::optional<std::string>& value);
    ~EnvironmentOverride();
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    std::string name;
    std::optional<std::string> previous;
};

class CupsTestServer {
public:
    // Starts cupsd and waits until it answers on its socket.
    CupsTestServer();
    // Stops cupsd (resuming it first if suspended), restores the environment and removes the folder (unless
    // ZV_KEEP_CUPS_FOLDER=1, for a look at the logs and printouts).
    ~CupsTestServer();
    CupsTestServer(const CupsTestServer&) = delete;
    CupsTestServer& operator=(const CupsTestServer&) = delete;

    bool Started() const { return pid > 0; }
    const std::string& WhyNot() const { return whyNot; }

    // A queue printing into OutputPath(name) through the generic PDF driver, accepting jobs, whose sheet is `media`
    // unless asked otherwise (the driver's own default is Letter). The last one added with makeDefault is the
    // server's default destination. False (with the reason in WhyNot) when lpadmin fails.
    bool AddQueue(const std::string& name, bool makeDefault = false, const std::string& media = "A4");
    // The queue stops accepting jobs (cupsreject).
    bool RejectJobs(const std::string& name);
    std::string OutputPath(const std::string& queue) const;

    // Stops and resumes the scheduler's process: while it is stopped, connections are accepted by the kernel but
    // nothing answers, as with a printer or server that hangs. Resume may be called from another thread.
    void Suspend();
    void Resume();

    // Waits until the scheduler has finished every job it holds (completed, cancelled or aborted).
    bool WaitUntilIdle(std::chrono::milliseconds timeout = std::chrono::seconds(60));
    // The page log's records of finished jobs: job number -> job name.
    std::map<int, std::string> FinishedJobs() const;

    const std::string& Folder() const { return folder; }
    const std::string& Socket() const { return socket; }

private:
    bool Run(const std::vector<std::string>& argv, std::string* output = nullptr);
    bool WaitForSocket(std::chrono::milliseconds timeout);

    std::string folder;  // everything of this server; removed by the destructor
    std::string socket;  // the scheduler's unix socket, also CUPS_SERVER
    std::string whyNot;
    pid_t pid = -1;
    std::atomic<bool> suspended = false;  // Resume may come from a watchdog thread
    std::vector<std::unique_ptr<EnvironmentOverride>> environment;
};

// Where a program (cupsd, lpadmin, pdftotext, ...) is installed, looking in sbin too; empty when it is not.
std::string FindProgram(const std::string& name);
// Runs argv[0] (a full path) with argv, stdout and stderr gathered into `output`; whether it exited with 0.
bool RunProgram(const std::vector<std::string>& argv, std::string& output);

#define REQUIRE_CUPS(server)                                                                                           \
    do {                                                                                                               \
        if (!(server).Started())                                                                                       \
            GTEST_SKIP() << "no private CUPS scheduler (Debian packages cups, cups-filters): " << (server).WhyNot();   \
    } while (false)
