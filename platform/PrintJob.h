#pragma once
// A print job made and handed over away from the screen: on a worker thread it asks the printer for its printable
// area of an A4 sheet, has the caller draw the document, finishes the PDF and only then submits it to the printer.
// A slow or silent printer or server therefore never stops the frames; the main thread learns the outcome by polling
// the job, or through a message posted into the program's queue when the job is over.
//
// The worker owns nothing the main thread uses: it shares only the job object, whose state is guarded. When the
// program ends, jobs still being handed over are given a few seconds to finish; a server that does not answer by
// then keeps its job.
//
// Leaves out: cancelling, progress, what happens to a job after the server accepted it.

#include "platform/PrintDocument.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>

class PrintJob {
public:
    enum class State {
        Running,  // being made or handed over
        Printed,  // the server accepted it
        Failed,   // nothing reached a printer
    };

    // Draws the whole document; runs on the worker thread, so it may use only what it carries.
    using Drawing = std::function<void(PrintDocument&)>;

    struct Request {
        std::string printer;                  // CUPS queue name, UTF-8
        std::string name;                     // the job's name, also the PDF's title
        std::span<const unsigned char> font;  // TrueType file for the document; must outlive the job
        int dpi = 300;                        // printer pixels per inch
        Drawing draw;                         // what the document holds
        unsigned doneMessage = 0;             // posted (job serial, CUPS job number) when over; 0: none
    };

    // Starts the job on a worker thread of its own. Never null.
    static std::shared_ptr<PrintJob> Start(Request request);

    State GetState() const;
    // CUPS's job number once Printed; 0 otherwise.
    int JobNumber() const;
    // The program's own number of this job, counting from 1; the posted message carries it.
    std::uint32_t Serial() const { return serial; }
    // Waits until the job is over or `timeout` has passed; whether it is over.
    bool Wait(std::chrono::milliseconds timeout) const;

    // Jobs of this run that are not over yet.
    static int Running();
    // Waits until no job is running or `timeout` has passed; whether none is running.
    static bool WaitForAll(std::chrono::milliseconds timeout);

private:
    explicit PrintJob(std::uint32_t serial)
        : serial(serial)
    {
    }
    void Run(const Request& request);
    void Finish(int jobNumber, unsigned doneMessage);

    const std::uint32_t serial;
    mutable std::mutex mutex;                 // guards state, number and over
    mutable std::condition_variable changed;  // notified when the job is over
    State state = State::Running;
    bool over = false;  // the end is posted and the job no longer counts as running
    int number = 0;
};
