# momiru_link_if_there(TARGET LIBRARY MACRO): links LIBRARY into TARGET when the build has it
# and tells the code so with MACRO=1, else MACRO=0 (the Windows build lacks Qt Svg and FluidSynth).
function(momiru_link_if_there target library macro)
  if(TARGET ${library})
    target_link_libraries(${target} PRIVATE ${library})
    target_compile_definitions(${target} PRIVATE ${macro}=1)
  else()
    target_compile_definitions(${target} PRIVATE ${macro}=0)
  endif()
endfunction()
