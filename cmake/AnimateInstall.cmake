# What `cmake --install` puts under the prefix. Components: "runtime" (the
# shared library), "development" (header, CMake package, pkg-config file,
# the unversioned library link) and "tools" (asset tools and the demo). The
# static library of internals stays in the build tree: it is the test
# suite's, not an interface.
include(CMakePackageConfigHelpers)

set(ANIMATE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/animate)

install(TARGETS animate EXPORT animateTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT runtime
    NAMELINK_COMPONENT development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/animate.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)

install(EXPORT animateTargets
  NAMESPACE animate::
  DESTINATION ${ANIMATE_CMAKE_DIR}
  COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/animateConfig.cmake.in
  ${PROJECT_BINARY_DIR}/animateConfig.cmake
  INSTALL_DESTINATION ${ANIMATE_CMAKE_DIR})
# Same major version: the major number is the SONAME's, so a game built
# against 4.x runs with any later 4.y.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/animateConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
# The build tree is a package too: -Danimate_DIR=<build> finds it uninstalled.
export(EXPORT animateTargets NAMESPACE animate:: FILE ${PROJECT_BINARY_DIR}/animateTargets.cmake)
install(FILES ${PROJECT_BINARY_DIR}/animateConfig.cmake
              ${PROJECT_BINARY_DIR}/animateConfigVersion.cmake
  DESTINATION ${ANIMATE_CMAKE_DIR} COMPONENT development)

# The pkg-config file names the prefix the install actually goes to, which
# `cmake --install --prefix` may change after configuring: it is written at
# install time.
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(ANIMATE_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(ANIMATE_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
set(ANIMATE_PC_PREFIX "@ANIMATE_PC_PREFIX@")  # kept for the install-time pass
set(ANIMATE_PC_TEMPLATE ${PROJECT_BINARY_DIR}/animate.pc.template)
configure_file(${PROJECT_SOURCE_DIR}/cmake/animate.pc.in ${ANIMATE_PC_TEMPLATE} @ONLY)
install(CODE "
  set(ANIMATE_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file(\"${ANIMATE_PC_TEMPLATE}\" \"${PROJECT_BINARY_DIR}/animate.pc\" @ONLY)
" COMPONENT development)
install(FILES ${PROJECT_BINARY_DIR}/animate.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# The SDL2 presenter, where it is built, installs with the library: its
# shared library in "runtime", its header, CMake targets (an export set of
# their own, so that only find_package(animate COMPONENTS sdl) asks for
# SDL2) and animate-sdl.pc in "development".
if(TARGET animate_sdl)
  set_target_properties(animate_sdl PROPERTIES EXPORT_NAME sdl)
  install(TARGETS animate_sdl EXPORT animateSdlTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
      COMPONENT runtime
      NAMELINK_COMPONENT development
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/include/animate_sdl.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
  install(EXPORT animateSdlTargets
    NAMESPACE animate::
    DESTINATION ${ANIMATE_CMAKE_DIR}
    COMPONENT development)
  export(EXPORT animateSdlTargets NAMESPACE animate:: FILE ${PROJECT_BINARY_DIR}/animateSdlTargets.cmake)
  set(ANIMATE_SDL_PC_TEMPLATE ${PROJECT_BINARY_DIR}/animate-sdl.pc.template)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/animate-sdl.pc.in ${ANIMATE_SDL_PC_TEMPLATE} @ONLY)
  install(CODE "
    set(ANIMATE_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    configure_file(\"${ANIMATE_SDL_PC_TEMPLATE}\" \"${PROJECT_BINARY_DIR}/animate-sdl.pc\" @ONLY)
  " COMPONENT development)
  install(FILES ${PROJECT_BINARY_DIR}/animate-sdl.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
endif()

# Tools are optional parts of the tree: install those that are built.
foreach(tool anxpack anxinfo animate-demo)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  endif()
endforeach()
