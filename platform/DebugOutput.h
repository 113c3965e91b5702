#pragma once
// The debug log: one line per call on standard error.

#include <string_view>

void OutputDebugString(std::wstring_view text);
void OutputDebugString(std::string_view utf8);

// UTF-16/32 wide text to UTF-8; used wherever wide strings leave the program.
#include <string>
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
