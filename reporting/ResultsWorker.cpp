#include "reporting/ResultsWorker.h"

#include <exception>
#include <utility>

#include "platform/Warning.h"

ResultsWorker::ResultsWorker()
    : thread([this] { Run(); })
{
}

ResultsWorker::~ResultsWorker()
{
    {
        const std::lock_guard guard(mutex);
        stopping = true;
    }
    changed.notify_all();
    thread.join();
}

void ResultsWorker::Post(std::function<void()> work)
{
    {
        const std::lock_guard guard(mutex);
        queue.push_back(std::move(work));
    }
    changed.notify_all();
}

void ResultsWorker::Wait()
{
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return queue.empty() && !busy; });
}

void ResultsWorker::SetNotice(std::wstring text)
{
    const std::lock_guard guard(mutex);
    notice = std::move(text);
}

std::wstring ResultsWorker::Notice() const
{
    const std::lock_guard guard(mutex);
    return notice;
}

void ResultsWorker::Run()
{
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return !queue.empty() || stopping; });
        if (queue.empty())
            return;
        std::function<void()> work = std::move(queue.front());
        queue.pop_front();
        busy = true;
        lock.unlock();
        try {
            work();
        } catch (const std::exception& error) {
            OutputWarning(std::string("saving the results failed: ") + error.what());
        }
        lock.lock();
        busy = false;
        changed.notify_all();
    }
}
