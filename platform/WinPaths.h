#pragma once
// For the Win32 files of this folder: the program's UTF-8 paths as the UTF-16 paths the wide file calls take, and a
// Windows error code as a line of UTF-8. Only the Windows build has these.

#include <string>

// `utf8Path` in UTF-16 with every '/' turned into '\'.
std::wstring WidePath(const std::string& utf8Path);
// "<system's description> (error <code>)".
std::string WindowsErrorText(unsigned long code);
