# Cross-compiling for 64-bit Windows with Debian's mingw-w64, the POSIX-threads flavour of GCC (std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZV_MINGW_HOST x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ZV_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZV_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${ZV_MINGW_HOST}-windres)
set(CMAKE_AR ${ZV_MINGW_HOST}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${ZV_MINGW_HOST}-gcc-ranlib-posix CACHE FILEPATH "")

# Headers and libraries only from the cross folders: Debian's mingw-w64 (with zlib) and the libraries'
# install folder on CMAKE_PREFIX_PATH; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ZV_MINGW_HOST})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Prefixes given on CMAKE_PREFIX_PATH are searched as they are, not below the root.
list(APPEND CMAKE_FIND_ROOT_PATH ${CMAKE_PREFIX_PATH})

# The C and C++ run-time libraries and winpthreads linked in, so the program needs no DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
