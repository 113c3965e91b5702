#pragma once
// The debug log's lines also go to a debugger watching the program where the system has one that listens
// (Windows' OutputDebugStringW, which DebugView and Visual Studio show).

#include <string_view>

void SendToDebugger(std::string_view utf8Line);
