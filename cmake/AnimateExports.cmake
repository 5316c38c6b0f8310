# The public header is the one list of exports: every function declared on a
# line starting with ANIM_API. The shared library's version script, the
# export check and the examples' build conditions all read it from here.

# Sets out_var to the names of the functions the header declares.
function(animate_declared_exports header out_var)
  file(STRINGS "${header}" lines REGEX "^ANIM_API ")
  set(names "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^ANIM_API [^(]*[ *]([A-Za-z_][A-Za-z0-9_]*)\\(")
      list(APPEND names "${CMAKE_MATCH_1}")
    endif()
  endforeach()
  set(${out_var} "${names}" PARENT_SCOPE)
endfunction()

# Writes a linker version script that keeps the declared exports global and
# everything else local. Hidden visibility already hides the library's own
# functions; the script also hides what the C++ standard headers mark
# visible (template statics, unique globals) when the library instantiates
# them, so the dynamic symbol table holds exactly the documented functions.
function(animate_write_version_script header script)
  animate_declared_exports("${header}" names)
  set(body "{\n  global:\n")
  foreach(name IN LISTS names)
    string(APPEND body "    ${name};\n")
  endforeach()
  string(APPEND body "  local:\n    *;\n};\n")
  file(CONFIGURE OUTPUT "${script}" CONTENT "${body}")
endfunction()

# Makes target a versioned shared library whose dynamic symbols are exactly
# header's exports; it relinks, and the project reconfigures, when the header
# changes.
function(animate_shared_exports target header)
  set_target_properties(${target} PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR})
  set(script ${PROJECT_BINARY_DIR}/${target}.map)
  animate_write_version_script(${header} ${script})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
  target_link_options(${target} PRIVATE -Wl,--no-undefined -Wl,--version-script=${script})
endfunction()

# Sets out_var to the exports that the given library sources define: the
# functions whose definition starts a line with ANIM_API, as the header's
# declarations do.
function(animate_defined_exports out_var)
  set(names "")
  foreach(source IN LISTS ARGN)
    file(STRINGS "${source}" lines REGEX "^ANIM_API ")
    foreach(line IN LISTS lines)
      if(line MATCHES "^ANIM_API [^(]*[ *]([A-Za-z_][A-Za-z0-9_]*)\\(")
        list(APPEND names "${CMAKE_MATCH_1}")
      endif()
    endforeach()
  endforeach()
  set(${out_var} "${names}" PARENT_SCOPE)
endfunction()
