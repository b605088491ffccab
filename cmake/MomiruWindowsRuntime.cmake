# The DLLs the Windows programs load, copied beside them in the build tree, so that the tree runs
# (under Wine as on Windows) like the portable folder: the compiler's C++ runtime, which the Qt
# libraries use too, and the toolchain's ICU.
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

set(staged "")
foreach(dll IN LISTS runtime_dlls)
  get_filename_component(name "${dll}" NAME)
  add_custom_command(OUTPUT "${MOMIRU_STAGE_DIR}/${name}"
    COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${dll}" "${MOMIRU_STAGE_DIR}/${name}"
    DEPENDS "${dll}" VERBATIM)
  list(APPEND staged "${MOMIRU_STAGE_DIR}/${name}")
endforeach()
add_custom_target(momiru_windows_runtime ALL DEPENDS ${staged})
