# The Windows build's libraries: Debian's source packages cross-built by tools/windows/build-libraries into one
# folder, given as CMAKE_PREFIX_PATH, and linked statically. They get the names the Linux build gives them, so the
# layers link the same targets on both systems.
find_package(PkgConfig REQUIRED)
list(GET CMAKE_PREFIX_PATH 0 ZV_WINDOWS_LIBRARIES)
# zlib is Debian's libz-mingw-w64-dev, in the cross folder.
set(ENV{PKG_CONFIG_LIBDIR} "${ZV_WINDOWS_LIBRARIES}/lib/pkgconfig:/usr/x86_64-w64-mingw32/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# zv_static_package(target module...): an imported target of the modules' static link line (pkg-config --static).
function(zv_static_package target)
  string(MAKE_C_IDENTIFIER ${target} var)
  pkg_check_modules(${var} REQUIRED ${ARGN})
  set(libraries ${${var}_STATIC_LIBRARIES})
  # SDL's WinMain wrapper, and the renaming of main it asks for: the program has its own main.
  list(REMOVE_ITEM libraries SDL2main)
  set(options ${${var}_STATIC_CFLAGS_OTHER})
  list(REMOVE_ITEM options -Dmain=SDL_main)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${${var}_STATIC_INCLUDE_DIRS}"
    INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${${var}_STATIC_INCLUDE_DIRS}"
    INTERFACE_LINK_DIRECTORIES "${${var}_STATIC_LIBRARY_DIRS}"
    INTERFACE_LINK_LIBRARIES "${libraries}"
    INTERFACE_COMPILE_OPTIONS "${options}")
endfunction()

zv_static_package(PkgConfig::SDL2 sdl2)
zv_static_package(PkgConfig::FREETYPE freetype2)
zv_static_package(PkgConfig::AGG libagg)
zv_static_package(PkgConfig::VORBIS vorbisfile vorbisenc vorbis ogg)
zv_static_package(PkgConfig::THEORA theoradec ogg)
zv_static_package(PkgConfig::THEORAENC theoraenc theoradec ogg)
zv_static_package(PkgConfig::XERCES xerces-c)
# Xerces-C's headers import its functions from a DLL unless told that the library is static.
set_property(TARGET PkgConfig::XERCES APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS XERCES_STATIC_LIBRARY)

find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
set(Boost_INCLUDE_DIR ${ZV_WINDOWS_LIBRARIES}/include)
find_package(Boost 1.74 REQUIRED)
find_package(Threads REQUIRED)

if(ZV_TESTS)
  # GoogleTest from the sources Debian's libgtest-dev and libgmock-dev install.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # Its build names its libraries GTest::gtest, GTest::gtest_main and GTest::gmock, as the Linux build finds them.
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  include(GoogleTest)
endif()
