#include "platform/Warning.h"

#include <cstdio>
#include <mutex>

void OutputWarning(std::string_view utf8)
{
    static std::mutex outputMutex;
    std::lock_guard lock(outputMutex);
    std::fputs("zvonkary: ", stderr);
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}
