# Runs one example and checks what it printed.
#   cmake -DPROGRAM=... [-DARGS=a;b] -DEXPECT=line;line -P run_example.cmake
# Passes when the program exits with 0 and prints every expected line.
execute_process(COMMAND "${PROGRAM}" ${ARGS}
  OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE result)
message("${output}${errors}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} exited with ${result}")
endif()
foreach(line IN LISTS EXPECT)
  string(FIND "${output}" "${line}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "expected the line \"${line}\"")
  endif()
endforeach()
