# Third-party libraries, all from Debian packages (see ./dev). Their headers are
# system headers so that our warning flags apply to our code only.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
pkg_check_modules(FREETYPE REQUIRED IMPORTED_TARGET freetype2)
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
pkg_check_modules(AGG REQUIRED IMPORTED_TARGET libagg)
pkg_check_modules(VORBIS REQUIRED IMPORTED_TARGET vorbisfile vorbisenc vorbis ogg)
pkg_check_modules(THEORA REQUIRED IMPORTED_TARGET theoradec ogg)
# The encoder makes clips in the tests and the benchmarks only.
pkg_check_modules(THEORAENC REQUIRED IMPORTED_TARGET theoraenc theoradec ogg)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo cairo-pdf)
pkg_check_modules(XERCES REQUIRED IMPORTED_TARGET xerces-c)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(Cups REQUIRED)
find_package(Boost 1.74 REQUIRED)
find_package(Threads REQUIRED)

foreach(target PkgConfig::SDL2 PkgConfig::ALSA PkgConfig::FREETYPE PkgConfig::AGG PkgConfig::VORBIS
        PkgConfig::THEORA PkgConfig::THEORAENC PkgConfig::CAIRO PkgConfig::XERCES)
  get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
  if(dirs)
    set_target_properties(${target} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${dirs}")
  endif()
endforeach()

# The tests' helpers, which the benchmarks link too, check with GoogleTest.
if(ZV_TESTS OR ZV_BENCHMARKS)
  find_package(GTest REQUIRED)
endif()
if(ZV_TESTS)
  include(GoogleTest)
endif()
if(ZV_BENCHMARKS)
  find_package(benchmark REQUIRED)
endif()
