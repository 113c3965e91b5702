#include "platform/WinPaths.h"

#include "platform/Utf8.h"

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
