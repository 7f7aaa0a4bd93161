# velmora_exe_path(<target> <out-var>): the full path the executable target
# will be written to, known at configure time (single-configuration builds),
# for tests that must pass it to a program at run time. The imports check
# compares it with $<TARGET_FILE:...> so a mismatch cannot go unnoticed.
function(velmora_exe_path target out_var)
  get_target_property(dir ${target} RUNTIME_OUTPUT_DIRECTORY)
  if(NOT dir)
    get_target_property(dir ${target} BINARY_DIR)
  endif()
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  get_target_property(suffix ${target} SUFFIX)
  if(NOT suffix)
    set(suffix ${CMAKE_EXECUTABLE_SUFFIX})
  endif()
  set(${out_var} "${dir}/${name}${suffix}" PARENT_SCOPE)
endfunction()
