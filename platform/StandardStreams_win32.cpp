#include "platform/StandardStreams.h"

#include <cstdio>

#include <windows.h>

namespace {

bool IsConnected(DWORD stream)
{
    const HANDLE handle = ::GetStdHandle(stream);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

void ConnectStandardStreams()
{
    // Streams redirected to a file or a pipe stay as they are.
    const bool output = IsConnected(STD_OUTPUT_HANDLE);
    const bool error = IsConnected(STD_ERROR_HANDLE);
    if ((output && error) || !::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (!output)
        std::freopen("CONOUT$", "w", stdout);
    if (!error)
        std::freopen("CONOUT$", "w", stderr);
}
