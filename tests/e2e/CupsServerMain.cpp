// zv_e2e_cups: a private CUPS scheduler with one PDF queue, for the end-to-end tests that print from the real
// program. Started by the harness, it prints where the program's CUPS client must look and where the printed PDF
// lands, one "key value" line each, then answers commands on standard input until it closes:
//
//     idle   waits until the scheduler has finished every job; answers "idle" or "busy"
//     jobs   answers "job <number> <name>" for every finished job, then "end"
//
// The scheduler, its configuration and the printouts are removed when it ends.

#include "support/CupsTestServer.h"

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    const std::string queue = argc > 1 ? argv[1] : "Zvonkary_PDF";
    CupsTestServer server;
    if (!server.Started()) {
        std::cout << "error " << server.WhyNot() << std::endl;
        return 1;
    }
    if (!server.AddQueue(queue, true)) {
        std::cout << "error " << server.WhyNot() << std::endl;
        return 1;
    }
    std::cout << "server " << server.Socket() << "\n"
              << "serverroot " << server.Folder() << "/client\n"
              << "output " << server.OutputPath(queue) << "\n"
              << "ready" << std::endl;
    for (std::string command; std::getline(std::cin, command);) {
        if (command == "idle") {
            std::cout << (server.WaitUntilIdle() ? "idle" : "busy") << std::endl;
        } else if (command == "jobs") {
            for (const auto& [number, name] : server.FinishedJobs())
                std::cout << "job " << number << " " << name << "\n";
            std::cout << "end" << std::endl;
        } else {
            std::cout << "unknown " << command << std::endl;
        }
    }
    return 0;
}
