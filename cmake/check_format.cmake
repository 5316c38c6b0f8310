# Fails when a source of the library, its add-ons, its public headers, its
# tests or its fuzz targets differs from what .clang-format makes of it (tests
# and fuzz targets take their folders' own .clang-format: wider lines).
#   cmake -DROOT=<source tree> -DCLANG_FORMAT=<clang-format-14> -P check_format.cmake
set(FOLDERS platform support blit dib codec canvas animate projector sdl include
            tests tests/reference tests/tools tests/sdl tests/consumers fuzz)
set(sources "")
foreach(folder ${FOLDERS})
  file(GLOB found ${ROOT}/${folder}/*.cpp ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.c)
  list(APPEND sources ${found})
endforeach()
set(failures "")
foreach(source ${sources})
  execute_process(COMMAND ${CLANG_FORMAT} --dry-run -Werror --style=file ${source}
                  WORKING_DIRECTORY ${ROOT} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(NOT rc EQUAL 0)
    file(RELATIVE_PATH name ${ROOT} ${source})
    list(APPEND failures ${name})
  endif()
endforeach()
if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "Not in the house style (run ${CLANG_FORMAT} -i on them):\n  ${text}")
endif()
list(LENGTH sources count)
message(STATUS "${count} sources follow .clang-format")
