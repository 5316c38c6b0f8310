# Runs the tools as a user would and checks what they leave behind.
# Called as: cmake -DMODE=... -DDEMO=... -DANXPACK=... -DANXINFO=... -DWORK=... -P cli_checks.cmake

function(run_ok)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(LAST_OUT "${out}" PARENT_SCOPE)
endfunction()

# Runs a tool that must refuse, as a user meets it: status 2 (within 20
# seconds: a fifo must not hang it), standard error matching expect, and no
# file (nor its temporary) at NO_FILE when that is given.
function(refused expect)
  cmake_parse_arguments(R "" "NO_FILE" "COMMAND" ${ARGN})
  execute_process(COMMAND ${R_COMMAND} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
                  TIMEOUT 20)
  string(JOIN " " command ${R_COMMAND})
  if(NOT rc EQUAL 2 OR NOT err MATCHES "${expect}")
    message(FATAL_ERROR "${command}\n  status ${rc} (want 2), standard error does not match "
                        "'${expect}':\n${err}")
  endif()
  if(R_NO_FILE AND (EXISTS "${R_NO_FILE}" OR EXISTS "${R_NO_FILE}.part"))
    message(FATAL_ERROR "${command}\n  left ${R_NO_FILE} behind")
  endif()
endfunction()

set(run_a ${WORK}/run-a)
set(run_b ${WORK}/run-b)
set(frames 40)

if(MODE STREQUAL "deterministic")
  file(REMOVE_RECURSE ${run_a} ${run_b})
  run_ok(${DEMO} --frames ${frames} --out ${run_a} --seed 5)
  run_ok(${DEMO} --frames ${frames} --out ${run_b} --seed 5 --quiet)
  foreach(f match.gif last-frame.png assets/players.anx)
    file(SHA256 ${run_a}/${f} a)
    file(SHA256 ${run_b}/${f} b)
    if(NOT a STREQUAL b)
      message(FATAL_ERROR "${f} differs between two runs of the same seed")
    endif()
  endforeach()
  file(SIZE ${run_a}/match.gif size)
  message(STATUS "match.gif ${size} bytes, identical in both runs")

elseif(MODE STREQUAL "gif_readable")
  run_ok(${GIFSICLE} --info ${run_a}/match.gif)
  if(NOT LAST_OUT MATCHES "logical screen 640x480")
    message(FATAL_ERROR "gifsicle sees no 640x480 screen:\n${LAST_OUT}")
  endif()
  string(REGEX MATCH "([0-9]+) images" images "${LAST_OUT}")
  if(CMAKE_MATCH_1 LESS ${frames})
    message(FATAL_ERROR "gifsicle counts ${CMAKE_MATCH_1} images, fewer than the ${frames} frames played")
  endif()

elseif(MODE STREQUAL "no_gif")
  # Without the GIF the same match is played: no match.gif, the same last frame.
  set(dir ${WORK}/no-gif)
  file(REMOVE_RECURSE ${dir})
  run_ok(${DEMO} --frames ${frames} --out ${dir} --seed 5 --no-gif)
  if(EXISTS ${dir}/match.gif OR NOT LAST_OUT MATCHES "wrote [^\n]*last-frame.png")
    message(FATAL_ERROR "--no-gif left match.gif behind or wrote no last frame:\n${LAST_OUT}")
  endif()
  file(SHA256 ${dir}/last-frame.png a)
  file(SHA256 ${run_a}/last-frame.png b)
  if(NOT a STREQUAL b)
    message(FATAL_ERROR "--no-gif played a different match: last-frame.png differs from the GIF run's")
  endif()

