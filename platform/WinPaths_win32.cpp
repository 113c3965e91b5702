#include "platform/WinPaths.h"

#include "platform/Utf8.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

std::wstring WidePath(const std::string& utf8Path)
{
    std::wstring wide = FromUtf8(utf8Path);
    for (wchar_t& c : wide) {
        if (c == L'/')
            c = L'\\';
    }
    return wide;
}

std::string WindowsErrorText(unsigned long code)
{
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
            | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring description = length > 0 && text ? std::wstring(text, length) : std::wstring(L"unknown error");
    if (text)
        ::LocalFree(text);
    while (!description.empty() && (description.back() == L' ' || description.back() == L'.'))
        description.pop_back();
    return ToUtf8(description) + " (error " + std::to_string(code) + ")";
}

int OpenSharedDescriptor(const std::string& utf8Path, unsigned long disposition, bool removable)
{
    const HANDLE file = ::CreateFileW(WidePath(utf8Path).c_str(),
        GENERIC_READ | GENERIC_WRITE | (removable ? DELETE : 0), FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
    if (fd < 0)
        ::CloseHandle(file);
    return fd;
}
