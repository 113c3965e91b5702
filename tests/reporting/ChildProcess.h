#pragma once
// Runs part of a test in a second process, as a second program would: fork, run, and end the child with _exit so
// that it never returns into the test runner.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include <fcntl.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace workbook_test {

class ChildProcess {
public:
    // Starts `work` in a child; the child's exit status is 0 when work returns true.
    explicit ChildProcess(const std::function<bool()>& work)
    {
        pid = ::fork();
        if (pid == 0)
            ::_exit(work() ? 0 : 1);
    }
    ~ChildProcess()
    {
        if (pid > 0 && !reaped) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits for the child; its exit status, or -1 when a signal ended it.
    int Wait()
    {
        int status = 0;
        ::waitpid(pid, &status, 0);
        reaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void Kill()
    {
        ::kill(pid, SIGKILL);
        Wait();
    }

    pid_t pid = -1;

private:
    bool reaped = false;
};

// A one-byte signal from a child to the test: the child calls Signal when it reached the point, the test Awaits.
class Signal {
public:
    Signal()
    {
        if (::pipe(ends) != 0)
            throw std::runtime_error("pipe failed");
    }
    ~Signal()
    {
        ::close(ends[0]);
        ::close(ends[1]);
    }
    void Send() const { (void)!::write(ends[1], "!", 1); }
    bool Await() const
    {
        char byte = 0;
        return ::read(ends[0], &byte, 1) == 1;
    }

private:
    int ends[2] = {-1, -1};
};

// Another program that takes the lock on the file `path` (created when missing) and holds it until it is killed, as
// a hung program would.
class LockHeldElsewhere {
public:
    explicit LockHeldElsewhere(const std::string& path)
        : holder([this, path] {
            const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0666);
            struct flock request { };
            request.l_type = F_WRLCK;
            request.l_whence = SEEK_SET;
            if (fd < 0 || ::fcntl(fd, F_OFD_SETLKW, &request) != 0)
                return false;
            locked.Send();
            for (;;)
                ::pause();
        })
    {
        held = locked.Await();
    }
    // Whether the other program holds the lock now.
    bool Held() const { return held; }
    // The other program ends, and its lock with it.
    void Release() { holder.Kill(); }

private:
    Signal locked;
    ChildProcess holder;
    bool held = false;
};

}  // namespace workbook_test