elseif(MODE STREQUAL "pack_and_inspect")
  set(dir ${WORK}/cli)
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir})
  file(GLOB pictures ${run_a}/assets/*.bmp)
  file(COPY ${pictures} ${run_a}/assets/match.json DESTINATION ${dir})
  run_ok(${ANXPACK} ${dir}/match.json -o ${dir}/players.anx)
  foreach(word run_front stand_back flag delta "11 sequences" ratio markers)
    if(NOT LAST_OUT MATCHES "${word}")
      message(FATAL_ERROR "anxpack summary lacks '${word}':\n${LAST_OUT}")
    endif()
  endforeach()
  set(pack_out "${LAST_OUT}")
  run_ok(${ANXINFO} ${dir}/players.anx --sheet ${dir}/sheet.png --teams --palette ${dir}/pitch.bmp)
  if(NOT LAST_OUT MATCHES "11 sequences" OR NOT LAST_OUT MATCHES "number sets" OR NOT EXISTS ${dir}/sheet.png)
    message(FATAL_ERROR "anxinfo output incomplete:\n${LAST_OUT}")
  endif()
  # Both tools state a sequence's stored size and ratio alike, its name whole.
  string(REGEX MATCH "run_front_right +scalable +4 +[0-9]+ +([0-9]+) +([0-9.]+x)" row "${pack_out}")
  set(packed "${CMAKE_MATCH_1} ${CMAKE_MATCH_2}")
  string(REGEX MATCH "run_front_right +scalable +4 +1 +[0-9]+ +[0-9]+ +[0-9]+ +([0-9]+) +([0-9.]+x)" row
         "${LAST_OUT}")
  if(NOT row OR NOT packed STREQUAL "${CMAKE_MATCH_1} ${CMAKE_MATCH_2}")
    message(FATAL_ERROR "anxpack (${packed}) and anxinfo disagree on run_front_right:\n${pack_out}\n${LAST_OUT}")
  endif()
  run_ok(${ANXINFO} ${dir}/pitch.bmp)
  if(NOT LAST_OUT MATCHES "library   read as is")
    message(FATAL_ERROR "anxinfo does not say how the library reads pitch.bmp:\n${LAST_OUT}")
  endif()

  # An adjust a delta sequence cannot carry: packed, with a warning.
  file(WRITE ${dir}/adjust.json "{\"sequences\": [{\"id\": 4, \"kind\": \"delta\",
     \"frames\": [{\"bmp\": \"flag0.bmp\", \"adjust\": [2, 1]}, {\"bmp\": \"flag1.bmp\"}]}]}")
  execute_process(COMMAND ${ANXPACK} ${dir}/adjust.json -o ${dir}/adjust.anx
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT err MATCHES "^anxpack: warning: [^\n]*adjust.json: sequence 0 \\(id 4\\), frame 0: \"adjust\" \\[2, 1\\] is ignored")
    message(FATAL_ERROR "anxpack on adjust.json: status ${rc}, no warning of the ignored adjust:\n${err}")
  endif()

  # Bad manifests: status 2, one message naming the file, no output file.
  file(WRITE ${dir}/missing.json
       "{\"sequences\": [{\"id\": 1, \"kind\": \"scalable\", \"frames\": [{\"bmp\": \"gone.bmp\"}]}]}")
  file(WRITE ${dir}/twice.json "{\"sequences\": [
     {\"id\": 3, \"kind\": \"scalable\", \"sheet\": \"players.bmp\", \"frames\": [{\"cell\": 0}]},
     {\"id\": 3, \"kind\": \"scalable\", \"sheet\": \"players.bmp\", \"frames\": [{\"cell\": 1}]}]}")
  foreach(bad missing twice)
    execute_process(COMMAND ${ANXPACK} ${dir}/${bad}.json -o ${dir}/${bad}.anx
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 2)
      message(FATAL_ERROR "anxpack on ${bad}.json: status ${rc}, not 2\n${err}")
    endif()
    if(NOT err MATCHES "${bad}.json|gone.bmp")
      message(FATAL_ERROR "anxpack on ${bad}.json names no file: ${err}")
    endif()
    if(EXISTS ${dir}/${bad}.anx OR EXISTS ${dir}/${bad}.anx.part)
      message(FATAL_ERROR "anxpack on ${bad}.json left an output file")
    endif()
  endforeach()

  # A file cut short: described, status 2, never a crash, and no sheet.
  file(READ ${dir}/players.anx head LIMIT 700 HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${head}")
  execute_process(COMMAND printf "${escaped}" OUTPUT_FILE ${dir}/cut.anx)
  refused("cut.anx: [0-9]+ problems?; no sheet written" NO_FILE ${dir}/cut.png
          COMMAND ${ANXINFO} ${dir}/cut.anx --sheet ${dir}/cut.png --teams)

  # Number art packed as frames: its segment colours are the display's own.
  # A warning naming file, index and colours; a refusal under --strict.
  file(WRITE ${dir}/static.json "{\"sequences\": [{\"id\": 5, \"kind\": \"scalable\",
     \"sheet\": \"numbers.bmp\", \"frames\": [{\"cell\": 0}]}]}")
  set(static_warning "warning: [^\n]*numbers.bmp: index [0-9]+ is one of the display's own colours[^\n]*\\([0-9, ]+\\)")
  execute_process(COMMAND ${ANXPACK} ${dir}/static.json -o ${dir}/static.anx
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT err MATCHES "${static_warning}")
    message(FATAL_ERROR "anxpack on static.json: status ${rc}, no warning of the static colours:\n${err}")
  endif()
  refused("${static_warning}.*refused under --strict" NO_FILE ${dir}/strict.anx
          COMMAND ${ANXPACK} ${dir}/static.json -o ${dir}/strict.anx --strict)

  # What cannot be read, and command lines that cannot be run: one message,
  # status 2, no file.
  execute_process(COMMAND mkfifo ${dir}/fifo.bmp)
  file(MAKE_DIRECTORY ${dir}/folder)
  file(WRITE ${dir}/fifo.json
       "{\"sequences\": [{\"id\": 1, \"kind\": \"scalable\", \"frames\": [{\"bmp\": \"fifo.bmp\"}]}]}")
  set(out ${dir}/refused.anx)
  refused("folder: is a folder, not a file" NO_FILE ${out} COMMAND ${ANXPACK} ${dir}/folder -o ${out})
  refused("fifo.bmp: is not a regular file" NO_FILE ${out} COMMAND ${ANXPACK} ${dir}/fifo.bmp -o ${out})
  refused("fifo.bmp: is not a regular file" NO_FILE ${out} COMMAND ${ANXPACK} ${dir}/fifo.json -o ${out})
  refused("folder: is a folder" NO_FILE ${out}
          COMMAND ${ANXPACK} ${dir}/match.json -o ${out} --palette ${dir}/folder)
  refused("--output is required" COMMAND ${ANXPACK} ${dir}/match.json)
  refused("not expected: --bogus" NO_FILE ${out} COMMAND ${ANXPACK} ${dir}/match.json -o ${out} --bogus)
  refused("folder: is a folder, not a file" COMMAND ${ANXINFO} ${dir}/folder)
  refused("fifo.bmp: is not a regular file" COMMAND ${ANXINFO} ${dir}/fifo.bmp)
  refused("--teams requires --sheet" COMMAND ${ANXINFO} ${dir}/players.anx --teams)
  refused("--team-colours requires --teams" COMMAND ${ANXINFO} ${dir}/players.anx --sheet ${dir}/t.png
          --team-colours 70,8,8)
  refused("fifo.bmp: is not a regular file" NO_FILE ${dir}/p.png
          COMMAND ${ANXINFO} ${dir}/players.anx --sheet ${dir}/p.png --palette ${dir}/fifo.bmp)
  refused("not expected: --frobnicate" COMMAND ${ANXINFO} ${dir}/players.anx --frobnicate)
  refused("not expected: --bogus" COMMAND ${DEMO} --bogus)
  refused("--window needs a display" NO_FILE ${dir}/no-display
          COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=SDL_VIDEODRIVER
                  ${DEMO} --window --out ${dir}/no-display)

elseif(MODE STREQUAL "window")
  # A real X window: after a palette step that wrote no pixel, the screen
  # shows the new colours and the same picture as the headless run's last
  # frame of that moment.
  set(dir ${WORK}/window)
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir})
  run_ok(${DEMO} --frames 10 --palette-step --out ${dir}/headless --quiet)
  run_ok(${DEMO} --frames 10 --out ${dir}/before-step --quiet)
  run_ok(${XVFB_RUN} -a -s "-screen 0 640x480x24" sh ${WINDOW_SHOT} ${DEMO} ${IMPORT} ${dir})
  message(STATUS "${LAST_OUT}")
  if(NOT LAST_OUT MATCHES "palette step: window pixels unchanged, 307200 pixels converted")
    message(FATAL_ERROR "the palette step changed pixels or was not shown whole")
  endif()
  foreach(against headless before-step)
    execute_process(COMMAND ${COMPARE} -metric AE ${dir}/screen.png ${dir}/${against}/last-frame.png null:
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE differing)
    string(STRIP "${differing}" differing)
    set(differs_${against} "${differing}")
  endforeach()
  if(NOT differs_headless STREQUAL "0")
    message(FATAL_ERROR "the screen differs from the headless frame in ${differs_headless} pixels")
  endif()
  if(NOT differs_before-step MATCHES "^[1-9][0-9]*$")
    message(FATAL_ERROR "the screen shows the colours from before the step (${differs_before-step})")
  endif()
  message(STATUS "the screen shows the stepped colours: ${differs_before-step} pixels differ from before the step")

else()
  message(FATAL_ERROR "unknown MODE ${MODE}")
endif()
