# The DLLs the Windows programs load, copied beside them in the build tree, so that the tree runs
# (under Wine as on Windows) like the portable folder: the compiler's C++ runtime, which the Qt
# libraries use too, the toolchain's ICU, and for the game Qt and SDL.
if(NOT WIN32)
  return()
endif()

set(runtime_dlls "")
foreach(name libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND "${CMAKE_CXX_COMPILER}" -print-file-name=${name}
    OUTPUT_VARIABLE dll OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${dll}" OR NOT EXISTS "${dll}")
    message(FATAL_ERROR "The compiler has no ${name}")
  endif()
  list(APPEND runtime_dlls "${dll}")
endforeach()
file(GLOB icu_dlls "${MOMIRU_WINDOWS_PREFIX}/bin/icuuc*.dll" "${MOMIRU_WINDOWS_PREFIX}/bin/icudt*.dll")
if(NOT icu_dlls)
  message(FATAL_ERROR "No ICU DLLs in ${MOMIRU_WINDOWS_PREFIX}/bin: run tools/windows/toolchain")
endif()
list(APPEND runtime_dlls ${icu_dlls})
set(MOMIRU_WINDOWS_RUNTIME_DLLS ${runtime_dlls} CACHE INTERNAL "DLLs every Windows program loads")

# Each DLL and the folder beside the programs it goes in ("." for beside them).
set(placed "")
foreach(dll IN LISTS runtime_dlls)
  list(APPEND placed "${dll}|.")
endforeach()
# The game's: Qt's libraries, its Windows platform plugin (in platforms/, where Qt looks beside
# the program) and its native style, and the mixer with SDL.
if(MOMIRU_BUILD_GAME)
  set(prefix "${MOMIRU_WINDOWS_PREFIX}")
  foreach(need IN ITEMS "bin/Qt6Core.dll|." "bin/Qt6Gui.dll|." "bin/Qt6Widgets.dll|."
                        "bin/SDL2.dll|." "bin/SDL2_mixer.dll|."
                        "plugins/platforms/qwindows.dll|platforms")
    string(REPLACE "|" ";" pair "${need}")
    list(GET pair 0 file)
    list(GET pair 1 folder)
    if(NOT EXISTS "${prefix}/${file}")
      message(FATAL_ERROR "No ${file} in ${prefix}: run tools/windows/toolchain")
    endif()
    list(APPEND placed "${prefix}/${file}|${folder}")
  endforeach()
  file(GLOB styles "${prefix}/plugins/styles/*.dll")
  foreach(dll IN LISTS styles)
    list(APPEND placed "${dll}|styles")
  endforeach()
endif()

set(staged "")
foreach(entry IN LISTS placed)
  string(REPLACE "|" ";" pair "${entry}")
  list(GET pair 0 dll)
  list(GET pair 1 folder)
  get_filename_component(name "${dll}" NAME)
  if(folder STREQUAL ".")
    set(target "${MOMIRU_STAGE_DIR}/${name}")
  else()
    set(target "${MOMIRU_STAGE_DIR}/${folder}/${name}")
  endif()
  add_custom_command(OUTPUT "${target}"
    COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${dll}" "${target}"
    DEPENDS "${dll}" VERBATIM)
  list(APPEND staged "${target}")
endforeach()
add_custom_target(momiru_windows_runtime ALL DEPENDS ${staged})
