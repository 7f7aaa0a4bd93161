# Source conventions shared by the subsystem folders:
#   Foo.cpp          portable: goes into velmora_core, built by both targets
#   FooWin32.cpp     Win32 only: goes into velmora_win, built by the windows target
# Tests live under tests/ (see tests/CMakeLists.txt).
function(velmora_add_folder_sources)
  file(GLOB all_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(portable "")
  set(win32 "")
  foreach(src IN LISTS all_sources)
    if(src MATCHES "Win32\\.cpp$")
      list(APPEND win32 ${src})
    else()
      list(APPEND portable ${src})
    endif()
  endforeach()
  if(portable)
    target_sources(velmora_core PRIVATE ${portable})
  endif()
  if(VELMORA_WINDOWS AND win32)
    target_sources(velmora_win PRIVATE ${win32})
  endif()
endfunction()
