# zv_for_this_system(list): keeps in the list of sources the files of the
# system the build is for: Foo_win32.cpp on Windows, Foo_posix.cpp elsewhere.
function(zv_for_this_system list)
  if(WIN32)
    list(FILTER ${list} EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER ${list} EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  set(${list} ${${list}} PARENT_SCOPE)
endfunction()

# zv_layer(name DIR dir DEPS ...): a static library of every .cpp in dir,
# with the repository root on the include path (headers are included as
# "folder/File.h").
function(zv_layer name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${ARG_DIR}/*.cpp")
  zv_for_this_system(sources)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# zv_tests(name DIR dir DEPS ...): one GoogleTest executable of every .cpp in
# dir, registered with CTest test by test. The tests run headless. On Windows
# the files named in ZV_LINUX_ONLY_TESTS are left out.
function(zv_tests name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${ARG_DIR}/*.cpp")
  zv_for_this_system(sources)
  if(WIN32)
    foreach(linuxOnly ${ZV_LINUX_ONLY_TESTS})
      list(REMOVE_ITEM sources ${linuxOnly})
    endforeach()
  endif()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE ZV_DATA_DIR="${PROJECT_SOURCE_DIR}/data/"
                                             ZV_SOURCE_DIR="${PROJECT_SOURCE_DIR}/")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy;ASAN_OPTIONS=detect_leaks=1")
endfunction()

# zv_check_links(): fails the configuration when a layer links a layer above
# it (or beside it) or a library that belongs to another layer. Called once,
# after every layer is defined.
function(zv_check_links)
  # Bottom up; a layer may link any layer listed before it.
  set(order zv_events zv_platform zv_data zv_sound zv_render zv_toolkit zv_video zv_exercise zv_reporting zv_app)
  # Libraries, and the one layer that may link each of them.
  set(libraries PkgConfig::SDL2 PkgConfig::ALSA PkgConfig::FREETYPE PkgConfig::CAIRO Cups::Cups
                PkgConfig::VORBIS PkgConfig::THEORA PkgConfig::XERCES PkgConfig::AGG JPEG::JPEG)
  set(owners    zv_platform zv_platform zv_platform zv_platform zv_platform
                zv_sound zv_video zv_reporting zv_render zv_render)
  set(seen "")
  foreach(layer ${order})
    get_target_property(type ${layer} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(links ${layer} INTERFACE_LINK_LIBRARIES)
    else()
      get_target_property(links ${layer} LINK_LIBRARIES)
    endif()
    foreach(link ${links})
      if(link MATCHES "^zv_" AND NOT link IN_LIST seen)
        message(FATAL_ERROR "${layer} links ${link}, which is not a layer below it")
      endif()
      list(FIND libraries ${link} at)
      if(at GREATER_EQUAL 0)
        list(GET owners ${at} owner)
        if(NOT owner STREQUAL layer)
          message(FATAL_ERROR "${layer} links ${link}, which only ${owner} may link")
        endif()
      endif()
    endforeach()
    list(APPEND seen ${layer})
  endforeach()
endfunction()
