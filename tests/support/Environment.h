#pragma once
// Setting and clearing the process's environment variables from the tests, on POSIX systems and on Windows (where
// the program reads the wide environment). Names and values are UTF-8.

#include <cstdlib>
#include <string>

#ifdef _WIN32
#include "platform/Utf8.h"
#endif

inline void SetEnvironment(const std::string& name, const std::string& value)
{
#ifdef _WIN32
    ::_wputenv_s(FromUtf8(name).c_str(), FromUtf8(value).c_str());
#else
    ::setenv(name.c_str(), value.c_str(), 1);
#endif
}

inline void UnsetEnvironment(const std::string& name)
{
#ifdef _WIN32
    // An empty value removes the variable.
    ::_wputenv_s(FromUtf8(name).c_str(), L"");
#else
    ::unsetenv(name.c_str());
#endif
}
