# Fails when a library source includes a header of a folder above its own.
#   cmake -DROOT=<source tree> -P check_includes.cmake
#
# The library's folders, floor first: each may include its own headers and
# those of the folders before it, never one after it. README's layout table
# and its picture of the layers say the same; change the three together.
set(LAYERS platform support blit dib codec canvas animate projector)
# The one edge against the order: the master palette and the palette effects
# live in canvas/, yet their exports take the engine state, which holds the
# master colours and the canvas record.
set(ALLOWED_EXCEPTIONS "canvas -> animate/engine_state.h")

set(failures "")
list(LENGTH LAYERS count)
math(EXPR last "${count} - 1")
foreach(index RANGE ${last})
  list(GET LAYERS ${index} folder)
  file(GLOB sources ${ROOT}/${folder}/*.cpp ${ROOT}/${folder}/*.h)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^#include \"[a-z_]+/")
    foreach(line ${includes})
      string(REGEX REPLACE "^#include \"(([a-z_]+)/[^\"]*)\".*" "\\1;\\2" parts "${line}")
      list(GET parts 0 header)
      list(GET parts 1 target)
      list(FIND LAYERS ${target} target_index)
      if(target_index EQUAL -1)
        list(APPEND failures "${folder}/: includes ${header}, from no library folder")
      elseif(target_index GREATER index)
        list(FIND ALLOWED_EXCEPTIONS "${folder} -> ${header}" allowed)
        if(allowed EQUAL -1)
          file(RELATIVE_PATH name ${ROOT} ${source})
          list(APPEND failures "${name} includes ${header}: ${target}/ sits above ${folder}/")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

# Add-on libraries sit on top of the library and reach it through its
# public header alone, as a game does: of the tree's folders they include
# only their own.
set(ADDONS sdl)
foreach(folder ${ADDONS})
  file(GLOB sources ${ROOT}/${folder}/*.cpp ${ROOT}/${folder}/*.h)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^#include \"[a-z_]+/")
    foreach(line ${includes})
      string(REGEX REPLACE "^#include \"([a-z_]+)/.*" "\\1" target "${line}")
      if(NOT target STREQUAL folder)
        file(RELATIVE_PATH name ${ROOT} ${source})
        list(APPEND failures "${name} includes from ${target}/: an add-on uses the public header alone")
      endif()
    endforeach()
  endforeach()
endforeach()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "Includes against the layers:\n  ${text}")
endif()
message(STATUS "Every library include follows the layers: ${LAYERS}")
