#pragma once
// For the Win32 files of this folder: the program's UTF-8 paths as the UTF-16 paths the wide file calls take, and a
// Windows error code as a line of UTF-8. Only the Windows build has these.

#include <string>

// `utf8Path` in UTF-16 with every '/' turned into '\'.
std::wstring WidePath(const std::string& utf8Path);
// The file opened for reading and writing, shared with every other opener (renaming and removing included), as a C
// run-time descriptor that owns the handle; -1 when it cannot be opened (GetLastError says why). `disposition` is
// CreateFileW's; `removable` asks for the right to rename or remove the file through this handle. A reparse point
// planted under the name is opened as itself, not followed, for the caller to refuse as not a regular file.
int OpenSharedDescriptor(const std::string& utf8Path, unsigned long disposition, bool removable);
// "<system's description> (error <code>)".
std::string WindowsErrorText(unsigned long code);
