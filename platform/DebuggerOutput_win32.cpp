#include "platform/DebuggerOutput.h"

#include "platform/Utf8.h"

#include <windows.h>

void SendToDebugger(std::string_view utf8Line)
{
    const std::wstring line = FromUtf8(utf8Line) + L"\n";
    ::OutputDebugStringW(line.c_str());
}
