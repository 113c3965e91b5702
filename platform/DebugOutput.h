#pragma once
// The debug log: one line per call on standard error (and, on Windows, to the
// debugger), written only when the environment variable ZVONKARY_DEBUG is set to 1. A normal run prints nothing
// here; what a user must see goes to standard error directly.

#include <string_view>

void OutputDebugString(std::wstring_view text);
void OutputDebugString(std::string_view utf8);
// Whether the debug log is written (ZVONKARY_DEBUG=1, read once).
bool IsDebugOutputEnabled();
