#pragma once
// The results' slow work off the screen's thread: merging left-behind journals and the merge-saves of workbooks the
// screen no longer uses may wait seconds for another program's lock, and the screen must go on meanwhile. One worker
// thread does the work posted to it, in the order posted; the owner's destructor lets it finish first.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class ResultsWorker {
public:
    ResultsWorker();
    // Does the work still posted, then ends the thread.
    ~ResultsWorker();
    ResultsWorker(const ResultsWorker&) = delete;
    ResultsWorker& operator=(const ResultsWorker&) = delete;

    // Runs `work` on the worker thread after what was posted before. An exception it throws is logged and dropped.
    void Post(std::function<void()> work);
    // Returns once everything posted before the call is done.
    void Wait();
    // What the worker's saves want the person in charge to learn (a save that went beside the workbook, or none
    // at all); empty while there is nothing. Safe from any thread.
    void SetNotice(std::wstring text);
    std::wstring Notice() const;

private:
    void Run();

    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> queue;  // waiting, in order
    bool busy = false;                        // a work is running
    bool stopping = false;                    // the destructor runs
    std::wstring notice;
    std::thread thread;  // last: started once everything above exists
};
