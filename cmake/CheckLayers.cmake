# The layers, checked: a folder includes headers of its own layer and the ones
# below it only, and the system headers of a library only where that library
# belongs. Run as a test:
#   cmake -DSOURCE_DIR=<repository> -P cmake/CheckLayers.cmake
# It prints every offending line and fails when there is one.

cmake_minimum_required(VERSION 3.25)

# Folder -> the project folders its files may include.
set(below_events events)
set(below_platform ${below_events} platform)
set(below_data data)
set(below_sound ${below_platform} data media/sound)
set(below_render ${below_sound} render)
set(below_toolkit ${below_render} toolkit)
set(below_video ${below_toolkit} media/video)
set(below_exercise ${below_video} exercise)
set(below_reporting ${below_toolkit} reporting)
set(below_app ${below_exercise} reporting app screens)

set(folders events platform data media/sound render toolkit media/video exercise reporting app screens)
set(allowed_events ${below_events})
set(allowed_platform ${below_platform})
set(allowed_data ${below_data})
set(allowed_media/sound ${below_sound})
set(allowed_render ${below_render})
set(allowed_toolkit ${below_toolkit})
set(allowed_media/video ${below_video})
set(allowed_exercise ${below_exercise})
set(allowed_reporting ${below_reporting})
set(allowed_app ${below_app})
set(allowed_screens ${below_app})

# System headers that only one folder may include (regular expressions).
set(private_headers
  "SDL[^>]*\\.h|alsa/|cups/|cairo|ft2build\\.h|freetype/" platform
  "windows\\.h|io\\.h|shlobj\\.h|winspool\\.h" platform
  "vorbis/|ogg/" "media/sound|media/video|platform"
  "theora/" media/video
  "xercesc/" reporting
  "agg_" render
  "jpeglib\\.h" render
  "png\\.h" "render|platform"
  # The operating system's own interfaces: a port replaces platform/ and nothing else.
  "unistd\\.h|fcntl\\.h|sys/|dirent\\.h|pwd\\.h|grp\\.h|signal\\.h|termios\\.h|poll\\.h|dlfcn\\.h|spawn\\.h|netdb\\.h|arpa/|netinet/|windows\\.h" platform)

set(problems "")
foreach(folder ${folders})
  file(GLOB files ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(path ${files})
    file(STRINGS ${path} includes REGEX "^#include [<\"]")
    file(RELATIVE_PATH shown ${SOURCE_DIR} ${path})
    foreach(line ${includes})
      if(line MATCHES "^#include \"([^\"]+)/[^/\"]+\"")
        set(target_folder ${CMAKE_MATCH_1})
        if(NOT target_folder IN_LIST allowed_${folder})
          string(APPEND problems "${shown}: ${line} reaches up into ${target_folder}/\n")
        endif()
      elseif(line MATCHES "^#include <([^>]+)>")
        set(header ${CMAKE_MATCH_1})
        set(pairs ${private_headers})
        while(pairs)
          list(POP_FRONT pairs pattern owners)
          if(header MATCHES "^(${pattern})" AND NOT folder MATCHES "^(${owners})$")
            string(APPEND problems "${shown}: ${line} belongs to ${owners}/ only\n")
          endif()
        endwhile()
      endif()
    endforeach()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "Layer violations:\n${problems}")
endif()
message(STATUS "layers: every include points down")
