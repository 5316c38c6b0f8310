# Installs the library's runtime and development parts into a fresh scratch
# prefix, as `cmake --install` would for a game developer.
#   cmake -DBUILD_DIR=... -DPREFIX=... -P install_scratch.cmake
file(REMOVE_RECURSE "${PREFIX}")
foreach(component runtime development)
  execute_process(
    COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}" --component ${component}
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "installing the ${component} component failed (${result})")
  endif()
endforeach()
