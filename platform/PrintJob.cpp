#include "platform/PrintJob.h"

#include "platform/DebugOutput.h"
#include "platform/Messages.h"
#include "platform/Printers.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// How long the end of the program waits for jobs still being handed over.
constexpr std::chrono::seconds ExitGrace {5};

// Every job of the run that is not over, for waiting on them together. Never destroyed: a worker that a silent
// server releases while the program is ending still finds it.
class RunningJobs {
public:
    void Add()
    {
        std::lock_guard lock(mutex);
        ++count;
    }
    void Remove()
    {
        std::lock_guard lock(mutex);
        --count;
        changed.notify_all();
    }
    int Count() const
    {
        std::lock_guard lock(mutex);
        return count;
    }
    bool WaitUntilNone(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, timeout, [this] { return count == 0; });
    }

private:
    mutable std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
};

RunningJobs& Jobs()
{
    static RunningJobs* const jobs = new RunningJobs;
    return *jobs;
}

// Made with the first job, so it is destroyed at the end of the program (before anything made earlier): a job the
// pupil started just before leaving still reaches the printer.
struct WaitAtExit {
    ~WaitAtExit() { Jobs().WaitUntilNone(ExitGrace); }
};

std::uint32_t NextSerial()
{
    static std::mutex mutex;
    static std::uint32_t last = 0;
    std::lock_guard lock(mutex);
    return ++last;
}

}  // namespace

std::shared_ptr<PrintJob> PrintJob::Start(Request request)
{
    static WaitAtExit waitAtExit;
    std::shared_ptr<PrintJob> job(new PrintJob(NextSerial()));
    Jobs().Add();
    try {
        // Detached: the thread keeps the job alive through its own reference, and the end of the program does not
        // wait for a server that never answers beyond WaitAtExit's grace.
        std::thread([job, request = std::move(request)] { job->Run(request); }).detach();
    } catch (const std::system_error& error) {
        OutputDebugString(std::string("PrintJob: no thread: ") + error.what());
        job->Finish(0, 0);
    }
    return job;
}

void PrintJob::Run(const Request& request)
{
    const std::optional<PrintPage> page = A4PageOn(request.printer, request.dpi);
    if (!page) {
        Finish(0, request.doneMessage);
        return;
    }
    std::string pdf;
    if (std::unique_ptr<PrintDocument> document = PrintDocument::Create(*page, request.font, request.name)) {
        if (request.draw)
            request.draw(*document);
        pdf = document->Finish();
    }
    Finish(pdf.empty() ? 0 : SubmitPdf(request.printer, request.name, pdf), request.doneMessage);
}

void PrintJob::Finish(int jobNumber, unsigned doneMessage)
{
    {
        std::lock_guard lock(mutex);
        state = jobNumber > 0 ? State::Printed : State::Failed;
        number = std::max(jobNumber, 0);
    }
    if (doneMessage)
        PostMessage(doneMessage, serial, static_cast<std::uint32_t>(number));
    Jobs().Remove();
    // Whoever waits for this job wakes when everything above is done: the job is no longer counted as running.
    std::lock_guard lock(mutex);
    over = true;
    changed.notify_all();
}

PrintJob::State PrintJob::GetState() const
{
    std::lock_guard lock(mutex);
    return state;
}

int PrintJob::JobNumber() const
{
    std::lock_guard lock(mutex);
    return number;
}

bool PrintJob::Wait(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, timeout, [this] { return over; });
}

int PrintJob::Running()
{
    return Jobs().Count();
}

bool PrintJob::WaitForAll(std::chrono::milliseconds timeout)
{
    return Jobs().WaitUntilNone(timeout);
}
