#include "platform/DebugOutput.h"

#include "platform/DebuggerOutput.h"
#include "platform/Utf8.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {
std::mutex outputMutex;  // decoding threads write too
}

bool IsDebugOutputEnabled()
{
    static const bool enabled = [] {
        const char* value = std::getenv("ZVONKARY_DEBUG");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }();
    return enabled;
}

void OutputDebugString(std::string_view utf8)
{
    if (!IsDebugOutputEnabled())
        return;
    std::lock_guard lock(outputMutex);
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    SendToDebugger(utf8);
}

void OutputDebugString(std::wstring_view text)
{
    if (IsDebugOutputEnabled())
        OutputDebugString(std::string_view(ToUtf8(text)));
}
